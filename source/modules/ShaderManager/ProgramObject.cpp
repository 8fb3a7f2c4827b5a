// Attaching, linking and binding programs, and the program-local parameter
// upload of assembly programs.
#include "modules/ShaderManager/ProgramObject.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/ShaderManager/ShaderManager.h"

#include <GL/glew.h>

#include <limits>

namespace Vantor {

namespace {

const char* const bindName = "Vantor::ProgramObject::bind";
const char* const sourceFile = "source\\modules\\ShaderManager\\ProgramObject";
constexpr int lineBindCheck = 69;

using detail::drainGLErrors;

void setEnabled(GLenum capability, bool on) {
    if ((glIsEnabled(capability) == GL_TRUE) == on)
        return;
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

// Program-local parameter index of an assembly shader; false for GLSL shaders
// and indices outside 0 to INT_MAX (sums of a register and an offset are
// formed wide, so they cannot wrap).
bool setShaderLocal(const Shader& shader, long long index, float x, float y, float z, float w) {
    if (shader.isGLSL || index < 0 || index > std::numeric_limits<int>::max())
        return false;
    glBindProgramARB(shader.target, GLuint(shader.programId));
    glProgramLocalParameter4fARB(shader.target, GLuint(index), x, y, z, w);
    return true;
}

} // namespace

bool ProgramObject::attach(int shaderIndex) {
    ShaderManager* manager = ShaderManager::getInstance();
    if (shaderIndex <= 0 || unsigned(shaderIndex) >= manager->shaders.size)
        return false;
    if (attached.size >= unsigned(kMaxAttachedShaders))
        return false;
    const Shader& shader = manager->shaders[unsigned(shaderIndex)];
    if (type == kProgramGLSL) {
        if (!manager->glslSupported || linked || !shader.isGLSL)
            return false;
        drainGLErrors();
        glAttachObjectARB(handle, shader.handle);
        if (drainGLErrors())
            return false;
    } else if (!manager->asmSupported || shader.isGLSL) {
        return false;
    }
    attached.add(shaderIndex);
    return true;
}

bool ProgramObject::link() {
    ShaderManager* manager = ShaderManager::getInstance();
    if (type == kProgramGLSL) {
        if (!manager->glslSupported)
            return false;
        drainGLErrors();
        glLinkProgramARB(handle);
        if (drainGLErrors())
            return false;
        manager->printInfoLog(handle, true);
        GLint status = 0;
        glGetObjectParameterivARB(handle, GL_OBJECT_LINK_STATUS_ARB, &status);
        if (status != 1)
            return false;
    } else if (!manager->asmSupported) {
        return false;
    }
    linked = true;
    uniformLocations.resize(0);
    return true;
}

bool ProgramObject::bind() {
    if (!linked)
        return false;
    ShaderManager* manager = ShaderManager::getInstance();
    manager->setCurrent(*this);
    if (type == kProgramGLSL) {
        // Uniforms go to the program in use, so it is put in use before the upload.
        glUseProgramObjectARB(handle);
        checkGLError(bindName, sourceFile, lineBindCheck);
        // An upload that does not fit its uniform (a matrix declared for a
        // vec4) is reported here rather than by whoever checks for errors next.
        ParamDatabase::getInstance()->uploadParams(*this);
        checkGLError(bindName, sourceFile, lineBindCheck);
        return true;
    }

    ParamDatabase::getInstance()->uploadParams(*this);
    bool hasVertex = false;
    bool hasFragment = false;
    for (int index : attached) {
        const unsigned target = manager->shaders[unsigned(index)].target;
        hasVertex = hasVertex || target == GL_VERTEX_PROGRAM_ARB;
        hasFragment = hasFragment || target == GL_FRAGMENT_PROGRAM_ARB;
    }
    setEnabled(GL_VERTEX_PROGRAM_ARB, hasVertex);
    setEnabled(GL_FRAGMENT_PROGRAM_ARB, hasFragment);
    for (int index : attached) {
        const Shader& shader = manager->shaders[unsigned(index)];
        if (!shader.isGLSL)
            glBindProgramARB(shader.target, GLuint(shader.programId));
    }
    return true;
}

int ProgramObject::getParamLocation(const String& name) {
    if (attached.size == 0)
        return -1;
    if (type == kProgramGLSL) {
        // GL refuses the query on a program that did not link.
        if (!linked)
            return -1;
        for (const UniformLocation& known : uniformLocations)
            if (known.name == name)
                return known.location;
        UniformLocation found;
        found.name = name;
        found.location = glGetUniformLocationARB(handle, name.c_str());
        uniformLocations.add(found);
        return found.location;
    }
    const ShaderManager* manager = ShaderManager::getInstance();
    for (int i = 0; i < kMaxAttachedShaders; ++i) {
        shaderLocation[i] = -1;
        if (unsigned(i) >= attached.size)
            continue;
        for (const NamedParam& param : manager->shaders[unsigned(attached[unsigned(i)])].params) {
            if (param.name == name) {
                shaderLocation[i] = param.registerIndex;
                break;
            }
        }
    }
    return kLocationInShaders;
}

bool ProgramObject::setLocalParam(int location, float x, float y, float z, float w, int offset) {
    if (type != kProgramAsm || location < kLocationInShaders || location == -1)
        return false;
    const ShaderManager* manager = ShaderManager::getInstance();
    bool set = false;
    for (unsigned i = 0; i < attached.size && i < unsigned(kMaxAttachedShaders); ++i) {
        long long base = location;
        if (location == kLocationInShaders) {
            if (shaderLocation[i] == -1)
                continue;
            base = shaderLocation[i];
        }
        if (setShaderLocal(manager->shaders[unsigned(attached[i])], base + (long long)offset, x, y, z, w))
            set = true;
    }
    return set;
}

bool ProgramObject::setParamArray(int location, int count, int size, const float* values) {
    if (size < 1 || size > kRegisterComponents || count < 0 || (count > 0 && !values))
        return false;
    for (int j = 0; j < count; ++j) {
        float c[kRegisterComponents] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int k = 0; k < size; ++k)
            c[k] = values[j * size + k];
        if (!setLocalParam(location, c[0], c[1], c[2], c[3], j))
            return false;
    }
    return true;
}

} // namespace Vantor

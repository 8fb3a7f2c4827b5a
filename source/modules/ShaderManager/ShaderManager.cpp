// The shader manager's loaders, its current-program state and "#var" scanning.
//
// Every loader drains pending GL errors before its own GL calls, so an error
// left behind by other code is not taken for a failure of the shader.
#include "modules/ShaderManager/ShaderManager.h"

#include "Core/WinAppFramework/App.h"
#include "Core/WinAppFramework/DebugLog.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/platform/File.h"

#include <GL/glew.h>

#include <cstdio>
#include <sstream>

namespace Vantor {

namespace {

const char* const sourceFile = "source\\modules\\ShaderManager\\ShaderManager";
const char* const createAsmShaderName = "Vantor::ShaderManager::createAsmShader";
const char* const loadProgramName = "Vantor::ShaderManager::loadProgram";

constexpr int lineAsmSyntaxError = 273;
constexpr int lineAsmNativeLimits = 278;
constexpr int lineAsmGLError = 281;
constexpr int lineVertexLoad = 143;
constexpr int lineFragmentLoad = 145;
constexpr int lineVertexAttach = 146;
constexpr int lineFragmentAttach = 147;
constexpr int lineLink = 148;

// An info log shorter than this holds no message.
constexpr int minInfoLogLength = 2;

bool isAsmTarget(unsigned target) {
    return target == GL_VERTEX_PROGRAM_ARB || target == GL_FRAGMENT_PROGRAM_ARB;
}

bool isGLSLTarget(unsigned target) {
    return target == GL_VERTEX_SHADER_ARB || target == GL_FRAGMENT_SHADER_ARB;
}

// One "#var" line, from "#var" to its end; false when it does not declare a
// constant register.
bool parseVarLine(const String& line, NamedParam& param) {
    static const String fieldSeparator(" : ");
    static const String space(" ");
    static const String constantPrefix("c[");
    static const String closing("]");
    static const String countSeparator(", ");
    constexpr int markerLength = 4;
    constexpr int separatorLength = 3;

    if (line.length <= markerLength || line[markerLength] != ' ')
        return false;
    int typeStart = markerLength + 1;
    int typeEnd = line.find(typeStart, space);
    if (typeEnd < 0)
        return false;
    int nameStart = typeEnd + 1;
    int nameEnd = line.find(nameStart, fieldSeparator);
    if (nameEnd <= nameStart)
        return false;
    int semanticEnd = line.find(nameEnd + separatorLength, fieldSeparator);
    if (semanticEnd < 0)
        return false;
    int resourceStart = semanticEnd + separatorLength;
    int resourceEnd = line.find(resourceStart, fieldSeparator);
    if (resourceEnd < 0)
        return false;
    String resource = line.substring(resourceStart, resourceEnd);
    if (resource.find(0, constantPrefix) != 0)
        return false;
    int close = resource.find(0, closing);
    if (close < 0)
        return false;
    int reg = resource.substring(int(constantPrefix.length), close).toInt(-1);
    if (reg < 0)
        return false;
    int count = 1;
    if (resource.find(close + 1, countSeparator) == close + 1) {
        count = resource.substring(close + 1 + countSeparator.length, resource.length).toInt(-1);
        if (count < 1)
            return false;
    }
    param.registerIndex = reg;
    param.name = line.substring(nameStart, nameEnd);
    param.count = count;
    return true;
}

} // namespace

namespace detail {

bool drainGLErrors() {
    bool any = false;
    for (int i = 0; i < kMaxDrainedGLErrors && glGetError() != GL_NO_ERROR; ++i)
        any = true;
    return any;
}

} // namespace detail

using detail::drainGLErrors;

void scanVarDeclarations(const String& source, ArrayList<NamedParam>& params) {
    static const String marker("#var");
    static const String newline("\n");
    int position = 0;
    for (;;) {
        int start = source.find(position, marker);
        if (start < 0)
            return;
        int end = source.find(start, newline);
        if (end < 0)
            end = source.length;
        position = end;
        NamedParam param;
        if (parseVarLine(source.substring(start, end), param))
            params.add(param);
    }
}

ShaderManager::ShaderManager()
    : ShaderManager(GLEW_ARB_vertex_program && GLEW_ARB_fragment_program, GLEW_ARB_shader_objects) {}

ShaderManager::ShaderManager(bool asmPaths, bool glslPaths) {
    asmSupported = asmPaths;
    glslSupported = glslPaths;
    shaders.resize(1);
    programs.resize(1);
    programs[0].id = 0;
    if (asmSupported || glslSupported) {
        available = true;
        setPhases(kPhaseOverlay);
        setPriority(kPhaseOverlay, 0);
        registerPlugin();
    }
}

void ShaderManager::shutdown() {
    if (glslSupported) {
        for (ProgramObject& program : programs) {
            if (program.type == kProgramGLSL && program.handle != 0)
                glDeleteObjectARB(program.handle);
            program.handle = 0;
        }
        for (Shader& shader : shaders) {
            if (shader.isGLSL && shader.handle != 0)
                glDeleteObjectARB(shader.handle);
            shader.handle = 0;
        }
    }
    if (asmSupported && asmProgramIds.size > 0) {
        glDeleteProgramsARB(GLsizei(asmProgramIds.size), asmProgramIds.data);
        asmProgramIds.clear();
    }
}

int ShaderManager::createProgram(int type) {
    if (type == kProgramGLSL ? !glslSupported : (type != kProgramAsm || !asmSupported))
        return -1;
    drainGLErrors();
    ProgramObject program;
    program.type = type;
    if (type == kProgramGLSL) {
        program.handle = glCreateProgramObjectARB();
        if (drainGLErrors() || program.handle == 0)
            return -1;
    }
    program.id = int(programs.size);
    programs.add(program);
    return program.id;
}

int ShaderManager::loadShader(unsigned target, const char* filename) {
    if (!available || shaders.size >= kMaxShaders || !filename)
        return 0;
    const bool glsl = isGLSLTarget(target);
    if (!glsl && !isAsmTarget(target))
        return 0;
    if (glsl ? !glslSupported : !asmSupported)
        return 0;
    FILE* file = platform::openFile(filename, "rt");
    if (!file)
        return 0;
    String source;
    source.readAll(file);
    std::fclose(file);
    return glsl ? createShaderObject(target, source) : createAsmShader(target, source);
}

int ShaderManager::createAsmShader(unsigned target, const String& source) {
    if (!asmSupported || !isAsmTarget(target))
        return 0;
    drainGLErrors();
    Shader shader;
    shader.target = target;
    shader.isGLSL = false;

    GLuint id = 0;
    glGenProgramsARB(1, &id);
    glBindProgramARB(target, id);
    asmProgramIds.add(id);
    shader.programId = int(id);

    glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, source.length, source.c_str());
    GLint errorPosition = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPosition);
    GLint underNativeLimits = GL_FALSE;
    glGetProgramivARB(target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &underNativeLimits);

    if (errorPosition != -1) {
        String message("Shader Load Error\n");
        const GLubyte* errorText = glGetString(GL_PROGRAM_ERROR_STRING_ARB);
        if (errorText)
            message.append(reinterpret_cast<const char*>(errorText));
        std::ostringstream limits;
        printNativeLimits(target, limits);
        // The rejected string leaves GL_INVALID_OPERATION behind; this throw reports it.
        drainGLErrors();
        throw Exception(message, createAsmShaderName, sourceFile, lineAsmSyntaxError);
    }
    if (!underNativeLimits)
        throw Exception("Shader Load Error: Program Native Limits Exceeded", createAsmShaderName, sourceFile,
                        lineAsmNativeLimits);
    if (drainGLErrors())
        throw Exception("Shader Load Error: GL Error", createAsmShaderName, sourceFile, lineAsmGLError);

    scanVarDeclarations(source, shader.params);
    // Registers past the target's program-local parameters would be refused
    // at every upload (and sums of such registers with offsets overflow).
    GLint localParameters = 0;
    glGetProgramivARB(target, GL_MAX_PROGRAM_LOCAL_PARAMETERS_ARB, &localParameters);
    for (const NamedParam& param : shader.params) {
        if (param.registerIndex >= localParameters || param.count > localParameters - param.registerIndex) {
            String message("Shader Load Error\n");
            message.appendFormat("#var %s: registers c[%d], %d beyond the %d local parameters",
                                 param.name.c_str(), param.registerIndex, param.count, int(localParameters));
            throw Exception(message, createAsmShaderName, sourceFile, lineAsmSyntaxError);
        }
    }
    shaders.add(shader);
    return int(shaders.size) - 1;
}

int ShaderManager::createShaderObject(unsigned target, const String& source) {
    if (!glslSupported || !isGLSLTarget(target))
        return 0;
    drainGLErrors();
    GLhandleARB handle = glCreateShaderObjectARB(target);
    if (drainGLErrors() || handle == 0)
        return 0;
    const GLcharARB* text = source.c_str();
    GLint length = source.length;
    glShaderSourceARB(handle, 1, &text, &length);
    glCompileShaderARB(handle);
    if (drainGLErrors()) {
        glDeleteObjectARB(handle);
        return 0;
    }
    Shader shader;
    shader.target = target;
    shader.handle = handle;
    shader.isGLSL = true;
    shaders.add(shader);
    printInfoLog(handle, true);
    return int(shaders.size) - 1;
}

int ShaderManager::loadProgram(const char* vertexFile, const char* fragmentFile, int language) {
    const bool glsl = language == kProgramGLSL;
    if (glsl ? !glslSupported : !asmSupported)
        return 0;
    const unsigned vertexTarget = glsl ? GL_VERTEX_SHADER_ARB : GL_VERTEX_PROGRAM_ARB;
    const unsigned fragmentTarget = glsl ? GL_FRAGMENT_SHADER_ARB : GL_FRAGMENT_PROGRAM_ARB;

    int index = createProgram(glsl ? kProgramGLSL : kProgramAsm);
    if (index < 0)
        return 0;
    int vertexShader = loadShader(vertexTarget, vertexFile);
    if (vertexShader == 0)
        throw Exception("Error loading shader : vertex shader load error", loadProgramName, sourceFile,
                        lineVertexLoad);
    int fragmentShader = loadShader(fragmentTarget, fragmentFile);
    if (fragmentShader == 0)
        throw Exception("Error loading shader : fragment shader load error", loadProgramName, sourceFile,
                        lineFragmentLoad);
    if (!programs[unsigned(index)].attach(vertexShader))
        throw Exception("Error loading shader : vertex shader attach error", loadProgramName, sourceFile,
                        lineVertexAttach);
    if (!programs[unsigned(index)].attach(fragmentShader))
        throw Exception("Error loading shader : fragment shader attach error", loadProgramName, sourceFile,
                        lineFragmentAttach);
    if (!programs[unsigned(index)].link())
        throw Exception("Error loading shader: link error", loadProgramName, sourceFile, lineLink);
    return index;
}

int ShaderManager::loadVertexProgram(const char* file, int language) {
    const bool glsl = language == kProgramGLSL;
    if (!asmSupported || (glsl && !glslSupported))
        return 0;
    int index = createProgram(glsl ? kProgramGLSL : kProgramAsm);
    if (index < 0)
        return 0;
    int shader = 0;
    try {
        shader = loadShader(glsl ? GL_VERTEX_SHADER_ARB : GL_VERTEX_PROGRAM_ARB, file);
    } catch (const Exception& e) {
        // The program falls back to fixed function; the reason goes to the log.
        if (DebugLog* log = App::currentLog())
            log->print("%s: %s", file, e.message.c_str());
        return 0;
    }
    if (shader == 0 || !programs[unsigned(index)].attach(shader))
        return 0;
    programs[unsigned(index)].link();
    return index;
}

void ShaderManager::setCurrent(ProgramObject& program) {
    if (program.id != currentProgram) {
        if (programActive && program.type != currentType)
            unbindCurrent();
        currentType = program.type;
        currentProgram = program.id;
    }
    programActive = true;
}

void ShaderManager::unbindCurrent() {
    if (currentType == kProgramGLSL) {
        if (glslSupported)
            glUseProgramObjectARB(0);
    } else if (asmSupported) {
        if (glIsEnabled(GL_FRAGMENT_PROGRAM_ARB))
            glDisable(GL_FRAGMENT_PROGRAM_ARB);
        if (glIsEnabled(GL_VERTEX_PROGRAM_ARB))
            glDisable(GL_VERTEX_PROGRAM_ARB);
    }
    programActive = false;
}

void ShaderManager::beforeDraw() {
    if (!programActive || currentProgram < 0 || unsigned(currentProgram) >= programs.size)
        return;
    if (DrawHook* hook = programs[unsigned(currentProgram)].drawHook)
        hook->beforeDraw();
}

void ShaderManager::printInfoLog(unsigned handle, bool showBox) {
    if (!glslSupported)
        return;
    GLint length = 0;
    glGetObjectParameterivARB(handle, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    DebugLog* log = App::currentLog();
    if (length < minInfoLogLength) {
        if (log)
            log->print("Shader Compiled OK");
        return;
    }
    // resize zero-fills, so the text stays terminated whatever GL writes.
    ArrayList<char> text;
    text.resize(unsigned(length) + 1);
    glGetInfoLogARB(handle, length, nullptr, text.data);
    if (log)
        log->print("InfoLog:\n%s\n\n", text.data);
    if (showBox)
        showMessageText(text.data);
}

void ShaderManager::printNativeLimits(unsigned target, std::ostream& stream) {
    if (!asmSupported)
        return;
    struct Limit {
        GLenum name;
        const char* label;
        // Only fragment programs count texture work; GL refuses the query for vertex programs.
        bool fragmentOnly;
    };
    static const Limit limits[] = {
        {GL_PROGRAM_NATIVE_INSTRUCTIONS_ARB, "instructions \n", false},
        {GL_PROGRAM_NATIVE_ALU_INSTRUCTIONS_ARB, "alu instructions \n", true},
        {GL_PROGRAM_NATIVE_TEX_INSTRUCTIONS_ARB, "tex instructions\n", true},
        {GL_PROGRAM_NATIVE_TEX_INDIRECTIONS_ARB, "tex indirections\n", true},
        {GL_PROGRAM_NATIVE_TEMPORARIES_ARB, "temporaries\n", false},
        {GL_PROGRAM_NATIVE_PARAMETERS_ARB, "parameters\n", false},
        {GL_PROGRAM_NATIVE_ATTRIBS_ARB, "attributes\n", false},
    };
    std::ostringstream text;
    text << "Program Native Limits\n" << '\n';
    for (const Limit& limit : limits) {
        GLint value = 0;
        if (target == GL_FRAGMENT_PROGRAM_ARB || !limit.fragmentOnly)
            glGetProgramivARB(target, limit.name, &value);
        text << limit.label << value << '\n';
    }
    const std::string shown = text.str();
    stream << shown;
    showMessageText(shown.c_str());
}

} // namespace Vantor

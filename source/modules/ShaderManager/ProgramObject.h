// ProgramObject: one GPU program of the ShaderManager, either a pair of ARB
// assembly programs bound side by side or a GLSL program object.
//
// A program refers to its shaders by index into the ShaderManager
// singleton's table and works against that singleton. Its id is its own index
// in the manager's program table and also indexes its parameter set in the
// ParamDatabase. Shaders are attached vertex first, then fragment; a program
// holds at most kMaxAttachedShaders of them.
#pragma once

#include "Core/ArrayList.h"
#include "Core/String.h"

namespace Vantor {

// ProgramObject::type, and the language argument of the loaders.
constexpr int kProgramAsm = 0;
constexpr int kProgramGLSL = 1;

constexpr int kMaxAttachedShaders = 2;
// The location getParamLocation gives an assembly program: the registers are
// in shaderLocation, one per attached shader.
constexpr int kLocationInShaders = -2;
// An assembly program-local parameter holds four floats.
constexpr int kRegisterComponents = 4;

// Work a program wants done before every mesh drawn with it.
class DrawHook {
public:
    virtual ~DrawHook() = default;
    virtual void beforeDraw() = 0;
};

class ProgramObject {
public:
    // Called by ShaderManager::beforeDraw while this program is current; not owned.
    DrawHook* drawHook = nullptr;
    int id = 0;
    // Scratch of the assembly parameter upload: the register of the parameter
    // being uploaded in the first and the second attached shader, -1 where absent.
    int shaderLocation[kMaxAttachedShaders] = {-1, -1};
    int type = kProgramAsm;
    bool linked = false;
    // The GLSL program object; 0 for assembly programs.
    unsigned handle = 0;
    ArrayList<int> attached;
    // The GLSL uniform locations looked up so far, by name: each is asked of
    // GL once per linked program, not at every bind.
    struct UniformLocation {
        String name;
        int location = -1;
    };
    ArrayList<UniformLocation> uniformLocations;

    // Adds a loaded shader of this program's kind; false for an invalid index,
    // a shader of the other kind, a full or (GLSL) linked program, or a GL error.
    bool attach(int shaderIndex);
    // Links a GLSL program (showing the linker's log) or accepts an assembly
    // one; sets linked on success.
    bool link();
    // Makes this program current, uploads its parameters from the database and
    // sets the GL state to draw with it. False, touching nothing, when not linked.
    bool bind();
    // The uniform location (GLSL; asked of GL the first time only), or
    // kLocationInShaders with shaderLocation filled from the attached
    // shaders' "#var" declarations (assembly); -1 when no shader is attached.
    int getParamLocation(const String& name);
    // Sets program-local parameter location + offset of the attached assembly
    // shaders (location kLocationInShaders: each shader's own register +
    // offset, skipping shaders without it). False when nothing was set.
    bool setLocalParam(int location, float x, float y, float z, float w, int offset);
    // count consecutive registers from location, each taking the next size
    // floats of values (size 1 to 4, missing components 0); false at the
    // first register that could not be set.
    bool setParamArray(int location, int count, int size, const float* values);
};

} // namespace Vantor

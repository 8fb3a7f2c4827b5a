// ShaderManager: loads and owns every GPU program of the engine.
//
// Two kinds live side by side: ARB assembly programs (ARB_vertex_program and
// ARB_fragment_program) and GLSL shader and program objects
// (ARB_shader_objects). Callers hold small indices into the shader and program
// tables; index 0 of each is a placeholder, so 0 means "none" and rendering
// falls back to fixed function. Nothing is unloaded before shutdown, so
// indices stay valid for the manager's lifetime. An unsupported path is never
// an error: its loads give 0.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Singleton.h"
#include "Core/String.h"
#include "Core/WinAppFramework/Plugin.h"
#include "modules/ShaderManager/ProgramObject.h"

#include <ostream>

namespace Vantor {

// The shader table holds at most this many entries, the placeholder included.
constexpr unsigned kMaxShaders = 255;

namespace detail {
// glGetError is read at most this often by drainGLErrors.
constexpr int kMaxDrainedGLErrors = 255;
// Reads every pending GL error; true when there was one.
bool drainGLErrors();
} // namespace detail

// A constant an assembly program declares in a "#var" comment line.
class NamedParam {
public:
    virtual ~NamedParam() = default;
    // The first program-local parameter it occupies.
    int registerIndex = 0;
    String name;
    // Consecutive registers from registerIndex.
    int count = 1;
};

class Shader {
public:
    virtual ~Shader() = default;
    // GL_VERTEX_PROGRAM_ARB or GL_FRAGMENT_PROGRAM_ARB (assembly),
    // GL_VERTEX_SHADER_ARB or GL_FRAGMENT_SHADER_ARB (GLSL).
    unsigned target = 0;
    // The GLSL shader object.
    unsigned handle = 0;
    // The ARB program name, -1 until generated.
    int programId = -1;
    bool isGLSL = false;
    // Assembly shaders: the constants declared by "#var" lines of the source.
    ArrayList<NamedParam> params;
};

// Appends to params one NamedParam per "#var" comment line of an assembly
// source whose resource is a constant register: "#var <type> <name> :
// <semantic> : c[<register>] : ..." or "... : c[<register>], <count> : ...".
// Lines of any other shape, or naming another resource, add nothing.
void scanVarDeclarations(const String& source, ArrayList<NamedParam>& params);

class ShaderManager : public Plugin {
public:
    // At least one of the two paths is supported; only then is the manager a plug-in.
    bool available = false;
    bool glslSupported = false;
    // Both assembly program extensions are offered.
    bool asmSupported = false;
    // A program has been made current and not unbound since.
    bool programActive = false;
    ArrayList<Shader> shaders;
    ArrayList<ProgramObject> programs;
    // Every ARB program name generated, for deletion at shutdown.
    ArrayList<unsigned> asmProgramIds;
    int currentType = kProgramAsm;
    int currentProgram = -1;

    static ShaderManager* getInstance() { return Singleton<ShaderManager>::getInstance(); }

    // Reads the paths from the extension loader's flags (call after it is initialised).
    ShaderManager();
    // Uses the paths given instead; for a driver's capabilities chosen by hand.
    ShaderManager(bool asmPaths, bool glslPaths);
    ~ShaderManager() override = default;

    // Deletes every GPU object the manager created; the tables stay.
    void shutdown() override;

    // Appends an empty program of type kProgramAsm or kProgramGLSL and returns
    // its index; -1 when that path is unsupported or GL refuses the program object.
    int createProgram(int type);
    // Reads a shader file (engine path, text mode) and creates the shader for
    // target; 0 when unavailable, the table is full, the target's path is
    // unsupported, the file cannot be opened or (GLSL) creation fails. A
    // broken assembly source throws (createAsmShader).
    int loadShader(unsigned target, const char* filename);
    // Creates an assembly shader from source and returns its index; throws
    // when the driver rejects the program or a "#var" line names registers
    // beyond the target's program-local parameters. 0 for a target that is
    // not an assembly target or when assembly programs are unsupported.
    int createAsmShader(unsigned target, const String& source);
    // Creates and compiles a GLSL shader, showing the compiler's log; 0 on
    // failure. Compile errors surface when the program is linked.
    int createShaderObject(unsigned target, const String& source);
    // Loads, attaches and links a vertex and a fragment stage (language
    // kProgramGLSL or kProgramAsm) and returns the program index; 0 when the
    // language's path is unsupported; throws when a stage does not load or
    // attach or the program does not link.
    int loadProgram(const char* vertexFile, const char* fragmentFile, int language);
    // A program with a vertex stage only; 0 on any failure, never throws.
    int loadVertexProgram(const char* file, int language);

    // Records program as the current one, first unbinding the current program
    // when it is of the other kind.
    void setCurrent(ProgramObject& program);
    // Returns to fixed-function rendering.
    void unbindCurrent();
    // Runs the current program's draw hook, if any; called before each mesh is drawn.
    void beforeDraw();

    // Writes a GLSL object's info log to the log and, with showBox, shows it.
    void printInfoLog(unsigned handle, bool showBox);
    // Writes the native resource use of the program bound to target into
    // stream and shows the same text in a box.
    void printNativeLimits(unsigned target, std::ostream& stream);
};

} // namespace Vantor

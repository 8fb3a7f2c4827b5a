// The shader parameter database: named float, vector and matrix values that
// every GPU program can read, and for each program the names it reads.
//
// Names are global: two programs that read "lightPosition" read the same
// entry. Entries of a TParamList are only ever appended, never removed or
// reordered, so an entry's index stays valid for the life of the process and
// a ParamName may cache it after its first successful lookup. Matrices keep
// OpenGL's column-major storage order all the way to the GPU.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Matrix4.h"
#include "Core/Singleton.h"
#include "Core/String.h"
#include "Core/Vector4.h"

namespace Vantor {

class ProgramObject;

// ParamName::type, and the type argument of the database's operations.
constexpr int kParamFloat = 0;
constexpr int kParamVector = 1;
constexpr int kParamMatrix = 2;

// Programs with an id above this get no parameter set.
constexpr int kMaxParamProgramId = 65535;

template <class T> struct TShaderParam {
    T value{};
    String name;
    // Unused; -1 in every entry.
    int reserved = -1;
};

// A program's reference to one parameter of the database.
struct ParamName {
    // The entry's index in the TParamList of its type, -1 until found.
    int index = -1;
    String name;
    int type = kParamFloat;
};

template <class T> class TParamList : public ArrayList<TShaderParam<T>> {
public:
    // Index of the first entry named exactly name, or -1.
    int findIndex(const String& name) const;

    // The first entry named name; throws "ParamList entry not found" when there is none.
    TShaderParam<T>& getValue(const String& name);

    // The entry param refers to. A cached index is used without comparing
    // names; otherwise the entry is searched and its index cached. A name that
    // is not in the list gives the shared default entry (0, (0, 0, 0, 1) or
    // the identity) and leaves the index at -1, so the next call searches again.
    const TShaderParam<T>& getValue(ParamName& param) const;

    // Overwrites the first entry named name, or appends a new one.
    void setValue(const String& name, const T& value);

    // The value a parameter reads as before anything set it.
    static T defaultValue();
};

template <> float TParamList<float>::defaultValue();
template <> Vector4 TParamList<Vector4>::defaultValue();
template <> TMatrix4<float> TParamList<TMatrix4<float>>::defaultValue();

extern template class TParamList<float>;
extern template class TParamList<Vector4>;
extern template class TParamList<TMatrix4<float>>;

// The parameters one program reads, by type.
struct ShaderParams {
    bool active = false;
    ArrayList<ParamName> floats;
    ArrayList<ParamName> vectors;
    ArrayList<ParamName> matrices;
};

class ParamDatabase {
public:
    // Indexed by ProgramObject::id; entries never activated stay inactive.
    ArrayList<ShaderParams> programParams;
    TParamList<TMatrix4<float>> matrices;
    TParamList<Vector4> vectors;
    TParamList<float> floats;

    static ParamDatabase* getInstance() { return Singleton<ParamDatabase>::getInstance(); }

    // Gives program id programId an active, empty parameter set unless it has
    // one; ids below 0 or above kMaxParamProgramId are ignored.
    void ensureProgramParams(int programId);
    // Appends name to the active set of programId; otherwise does nothing.
    void addProgramParam(int programId, const String& name, int type);
    // What the material loader does for each parameter a program declares:
    // ensureProgramParams, addProgramParam, then create the entry with its
    // default value unless it exists (an existing entry keeps its value).
    void registerProgramParam(int programId, const String& name, int type);
    // Pushes the current value of every parameter program reads into it: as
    // program-local parameters for assembly programs, as uniforms for GLSL
    // programs (which must be in use). Parameters the program lacks are skipped.
    void uploadParams(ProgramObject& program);
};

} // namespace Vantor

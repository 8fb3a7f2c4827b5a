// The shader parameter lists, the per-program parameter sets and their upload.
#include "modules/ShaderManager/ParamDatabase.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/ShaderManager/ProgramObject.h"

#include <GL/glew.h>

namespace Vantor {

namespace {

const char* const paramListSourceFile = "source\\modules\\shadermanager\\.\\ParamDatabase";
constexpr int lineEntryNotFound = 84;

template <class T> struct ParamListNames;
template <> struct ParamListNames<float> {
    static constexpr const char* getValue = "Vantor::TParamList<float>::getValue";
};
template <> struct ParamListNames<Vector4> {
    static constexpr const char* getValue = "Vantor::TParamList<union Vantor::Vector4>::getValue";
};
template <> struct ParamListNames<TMatrix4<float>> {
    static constexpr const char* getValue = "Vantor::TParamList<class Vantor::TMatrix4<float> >::getValue";
};

template <class T> const TShaderParam<T>& defaultEntry() {
    static const TShaderParam<T> entry{TParamList<T>::defaultValue(), String(), -1};
    return entry;
}

ArrayList<ParamName>* listOfType(ShaderParams& params, int type) {
    switch (type) {
    case kParamFloat:
        return &params.floats;
    case kParamVector:
        return &params.vectors;
    case kParamMatrix:
        return &params.matrices;
    default:
        return nullptr;
    }
}

} // namespace

template <> float TParamList<float>::defaultValue() { return 0.0f; }
template <> Vector4 TParamList<Vector4>::defaultValue() { return Vector4(0.0f, 0.0f, 0.0f, 1.0f); }
template <> TMatrix4<float> TParamList<TMatrix4<float>>::defaultValue() { return TMatrix4<float>(); }

template <class T> int TParamList<T>::findIndex(const String& name) const {
    for (unsigned i = 0; i < this->size; ++i)
        if (this->data[i].name == name)
            return int(i);
    return -1;
}

template <class T> TShaderParam<T>& TParamList<T>::getValue(const String& name) {
    int index = findIndex(name);
    if (index < 0)
        throw Exception("ParamList entry not found", ParamListNames<T>::getValue, paramListSourceFile,
                        lineEntryNotFound);
    return this->data[index];
}

template <class T> const TShaderParam<T>& TParamList<T>::getValue(ParamName& param) const {
    // Indices are only cached by this function, but a ParamName is plain data:
    // one that does not fit this list is looked up by name instead.
    if (param.index >= 0 && unsigned(param.index) < this->size)
        return this->data[param.index];
    int index = findIndex(param.name);
    if (index < 0)
        return defaultEntry<T>();
    param.index = index;
    return this->data[index];
}

template <class T> void TParamList<T>::setValue(const String& name, const T& value) {
    int index = findIndex(name);
    if (index >= 0) {
        this->data[index].value = value;
        return;
    }
    TShaderParam<T> entry;
    entry.value = value;
    entry.name = name;
    entry.reserved = -1;
    this->add(entry);
}

template class TParamList<float>;
template class TParamList<Vector4>;
template class TParamList<TMatrix4<float>>;

void ParamDatabase::ensureProgramParams(int programId) {
    if (programId < 0 || programId > kMaxParamProgramId)
        return;
    if (programParams.size < unsigned(programId) + 1)
        programParams.resize(unsigned(programId) + 1);
    ShaderParams& params = programParams[unsigned(programId)];
    if (params.active)
        return;
    params.active = true;
    params.floats.clear();
    params.vectors.clear();
    params.matrices.clear();
}

void ParamDatabase::addProgramParam(int programId, const String& name, int type) {
    if (programId < 0 || unsigned(programId) >= programParams.size)
        return;
    ShaderParams& params = programParams[unsigned(programId)];
    ArrayList<ParamName>* list = listOfType(params, type);
    if (!params.active || !list)
        return;
    ParamName param;
    param.index = -1;
    param.name = name;
    param.type = type;
    list->add(param);
}

void ParamDatabase::registerProgramParam(int programId, const String& name, int type) {
    ensureProgramParams(programId);
    addProgramParam(programId, name, type);
    switch (type) {
    case kParamFloat:
        if (floats.findIndex(name) < 0)
            floats.setValue(name, TParamList<float>::defaultValue());
        break;
    case kParamVector:
        if (vectors.findIndex(name) < 0)
            vectors.setValue(name, TParamList<Vector4>::defaultValue());
        break;
    case kParamMatrix:
        if (matrices.findIndex(name) < 0)
            matrices.setValue(name, TParamList<TMatrix4<float>>::defaultValue());
        break;
    default:
        break;
    }
}

void ParamDatabase::uploadParams(ProgramObject& program) {
    if (program.id < 0 || unsigned(program.id) >= programParams.size)
        return;
    ShaderParams& params = programParams[unsigned(program.id)];
    if (!params.active)
        return;
    const bool glsl = program.type == kProgramGLSL;

    for (ParamName& param : params.floats) {
        const float value = floats.getValue(param).value;
        int location = program.getParamLocation(param.name);
        if (!glsl)
            program.setLocalParam(location, value, 0.0f, 0.0f, 0.0f, 0);
        else if (location != -1)
            glUniform1fARB(location, value);
    }
    for (ParamName& param : params.vectors) {
        const Vector4& value = vectors.getValue(param).value;
        int location = program.getParamLocation(param.name);
        if (!glsl)
            program.setParamArray(location, 1, 4, value.v);
        else if (location != -1)
            glUniform4fvARB(location, 1, value.v);
    }
    for (ParamName& param : params.matrices) {
        const TMatrix4<float>& value = matrices.getValue(param).value;
        int location = program.getParamLocation(param.name);
        if (!glsl)
            program.setParamArray(location, 4, 4, value.m);
        else if (location != -1)
            glUniformMatrix4fvARB(location, 1, GL_FALSE, value.m);
    }
}

} // namespace Vantor

// The shader dialect and its parameter functions.
#include "modules/DrovelScript/ShaderDialect.h"

#include "Core/platform/GLContext.h"
#include "modules/DrovelScript/StandardDialect.h"
#include "modules/ShaderManager/ParamDatabase.h"

#include <GL/glew.h>

namespace Vantor {

namespace {

using Matrix = TMatrix4<float>;

GetFloatParamFunc getFloatParam;
GetVecParamFunc getVectorParam;
GetMatParamFunc getMatrixParam;
SetFloatParamFunc setFloatParam;
SetVectorParamFunc setVectorParam;
SetMatrixParamFunc setMatrixParam;
GetModelviewFunc getModelview;
GetProjectionFunc getProjection;

// Call resolution has matched the first argument to String.
const String& nameArgument(ArrayList<DSVarPtr>& arguments) {
    static const String none;
    const String* name = DSString::getString(*arguments[0]);
    return name ? *name : none;
}

// The GL matrix of that kind, or the identity when no context is current.
Matrix currentMatrix(GLenum which) {
    Matrix m;
    if (platform::glContextCurrent())
        glGetFloatv(which, m.m);
    return m;
}

template <class T>
void storeResult(DSVariable& result, DSType& type, const T& value) {
    result.setType(type);
    result.set(value);
}

} // namespace

void GetFloatParamFunc::declareSignature() {
    signature.parameterTypes.add(dsStringType.typeId);
    signature.returnType = dsFloatType.typeId;
}

void GetFloatParamFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const float value = ParamDatabase::getInstance()->floats.getValue(nameArgument(arguments)).value;
    storeResult(result, dsFloatType, value);
}

void GetVecParamFunc::declareSignature() {
    signature.parameterTypes.add(dsStringType.typeId);
    signature.returnType = dsVectorType.typeId;
}

void GetVecParamFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const Vector4 value = ParamDatabase::getInstance()->vectors.getValue(nameArgument(arguments)).value;
    storeResult(result, dsVectorType, value);
}

void GetMatParamFunc::declareSignature() {
    signature.parameterTypes.add(dsStringType.typeId);
    signature.returnType = dsMatrixType.typeId;
}

void GetMatParamFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const Matrix value = ParamDatabase::getInstance()->matrices.getValue(nameArgument(arguments)).value;
    storeResult(result, dsMatrixType, value);
}

void SetFloatParamFunc::declareSignature() {
    signature.parameterTypes.add(dsStringType.typeId);
    signature.parameterTypes.add(dsFloatType.typeId);
    signature.returnType = dsVoidType.typeId;
}

void SetFloatParamFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    ParamDatabase::getInstance()->floats.setValue(nameArgument(arguments), arguments[1]->get<float>());
    result.setType(dsVoidType);
}

void SetVectorParamFunc::declareSignature() {
    signature.parameterTypes.add(dsStringType.typeId);
    signature.parameterTypes.add(dsVectorType.typeId);
    signature.returnType = dsVoidType.typeId;
}

void SetVectorParamFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    ParamDatabase::getInstance()->vectors.setValue(nameArgument(arguments), arguments[1]->get<Vector4>());
    result.setType(dsVoidType);
}

void SetMatrixParamFunc::declareSignature() {
    signature.parameterTypes.add(dsStringType.typeId);
    signature.parameterTypes.add(dsMatrixType.typeId);
    signature.returnType = dsVoidType.typeId;
}

void SetMatrixParamFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    ParamDatabase::getInstance()->matrices.setValue(nameArgument(arguments), arguments[1]->get<Matrix>());
    result.setType(dsVoidType);
}

void GetModelviewFunc::declareSignature() { signature.returnType = dsMatrixType.typeId; }

void GetModelviewFunc::execute(ArrayList<DSVarPtr>&, DSVariable& result) {
    storeResult(result, dsMatrixType, currentMatrix(GL_MODELVIEW_MATRIX));
}

void GetProjectionFunc::declareSignature() { signature.returnType = dsMatrixType.typeId; }

void GetProjectionFunc::execute(ArrayList<DSVarPtr>&, DSVariable& result) {
    storeResult(result, dsMatrixType, currentMatrix(GL_PROJECTION_MATRIX));
}

ShaderDialect::ShaderDialect() : Dialect(*StandardDialect::getInstance()) {
    DSFunctor* const functions[] = {&getFloatParam,  &getVectorParam, &getMatrixParam, &setFloatParam,
                                    &setVectorParam, &setMatrixParam, &getModelview,   &getProjection};
    for (DSFunctor* function : functions)
        addFunction(*function);
}

} // namespace Vantor

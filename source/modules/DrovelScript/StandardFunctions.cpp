// The built-in functions of the standard dialect.
#include "modules/DrovelScript/StandardFunctions.h"

#include "modules/DrovelScript/StandardOperators.h"
#include "modules/gui/Console.h"

#include <initializer_list>

namespace Vantor {

namespace {

void declare(Function& signature, DSType& result, std::initializer_list<DSType*> parameters) {
    for (DSType* parameter : parameters)
        signature.parameterTypes.add(parameter->typeId);
    signature.returnType = result.typeId;
}

Vector4 vectorArgument(ArrayList<DSVarPtr>& arguments, unsigned i) { return arguments[i]->get<Vector4>(); }

} // namespace

void VecCtorFunc::declareSignature() {
    declare(signature, dsVectorType, {&dsFloatType, &dsFloatType, &dsFloatType, &dsFloatType});
}

void VecCtorFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    Vector4 v;
    for (unsigned i = 0; i < 4; ++i)
        v[int(i)] = arguments[i]->get<float>();
    result.setType(dsVectorType);
    result.set(v);
}

void MatCtorFunc::declareSignature() {
    declare(signature, dsMatrixType, {&dsVectorType, &dsVectorType, &dsVectorType, &dsVectorType});
}

void MatCtorFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    TMatrix4<float> m;
    for (unsigned column = 0; column < 4; ++column) {
        const Vector4 v = vectorArgument(arguments, column);
        for (int row = 0; row < 4; ++row)
            m.m[4 * column + unsigned(row)] = v[row];
    }
    result.setType(dsMatrixType);
    result.set(m);
}

void ResizeFunc::declareSignature() { declare(signature, dsVoidType, {&dsArrayType, &dsIntType}); }

void ResizeFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    DSArray::resize(*arguments[0], arguments[1]->get<int>());
    result.setType(dsVoidType);
}

void SizeFunc::declareSignature() { declare(signature, dsIntType, {&dsArrayType}); }

void SizeFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const int count = DSArray::count(*arguments[0]);
    result.setType(dsIntType);
    result.set(count);
}

void ClsFunc::declareSignature() { declare(signature, dsVoidType, {}); }

void ClsFunc::execute(ArrayList<DSVarPtr>&, DSVariable& result) {
    Console::getInstance()->clear();
    result.setType(dsVoidType);
}

void PrintFunc::declareSignature() { declare(signature, dsVoidType, {&dsStringType}); }

void PrintFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    if (const String* text = DSString::getString(*arguments[0]))
        Console::getInstance()->append(*text);
    result.setType(dsVoidType);
}

void PrintFuncG::declareSignature() { declare(signature, dsVoidType, {&dsObjectType}); }

void PrintFuncG::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const DSVariable& value = *arguments[0];
    if (value.type)
        Console::getInstance()->append(value.type->toString(value));
    result.setType(dsVoidType);
}

void MatInverseFunc::declareSignature() { declare(signature, dsMatrixType, {&dsMatrixType}); }

void MatInverseFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    TMatrix4<float> m = arguments[0]->get<TMatrix4<float>>();
    m.inverse();
    result.setType(dsMatrixType);
    result.set(m);
}

void MatTransposeFunc::declareSignature() { declare(signature, dsMatrixType, {&dsMatrixType}); }

void MatTransposeFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    TMatrix4<float> m = arguments[0]->get<TMatrix4<float>>();
    m.transpose();
    result.setType(dsMatrixType);
    result.set(m);
}

void VecLengthFunc::declareSignature() { declare(signature, dsFloatType, {&dsVectorType}); }

void VecLengthFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const float length = vectorArgument(arguments, 0).xyz().length();
    result.setType(dsFloatType);
    result.set(length);
}

void VecDotFunc::declareSignature() { declare(signature, dsFloatType, {&dsVectorType, &dsVectorType}); }

void VecDotFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const float d = dot(vectorArgument(arguments, 0).xyz(), vectorArgument(arguments, 1).xyz());
    result.setType(dsFloatType);
    result.set(d);
}

void VecCrossFunc::declareSignature() { declare(signature, dsVectorType, {&dsVectorType, &dsVectorType}); }

void VecCrossFunc::execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) {
    const Vector4 c = dsmath::mul(vectorArgument(arguments, 0), vectorArgument(arguments, 1));
    result.setType(dsVectorType);
    result.set(c);
}

} // namespace Vantor

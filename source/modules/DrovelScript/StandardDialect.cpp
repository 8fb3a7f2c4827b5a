// Building the standard dialect: the registration order below fixes the type
// ids, the order of every operator list and the function name rows.
#include "modules/DrovelScript/StandardDialect.h"

namespace Vantor {

namespace {

using Matrix = TMatrix4<float>;

TCtorFunc<Vector4> vectorCtor;
TCtorFunc<Matrix> matrixCtor;
VecCtorFunc vecCtor;
MatCtorFunc matCtor;
ResizeFunc resizeFunc;
SizeFunc sizeFunc;
ClsFunc clsFunc;
PrintFunc printFunc;
PrintFuncG printFuncG;
MatInverseFunc matInverse;
MatTransposeFunc matTranspose;
VecLengthFunc vecLength;
VecDotFunc vecDot;
VecCrossFunc vecCross;

UnaryNotFunc unaryNot;
TUnaryMinusFunc<int> negateInt;
TUnaryMinusFunc<float> negateFloat;
TUnaryMinusFunc<Vector4> negateVector;

TAddFunc<int, int, int> addInt;
TAddFunc<float, float, float> addFloat;
TAddFunc<Vector4, Vector4, Vector4> addVector;
TAddFunc<Matrix, Matrix, Matrix> addMatrix;
TSubFunc<int, int, int> subInt;
TSubFunc<float, float, float> subFloat;
TSubFunc<Vector4, Vector4, Vector4> subVector;
TSubFunc<Matrix, Matrix, Matrix> subMatrix;
TMulFunc<int, int, int> mulInt;
TMulFunc<float, float, float> mulFloat;
TMulFunc<Vector4, Vector4, Vector4> mulVector;
TMulFunc<Matrix, Matrix, Matrix> mulMatrix;
TMulFunc<Vector4, float, Vector4> mulFloatVector;
TMulFunc<Vector4, Vector4, float> mulVectorFloat;
TMulFunc<Matrix, float, Matrix> mulFloatMatrix;
TMulFunc<Matrix, Matrix, float> mulMatrixFloat;
TMulFunc<Vector4, Matrix, Vector4> mulMatrixVector;
TDivFunc<int, int, int> divInt;
TDivFunc<float, float, float> divFloat;
TDivFunc<Vector4, Vector4, float> divVectorFloat;
TDivFunc<Matrix, Matrix, float> divMatrixFloat;

TAndFunc andFunc;
TOrFunc orFunc;
TLessFunc<int> lessInt;
TLessFunc<float> lessFloat;
TGreaterFunc<int> greaterInt;
TGreaterFunc<float> greaterFloat;
TEqualFunc<int> equalInt;
TEqualFunc<float> equalFloat;
TNotEqualFunc<int> notEqualInt;
TNotEqualFunc<float> notEqualFloat;
TLessOrEqualFunc<int> lessOrEqualInt;
TLessOrEqualFunc<float> lessOrEqualFloat;
TGreaterOrEqualFunc<int> greaterOrEqualInt;
TGreaterOrEqualFunc<float> greaterOrEqualFloat;

TConversionOp<int, float> intToFloat;
TConversionOp<float, int> floatToInt;

} // namespace

StandardDialect::StandardDialect() {
    dsVectorType.name = "Vector";
    dsMatrixType.name = "Matrix";
    DSType* const standardTypes[] = {&dsBoolType,  &dsCharType,   &dsIntType,    &dsFloatType,
                                     &dsArrayType, &dsStringType, &dsVectorType, &dsMatrixType};
    for (DSType* type : standardTypes)
        addType(*type);

    DSFunctor* const functions[] = {&vectorCtor, &matrixCtor,   &vecCtor,   &matCtor,   &resizeFunc,
                                    &sizeFunc,   &clsFunc,      &printFunc, &printFuncG, &matInverse,
                                    &matTranspose, &vecLength, &vecDot,    &vecCross};
    for (DSFunctor* function : functions)
        addFunction(*function);

    struct Registration {
        int operatorId;
        DSFunctor* functor;
    };
    const Registration registrations[] = {
        {kOperatorNot, &unaryNot},
        {kOperatorNegate, &negateInt},
        {kOperatorNegate, &negateFloat},
        {kOperatorNegate, &negateVector},
        {kOperatorTimes, &mulInt},
        {kOperatorTimes, &mulFloat},
        {kOperatorTimes, &mulVector},
        {kOperatorTimes, &mulMatrix},
        {kOperatorPlus, &addInt},
        {kOperatorPlus, &addFloat},
        {kOperatorPlus, &addVector},
        {kOperatorPlus, &addMatrix},
        {kOperatorDivide, &divInt},
        {kOperatorDivide, &divFloat},
        {kOperatorMinus, &subInt},
        {kOperatorMinus, &subFloat},
        {kOperatorMinus, &subVector},
        {kOperatorMinus, &subMatrix},
        {kOperatorTimes, &mulFloatVector},
        {kOperatorTimes, &mulVectorFloat},
        {kOperatorDivide, &divVectorFloat},
        {kOperatorTimes, &mulFloatMatrix},
        {kOperatorTimes, &mulMatrixFloat},
        {kOperatorDivide, &divMatrixFloat},
        {kOperatorTimes, &mulMatrixVector},
        {kOperatorOr, &orFunc},
        {kOperatorAnd, &andFunc},
        {kOperatorLess, &lessInt},
        {kOperatorLess, &lessFloat},
        {kOperatorGreater, &greaterInt},
        {kOperatorGreater, &greaterFloat},
        {kOperatorEqual, &equalInt},
        {kOperatorEqual, &equalFloat},
        {kOperatorNotEqual, &notEqualInt},
        {kOperatorNotEqual, &notEqualFloat},
        {kOperatorLessOrEqual, &lessOrEqualInt},
        {kOperatorLessOrEqual, &lessOrEqualFloat},
        {kOperatorGreaterOrEqual, &greaterOrEqualInt},
        {kOperatorGreaterOrEqual, &greaterOrEqualFloat},
    };
    for (const Registration& r : registrations)
        addOperator(r.operatorId, *r.functor);

    addConversion(intToFloat);
    addConversion(floatToInt);
}

} // namespace Vantor

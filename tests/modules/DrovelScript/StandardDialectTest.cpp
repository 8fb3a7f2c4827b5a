// The standard dialect as scripts meet it: type ids, the order of the
// operator lists and name rows, operator results on every operand form, the
// built-in functions, and the console text that print and cls change.
#include "modules/DrovelScript/StandardDialect.h"

#include "DrovelTestSupport.h"
#include "modules/gui/Console.h"

#include <climits>
#include <cmath>
#include <initializer_list>
#include <vector>

using namespace Vantor;
using namespace Vantor::test;

namespace {

using Matrix = TMatrix4<float>;

class StandardDialectTest : public DrovelTest {
protected:
    void SetUp() override {
        dialect = StandardDialect::getInstance();
        Console::getInstance()->clear();
    }

    // The operator applied to the operands, as the machine applies it.
    DSVarPtr apply(int operatorId, std::initializer_list<DSVarPtr> operands) {
        ArrayList<DSVarPtr> arguments;
        for (const DSVarPtr& o : operands)
            arguments.add(o);
        const int right = arguments.size > 1 ? arguments[1]->typeId : -1;
        DSFunctor* functor = dialect->findOperator(operatorId, arguments[0]->typeId, right);
        DSVarPtr result = newVariable();
        if (!functor) {
            ADD_FAILURE() << "no operator " << operatorId;
            return result;
        }
        functor->execute(arguments, *result);
        return result;
    }

    // The built-in function that call resolution picks, run on the arguments.
    DSVarPtr call(const char* name, std::initializer_list<DSVarPtr> argumentList) {
        ArrayList<DSVarPtr> arguments;
        for (const DSVarPtr& a : argumentList)
            arguments.add(a);
        bool countMismatch = false, typeMismatch = false;
        DSFunctor* functor =
            dialect->resolveCall(dialect->findFunctionRow(name), arguments, countMismatch, typeMismatch);
        DSVarPtr result = newVariable();
        if (!functor) {
            ADD_FAILURE() << "no function " << name;
            return result;
        }
        functor->execute(arguments, *result);
        return result;
    }

    static std::string consoleText() { return text(Console::getInstance()->text); }

    StandardDialect* dialect = nullptr;
};

void expectVector(const DSVarPtr& cell, float x, float y, float z, float w) {
    ASSERT_EQ(cell->typeId, kVectorTypeId);
    const Vector4 v = cell->get<Vector4>();
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.w, w);
}

void expectMatrix(const DSVarPtr& cell, const Matrix& expected) {
    ASSERT_EQ(cell->typeId, kMatrixTypeId);
    const Matrix m = cell->get<Matrix>();
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m.m[i], expected.m[i]) << "element " << i;
}

Matrix sequence(float first) {
    Matrix m;
    for (int i = 0; i < 16; ++i)
        m.m[i] = first + float(i);
    return m;
}

} // namespace

TEST_F(StandardDialectTest, TypesHaveTheirIdsAndNames) {
    const char* names[] = {"void", "object", "bool", "char", "int", "float", "Array", "String", "Vector", "Matrix"};
    ASSERT_EQ(dialect->types.size, 10u);
    for (int id = 0; id < 10; ++id) {
        EXPECT_EQ(text(dialect->getType(id)->name), names[id]);
        EXPECT_EQ(dialect->findType(names[id])->typeId, id);
    }
    EXPECT_EQ(dsArrayType.typeId, kArrayTypeId);
    EXPECT_EQ(dsMatrixType.typeId, kMatrixTypeId);
    EXPECT_EQ(StandardDialect::getInstance(), dialect) << "built once";
    EXPECT_EQ(dialect->conversions.size, 2u);
}

TEST_F(StandardDialectTest, OperatorListsHoldTheirSignaturesInOrder) {
    const int B = kBoolTypeId, I = kIntTypeId, F = kFloatTypeId, V = kVectorTypeId, M = kMatrixTypeId;
    const struct {
        int operatorId;
        std::vector<std::vector<int>> signatures; // parameters, then the result
    } cases[] = {
        {37, {{B, B}}},
        {38, {{I, I}, {F, F}, {V, V}}},
        {40, {{I, I, I}, {F, F, F}, {V, V, V}, {M, M, M}}},
        {41, {{I, I, I}, {F, F, F}, {V, V, V}, {M, M, M}}},
        {42, {{B, B, B}}},
        {43, {{B, B, B}}},
        {44, {{I, I, B}, {F, F, B}}},
        {45, {{I, I, B}, {F, F, B}}},
        {46, {{I, I, B}, {F, F, B}}},
        {47, {{I, I, B}, {F, F, B}}},
        {48, {{I, I, B}, {F, F, B}}},
        {49, {{I, I, B}, {F, F, B}}},
        {50,
         {{I, I, I}, {F, F, F}, {V, V, V}, {M, M, M}, {F, V, V}, {V, F, V}, {F, M, M}, {M, F, M}, {M, V, V}}},
        {51, {{I, I, I}, {F, F, F}, {V, F, V}, {M, F, M}}},
    };
    unsigned listed = 0;
    for (const auto& c : cases) {
        const ArrayList<DSFunctor*>& list = dialect->operators[c.operatorId - kFirstOperatorId];
        ASSERT_EQ(list.size, c.signatures.size()) << "operator " << c.operatorId;
        for (unsigned k = 0; k < list.size; ++k) {
            const Function& s = list[k]->signature;
            const std::vector<int>& expected = c.signatures[k];
            std::vector<int> actual(s.parameterTypes.begin(), s.parameterTypes.end());
            actual.push_back(s.returnType);
            EXPECT_EQ(actual, expected) << "operator " << c.operatorId << " entry " << k;
        }
        listed += list.size;
    }
    unsigned total = 0;
    for (const auto& list : dialect->operators)
        total += list.size;
    EXPECT_EQ(total, listed) << "ids 39 and 52 to 68 stay empty";

    EXPECT_NE(dynamic_cast<UnaryNotFunc*>(dialect->findOperator(37, B, -1)), nullptr);
    using MatrixTimesVector = TMulFunc<Vector4, Matrix, Vector4>;
    using MatrixOverFloat = TDivFunc<Matrix, Matrix, float>;
    EXPECT_NE(dynamic_cast<MatrixTimesVector*>(dialect->findOperator(50, M, V)), nullptr);
    EXPECT_NE(dynamic_cast<MatrixOverFloat*>(dialect->findOperator(51, M, F)), nullptr);
    EXPECT_NE(dynamic_cast<TAndFunc*>(dialect->findOperator(42, B, B)), nullptr);
    EXPECT_NE(dynamic_cast<TGreaterOrEqualFunc<float>*>(dialect->findOperator(48, F, F)), nullptr);
}

TEST_F(StandardDialectTest, NoMixedOrUntypedOperators) {
    const struct {
        int operatorId, left, right;
    } missing[] = {
        {40, kIntTypeId, kFloatTypeId},  {40, kFloatTypeId, kIntTypeId},   {44, kBoolTypeId, kBoolTypeId},
        {40, kStringTypeId, kStringTypeId}, {40, kCharTypeId, kCharTypeId}, {44, kArrayTypeId, kArrayTypeId},
        {51, kFloatTypeId, kVectorTypeId}, {50, kVectorTypeId, kMatrixTypeId}, {38, kBoolTypeId, -1},
        {37, kIntTypeId, -1},             {39, kIntTypeId, -1},            {40, kObjectTypeId, kObjectTypeId},
    };
    for (const auto& m : missing)
        EXPECT_EQ(dialect->findOperator(m.operatorId, m.left, m.right), nullptr)
            << m.operatorId << " on " << m.left << ", " << m.right;
}

TEST_F(StandardDialectTest, IntegerArithmetic) {
    const struct {
        int operatorId, a, b, expected;
    } cases[] = {
        {40, 2, 3, 5},        {41, 10, 4, 6},          {50, 6, -7, -42},         {51, 7, 2, 3},
        {51, -7, 2, -3},      {51, 7, -2, -3},         {51, 0, 5, 0},            {40, INT_MAX, 1, INT_MIN},
        {41, INT_MIN, 1, INT_MAX}, {50, INT_MAX, 2, -2}, {51, INT_MIN, -1, INT_MIN},
    };
    for (const auto& c : cases) {
        DSVarPtr r = apply(c.operatorId, {intCell(c.a), intCell(c.b)});
        EXPECT_EQ(r->typeId, kIntTypeId);
        EXPECT_EQ(r->get<int>(), c.expected) << c.a << " op" << c.operatorId << " " << c.b;
    }
    EXPECT_EQ(apply(38, {intCell(5)})->get<int>(), -5);
    EXPECT_EQ(apply(38, {intCell(INT_MIN)})->get<int>(), INT_MIN);

    for (int a : {0, 1, -1, INT_MIN}) {
        Exception e = thrownBy([&] { apply(51, {intCell(a), intCell(0)}); });
        EXPECT_EQ(text(e.message), "Integer division by zero") << a;
    }
}

TEST_F(StandardDialectTest, FloatArithmeticFollowsIEEE) {
    EXPECT_FLOAT_EQ(apply(40, {floatCell(1.5f), floatCell(2.25f)})->get<float>(), 3.75f);
    EXPECT_FLOAT_EQ(apply(41, {floatCell(1.5f), floatCell(2.25f)})->get<float>(), -0.75f);
    EXPECT_FLOAT_EQ(apply(50, {floatCell(1.5f), floatCell(-2.0f)})->get<float>(), -3.0f);
    EXPECT_FLOAT_EQ(apply(51, {floatCell(1.0f), floatCell(4.0f)})->get<float>(), 0.25f);
    EXPECT_FLOAT_EQ(apply(38, {floatCell(2.5f)})->get<float>(), -2.5f);
    DSVarPtr inf = apply(51, {floatCell(1.0f), floatCell(0.0f)});
    EXPECT_EQ(inf->typeId, kFloatTypeId);
    EXPECT_TRUE(std::isinf(inf->get<float>()));
}

TEST_F(StandardDialectTest, VectorArithmeticKeepsTheFirstW) {
    DSVarPtr a = vectorCell(1, 2, 3, 4), b = vectorCell(1, 1, 1, 9);
    expectVector(apply(40, {a, b}), 2, 3, 4, 4);
    expectVector(a, 1, 2, 3, 4);
    expectVector(b, 1, 1, 1, 9);
    expectVector(apply(41, {vectorCell(1, 2, 3, 4), vectorCell(1, 1, 1, 9)}), 0, 1, 2, 4);
    expectVector(apply(50, {vectorCell(1, 0, 0, 1), vectorCell(0, 1, 0, 1)}), 0, 0, 1, 1);
    expectVector(apply(50, {vectorCell(0, 1, 0, 7), vectorCell(1, 0, 0, 1)}), 0, 0, -1, 7);
    expectVector(apply(50, {floatCell(2), vectorCell(1, 2, 3, 5)}), 2, 4, 6, 5);
    expectVector(apply(50, {vectorCell(1, 2, 3, 5), floatCell(-1)}), -1, -2, -3, 5);
    expectVector(apply(51, {vectorCell(2, 4, 6, 7), floatCell(2)}), 1, 2, 3, 7);
    expectVector(apply(38, {vectorCell(1, -2, 3, 4)}), -1, 2, -3, 4);
}

TEST_F(StandardDialectTest, MatrixArithmetic) {
    const Matrix a = sequence(1), b = sequence(100);
    Matrix sum, difference, twice, half;
    for (int i = 0; i < 16; ++i) {
        sum.m[i] = a.m[i] + b.m[i];
        difference.m[i] = a.m[i] - b.m[i];
        twice.m[i] = 2 * a.m[i];
        half.m[i] = a.m[i] * 0.5f;
    }
    expectMatrix(apply(40, {matrixCell(a), matrixCell(b)}), sum);
    expectMatrix(apply(41, {matrixCell(a), matrixCell(b)}), difference);
    expectMatrix(apply(50, {floatCell(2), matrixCell(a)}), twice);
    expectMatrix(apply(50, {matrixCell(a), floatCell(2)}), twice);
    expectMatrix(apply(51, {matrixCell(a), floatCell(2)}), half);

    // The product is a * b: b acts first, as in GL.
    Matrix translate = Matrix::translation(1, 2, 3);
    Matrix rotate = Matrix::rotation(90, 0, 0, 1);
    expectMatrix(apply(50, {matrixCell(translate), matrixCell(rotate)}), translate * rotate);
    DSVarPtr moved = apply(50, {matrixCell(translate * rotate), vectorCell(1, 0, 0, 1)});
    expectVector(moved, 1, 3, 3, 1);

    // The full product includes the projective row and w.
    Matrix projective;
    projective.m[3] = 1;  // row 3, column 0
    projective.m[15] = 2; // row 3, column 3
    expectVector(apply(50, {matrixCell(projective), vectorCell(3, 4, 5, 6)}), 3, 4, 5, 15);
}

TEST_F(StandardDialectTest, LogicAndComparisons) {
    const struct {
        int operatorId;
        bool lt, eq, gt; // results for 1 op 2, 2 op 2, 3 op 2
    } cases[] = {
        {47, true, false, false}, {45, false, false, true}, {44, false, true, false},
        {46, true, false, true},  {49, true, true, false},  {48, false, true, true},
    };
    for (const auto& c : cases) {
        const bool expected[] = {c.lt, c.eq, c.gt};
        for (int k = 0; k < 3; ++k) {
            DSVarPtr i = apply(c.operatorId, {intCell(k + 1), intCell(2)});
            DSVarPtr f = apply(c.operatorId, {floatCell(float(k + 1) - 0.5f), floatCell(1.5f)});
            EXPECT_EQ(i->typeId, kBoolTypeId);
            EXPECT_EQ(i->get<bool>(), expected[k]) << "int, operator " << c.operatorId << ", case " << k;
            EXPECT_EQ(f->get<bool>(), expected[k]) << "float, operator " << c.operatorId << ", case " << k;
        }
    }
    EXPECT_FALSE(apply(44, {floatCell(std::nanf("")), floatCell(std::nanf(""))})->get<bool>());
    for (bool a : {false, true}) {
        for (bool b : {false, true}) {
            EXPECT_EQ(apply(42, {boolCell(a), boolCell(b)})->get<bool>(), a && b);
            EXPECT_EQ(apply(43, {boolCell(a), boolCell(b)})->get<bool>(), a || b);
        }
        DSVarPtr n = apply(37, {boolCell(a)});
        EXPECT_EQ(n->typeId, kBoolTypeId);
        EXPECT_EQ(n->get<bool>(), !a);
    }
    // Any non-zero byte is true.
    DSVarPtr odd = boolCell(false);
    odd->value()[0] = 7;
    EXPECT_FALSE(apply(37, {odd})->get<bool>());
}

TEST_F(StandardDialectTest, FunctionRowsAreInRegistrationOrder) {
    const char* rows[] = {"", "Vector", "Matrix", "resize", "size", "cls", "print", "inverse", "transpose",
                          "length", "dot", "cross"};
    ASSERT_EQ(dialect->functionTable.rows.size, 12u);
    for (int r = 0; r < 12; ++r) {
        EXPECT_EQ(dialect->findFunctionRow(rows[r]), r) << rows[r];
        EXPECT_EQ(dialect->functionTable.rows[unsigned(r)].index, r);
    }
    EXPECT_EQ(dialect->functionTable.functions.size, 14u);
    EXPECT_EQ(dialect->functionTable.rows[0].functionIndices.size, 2u);
    EXPECT_EQ(dialect->functionTable.rows[6].functionIndices.size, 2u);

    // The nameless constructors: the Vector one comes first.
    ArrayList<DSVarPtr> none;
    bool countMismatch = false, typeMismatch = false;
    DSFunctor* ctor = dialect->resolveCall(0, none, countMismatch, typeMismatch);
    ASSERT_NE(dynamic_cast<TCtorFunc<Vector4>*>(ctor), nullptr);
    DSVarPtr made = newVariable();
    ctor->execute(none, *made);
    expectVector(made, 0, 0, 0, 1);
    DSFunctor* matrixCtor = dialect->functors[1];
    ASSERT_NE(dynamic_cast<TCtorFunc<Matrix>*>(matrixCtor), nullptr);
    matrixCtor->execute(none, *made);
    expectMatrix(made, Matrix());
}

TEST_F(StandardDialectTest, PrintPicksTheStringFormAndWritesTheConsole) {
    ArrayList<DSVarPtr> arguments;
    arguments.add(stringCell("hello"));
    bool countMismatch = false, typeMismatch = false;
    const int print = dialect->findFunctionRow("print");
    EXPECT_NE(dynamic_cast<PrintFunc*>(dialect->resolveCall(print, arguments, countMismatch, typeMismatch)),
              nullptr);
    arguments[0] = intCell(42);
    EXPECT_NE(dynamic_cast<PrintFuncG*>(dialect->resolveCall(print, arguments, countMismatch, typeMismatch)),
              nullptr);

    Console::getInstance()->append("typed ");
    DSVarPtr result = call("print", {stringCell("hello")});
    EXPECT_EQ(result->typeId, kVoidTypeId);
    call("print", {intCell(42)});
    call("print", {matrixCell(Matrix())});
    call("print", {arrayCell(1)});
    call("print", {vectorCell(1, 2, 3, 1)});
    call("print", {floatCell(2.5f)});
    call("print", {boolCell(true)});
    EXPECT_EQ(consoleText(), "typed hello42Matrix4 placeholder[ Array ](1,2,3,1)2.51");
    EXPECT_EQ(call("cls", {})->typeId, kVoidTypeId);
    EXPECT_EQ(consoleText(), "");
}

TEST_F(StandardDialectTest, ResizeAndSize) {
    DSVarPtr a = newVariable();
    a->setType(dsArrayType);
    DSArray::resize(*a, 3);
    for (int k = 0; k < 3; ++k)
        DSArray::getElement(*a, k)->setType(dsIntType);
    DSVarPtr count = call("size", {a});
    EXPECT_EQ(count->typeId, kIntTypeId);
    EXPECT_EQ(count->get<int>(), 3);

    DSVarPtr kept = DSArray::getElement(*a, 0);
    EXPECT_EQ(call("resize", {a, intCell(5)})->typeId, kVoidTypeId);
    EXPECT_EQ(call("size", {a})->get<int>(), 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(DSArray::getElement(*a, k)->typeId, kObjectTypeId) << k;
        EXPECT_NE(DSArray::getElement(*a, k), kept) << "the old elements are dropped";
    }
    call("resize", {a, intCell(-1)});
    EXPECT_EQ(call("size", {a})->get<int>(), 0);
}

TEST_F(StandardDialectTest, VectorAndMatrixFunctions) {
    expectVector(call("Vector", {floatCell(1), floatCell(2), floatCell(3), floatCell(4)}), 1, 2, 3, 4);
    expectVector(call("cross", {vectorCell(1, 0, 0, 1), vectorCell(0, 1, 0, 1)}), 0, 0, 1, 1);
    expectVector(call("cross", {vectorCell(0, 0, 1, 3), vectorCell(1, 0, 0, 9)}), 0, 1, 0, 3);
    DSVarPtr length = call("length", {vectorCell(3, 4, 0, 100)});
    EXPECT_EQ(length->typeId, kFloatTypeId);
    EXPECT_FLOAT_EQ(length->get<float>(), 5);
    EXPECT_FLOAT_EQ(call("dot", {vectorCell(1, 2, 3, 100), vectorCell(4, 5, 6, 100)})->get<float>(), 32);

    Matrix columns;
    for (int i = 0; i < 16; ++i)
        columns.m[i] = float(i);
    expectMatrix(call("Matrix", {vectorCell(0, 1, 2, 3), vectorCell(4, 5, 6, 7), vectorCell(8, 9, 10, 11),
                                 vectorCell(12, 13, 14, 15)}),
                 columns);
    Matrix transposed = columns;
    transposed.transpose();
    expectMatrix(call("transpose", {matrixCell(columns)}), transposed);

    Matrix scale;
    scale.m[0] = 2;
    scale.m[5] = 4;
    scale.m[10] = 8;
    Matrix inverseScale;
    inverseScale.m[0] = 0.5f;
    inverseScale.m[5] = 0.25f;
    inverseScale.m[10] = 0.125f;
    expectMatrix(call("inverse", {matrixCell(scale)}), inverseScale);
    Matrix singular;
    singular.m[0] = 0;
    expectMatrix(call("inverse", {matrixCell(singular)}), Matrix());
}

TEST_F(StandardDialectTest, CallsWithTheWrongArgumentsFindNothing) {
    const struct {
        const char* what;
        const char* name;
        std::vector<DSVarPtr> arguments;
        bool countMismatch, typeMismatch;
    } cases[] = {
        {"Vector of ints", "Vector", {intCell(1), intCell(2), intCell(3), intCell(4)}, false, true},
        {"Vector of three floats", "Vector", {floatCell(1), floatCell(2), floatCell(3)}, true, false},
        {"print of nothing", "print", {}, true, false},
        {"print of two", "print", {stringCell("a"), stringCell("b")}, true, false},
        {"size of an int", "size", {intCell(1)}, false, true},
        {"cross of a Matrix", "cross", {matrixCell(Matrix()), vectorCell(0, 0, 0, 1)}, false, true},
    };
    for (const auto& c : cases) {
        ArrayList<DSVarPtr> arguments;
        for (const DSVarPtr& a : c.arguments)
            arguments.add(a);
        bool countMismatch = false, typeMismatch = false;
        EXPECT_EQ(dialect->resolveCall(dialect->findFunctionRow(c.name), arguments, countMismatch, typeMismatch),
                  nullptr)
            << c.what;
        EXPECT_EQ(countMismatch, c.countMismatch) << c.what;
        EXPECT_EQ(typeMismatch, c.typeMismatch) << c.what;
    }
}

TEST_F(StandardDialectTest, ACopyExtendsWithoutChangingTheStandard) {
    struct HelloFunc : DSFunctor {
        void declareSignature() override { signature.returnType = kVoidTypeId; }
        void execute(ArrayList<DSVarPtr>&, DSVariable& result) override { result.setType(dsVoidType); }
        String getName() override { return "hello"; }
    } hello;
    Dialect shader(*dialect);
    EXPECT_EQ(shader.addFunction(hello), 14);
    EXPECT_EQ(shader.findFunctionRow("hello"), 12);
    EXPECT_EQ(dialect->findFunctionRow("hello"), -1);
    EXPECT_EQ(shader.findType("Matrix")->typeId, kMatrixTypeId);
    EXPECT_EQ(shader.findOperator(50, kMatrixTypeId, kVectorTypeId),
              dialect->findOperator(50, kMatrixTypeId, kVectorTypeId));
}

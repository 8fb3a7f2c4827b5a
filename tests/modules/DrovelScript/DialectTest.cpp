// Values, types and dialects: cell storage and copies, the text forms, the
// operator and name tables, call resolution with its passes and flags, and
// dialect copies. Dialects built here use type objects of their own, so the
// standard dialect's type ids stay as they are.
#include "modules/DrovelScript/Dialect.h"

#include "DrovelTestSupport.h"
#include "modules/DrovelScript/StandardDialect.h"

#include <climits>
#include <cmath>
#include <initializer_list>
#include <vector>

using namespace Vantor;
using namespace Vantor::test;

namespace {

// A functor with a given name and signature; counts its declareSignature runs.
class SignatureFunc : public DSFunctor {
public:
    SignatureFunc(const char* functionName, std::vector<int> parameters, int result = kVoidTypeId)
        : name(functionName), parameterList(std::move(parameters)), resultType(result) {}

    void declareSignature() override {
        ++declarations;
        for (int p : parameterList)
            signature.parameterTypes.add(p);
        signature.returnType = resultType;
    }
    void execute(ArrayList<DSVarPtr>&, DSVariable& result) override { result.setType(dsVoidType); }
    String getName() override { return name.c_str(); }

    std::string name;
    std::vector<int> parameterList;
    int resultType;
    int declarations = 0;
};

// A dialect with types of its own: int 2, String 3.
struct TestDialect {
    TDSType<int> intType;
    DSString stringType;
    Dialect dialect;

    TestDialect() {
        dialect.addType(intType);
        dialect.addType(stringType);
    }
};

constexpr int kTestInt = 2;
constexpr int kTestString = 3;

ArrayList<DSVarPtr> argumentsOf(std::initializer_list<DSVarPtr> cells) {
    ArrayList<DSVarPtr> list;
    for (const DSVarPtr& c : cells)
        list.add(c);
    return list;
}

DSVarPtr cellOfType(DSType& t) {
    DSVarPtr cell = newVariable();
    cell->setType(t);
    return cell;
}

class DialectTest : public DrovelTest {
protected:
    void SetUp() override { StandardDialect::getInstance(); }
};

} // namespace

TEST_F(DialectTest, ANewDialectHoldsVoidAndObjectOnly) {
    Dialect d;
    ASSERT_EQ(d.types.size, 2u);
    EXPECT_EQ(text(d.getType(0)->name), "void");
    EXPECT_EQ(text(d.getType(1)->name), "object");
    EXPECT_EQ(d.findType("object"), &dsObjectType);
    EXPECT_EQ(d.findType("Object"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(d.findType("obj"), nullptr);
    for (int bad : {2, -1, INT_MAX}) {
        Exception e = thrownBy([&] { d.getType(bad); });
        EXPECT_EQ(text(e.message), "Invalid typeID") << bad;
        EXPECT_EQ(text(e.function), "Vantor::Dialect::getType");
        EXPECT_EQ(text(e.file), "source\\modules\\DrovelScript\\Dialect");
        EXPECT_EQ(e.line, 187);
    }
}

TEST_F(DialectTest, AddOperatorChecksTheOperandCount) {
    const struct {
        int operatorId;
        std::vector<int> parameters;
        const char* message;
        int line;
    } cases[] = {
        {38, {kTestInt, kTestInt}, "Wrong number of parameters for unary operator", 33},
        {37, {}, "Wrong number of parameters for unary operator", 33},
        {40, {kTestInt}, "Wrong number of parameters for binary operator", 31},
        {68, {kTestInt, kTestInt, kTestInt}, "Wrong number of parameters for binary operator", 31},
        {36, {kTestInt}, "Invalid operator id", 27},
        {69, {kTestInt, kTestInt}, "Invalid operator id", 27},
    };
    TestDialect t;
    for (const auto& c : cases) {
        SignatureFunc f("", c.parameters);
        Exception e = thrownBy([&] { t.dialect.addOperator(c.operatorId, f); });
        EXPECT_EQ(text(e.message), c.message) << "operator " << c.operatorId;
        EXPECT_EQ(text(e.function), "Vantor::Dialect::addOperator");
        EXPECT_EQ(e.line, c.line);
    }
    for (const auto& list : t.dialect.operators)
        EXPECT_EQ(list.size, 0u);
}

TEST_F(DialectTest, FindOperatorMatchesExactlyInRegistrationOrder) {
    TestDialect t;
    SignatureFunc negate("", {kTestInt});
    SignatureFunc plusIntInt("", {kTestInt, kTestInt});
    SignatureFunc plusIntString("", {kTestInt, kTestString});
    SignatureFunc plusAgain("", {kTestInt, kTestInt});
    SignatureFunc plusObject("", {kObjectTypeId, kObjectTypeId});
    t.dialect.addOperator(38, negate);
    t.dialect.addOperator(40, plusIntInt);
    t.dialect.addOperator(40, plusIntString);
    t.dialect.addOperator(40, plusAgain);
    t.dialect.addOperator(40, plusObject);
    EXPECT_EQ(t.dialect.findOperator(38, kTestInt, -1), &negate);
    EXPECT_EQ(t.dialect.findOperator(38, kTestString, -1), nullptr);
    EXPECT_EQ(t.dialect.findOperator(40, kTestInt, kTestInt), &plusIntInt) << "the first registered wins";
    EXPECT_EQ(t.dialect.findOperator(40, kTestInt, kTestString), &plusIntString);
    EXPECT_EQ(t.dialect.findOperator(40, kTestString, kTestInt), nullptr) << "operand order counts";
    EXPECT_EQ(t.dialect.findOperator(40, kTestInt, -1), nullptr) << "no unary lookup among binary functors";
    EXPECT_EQ(t.dialect.findOperator(40, kObjectTypeId, kObjectTypeId), &plusObject);
    EXPECT_EQ(t.dialect.findOperator(41, kTestInt, kTestInt), nullptr);
    EXPECT_EQ(t.dialect.findOperator(0, kTestInt, kTestInt), nullptr) << "ids without a table find nothing";
    EXPECT_EQ(t.dialect.findOperator(1000, kTestInt, kTestInt), nullptr);
}

TEST_F(DialectTest, SignaturesAreDeclaredOnceAndFiledByName) {
    TestDialect t;
    SignatureFunc f1("f", {kTestInt});
    SignatureFunc g("g", {kObjectTypeId, kTestInt, kObjectTypeId});
    SignatureFunc f2("f", {kTestString});
    EXPECT_EQ(t.dialect.addFunction(f1), 0);
    EXPECT_EQ(t.dialect.addFunction(g), 1);
    EXPECT_EQ(t.dialect.addFunction(f2), 2);
    t.dialect.addOperator(38, f1);
    EXPECT_EQ(f1.declarations, 1);
    EXPECT_EQ(f1.signature.parameterTypes.size, 1u) << "the second registration did not declare again";
    EXPECT_EQ(g.signature.objectParamCount, 2);

    ASSERT_EQ(t.dialect.functionTable.rows.size, 2u);
    const FuncName& rowF = t.dialect.functionTable.rows[0];
    EXPECT_EQ(text(rowF.name), "f");
    EXPECT_EQ(rowF.index, 0);
    ASSERT_EQ(rowF.functionIndices.size, 2u);
    EXPECT_EQ(rowF.functionIndices[0], 0);
    EXPECT_EQ(rowF.functionIndices[1], 2);
    EXPECT_EQ(t.dialect.functionTable.rows[1].index, 1);
    EXPECT_EQ(t.dialect.findFunctionRow("g"), 1);
    EXPECT_EQ(t.dialect.findFunctionRow("G"), -1);
    EXPECT_EQ(t.dialect.functors[2], &f2);
}

TEST_F(DialectTest, ResolveCallPrefersExactSignaturesThenTheEarliest) {
    TestDialect t;
    // Registered "object" first, so that only the passes make the exact one win.
    SignatureFunc printObject("print", {kObjectTypeId});
    SignatureFunc printString("print", {kTestString});
    SignatureFunc pairA("pair", {kObjectTypeId, kTestInt});
    SignatureFunc pairB("pair", {kTestInt, kObjectTypeId});
    SignatureFunc pairC("pair", {kObjectTypeId, kObjectTypeId});
    for (SignatureFunc* f : {&printObject, &printString, &pairA, &pairB, &pairC})
        t.dialect.addFunction(*f);
    const int print = t.dialect.findFunctionRow("print");
    const int pair = t.dialect.findFunctionRow("pair");
    DSVarPtr s = cellOfType(t.stringType), i = cellOfType(t.intType);

    const struct {
        const char* what;
        int row;
        ArrayList<DSVarPtr> arguments;
        DSFunctor* expected;
    } cases[] = {
        {"print(String)", print, argumentsOf({s}), &printString},
        {"print(int)", print, argumentsOf({i}), &printObject},
        {"pair(int, int)", pair, argumentsOf({i, i}), &pairA},
        {"pair(String, int)", pair, argumentsOf({s, i}), &pairA},
        {"pair(int, String)", pair, argumentsOf({i, s}), &pairB},
        {"pair(String, String)", pair, argumentsOf({s, s}), &pairC},
    };
    for (const auto& c : cases) {
        bool countMismatch = false, typeMismatch = false;
        EXPECT_EQ(t.dialect.resolveCall(c.row, c.arguments, countMismatch, typeMismatch), c.expected) << c.what;
    }
}

TEST_F(DialectTest, ResolveCallFailuresSetOnlyTheirFlags) {
    TestDialect t;
    SignatureFunc take("take", {kTestInt, kTestString});
    SignatureFunc none("none", {});
    t.dialect.addFunction(take);
    t.dialect.addFunction(none);
    const int row = t.dialect.findFunctionRow("take");
    DSVarPtr s = cellOfType(t.stringType), i = cellOfType(t.intType);
    ArrayList<DSVarPtr> empty;

    const struct {
        const char* what;
        int row;
        ArrayList<DSVarPtr> arguments;
        bool countMismatch;
        bool typeMismatch;
    } cases[] = {
        {"one argument too many", row, argumentsOf({i, s, s}), true, false},
        {"one argument too few", row, argumentsOf({i}), true, false},
        {"no arguments", row, empty, true, false},
        {"types swapped", row, argumentsOf({s, i}), false, true},
        {"an empty argument slot", row, argumentsOf({i, DSVarPtr()}), false, true},
        {"a row that does not exist", 7, argumentsOf({i, s}), false, false},
        {"a negative row", -1, argumentsOf({i, s}), false, false},
    };
    for (const auto& c : cases) {
        bool countMismatch = false, typeMismatch = false;
        EXPECT_EQ(t.dialect.resolveCall(c.row, c.arguments, countMismatch, typeMismatch), nullptr) << c.what;
        EXPECT_EQ(countMismatch, c.countMismatch) << c.what;
        EXPECT_EQ(typeMismatch, c.typeMismatch) << c.what;
    }

    // The flags are shared with the caller and never cleared.
    bool countMismatch = true, typeMismatch = true;
    EXPECT_EQ(t.dialect.resolveCall(row, argumentsOf({i, s}), countMismatch, typeMismatch), &take);
    EXPECT_TRUE(countMismatch && typeMismatch);
    countMismatch = typeMismatch = false;
    EXPECT_EQ(t.dialect.resolveCall(t.dialect.findFunctionRow("none"), empty, countMismatch, typeMismatch), &none);
    EXPECT_FALSE(countMismatch || typeMismatch);
}

TEST_F(DialectTest, TextFormsOfEveryKind) {
    TMatrix4<float> m;
    m.m[12] = 5;
    DSVarPtr charCell = cellOf(dsCharType, 'q');
    const struct {
        DSVarPtr cell;
        const char* expected;
    } cases[] = {
        {boolCell(true), "1"},
        {boolCell(false), "0"},
        {charCell, "q"},
        {intCell(-42), "-42"},
        {intCell(INT_MIN), "-2147483648"},
        {floatCell(1.5f), "1.5"},
        {floatCell(0.1f), "0.1"},
        {floatCell(1.0f / 3.0f), "0.333333"},
        {floatCell(1e20f), "1e+20"},
        {floatCell(-0.0f), "-0"},
        {vectorCell(1, 2, 3, 1), "(1,2,3,1)"},
        {vectorCell(-0.5f, 1e7f, 0, 2), "(-0.5,1e+07,0,2)"},
        {matrixCell(m), "Matrix4 placeholder"},
        {arrayCell(2), "[ Array ]"},
        {stringCell("not shown"), "[ String ]"},
        {newVariable(), "[ object ]"},
        {cellOfType(dsVoidType), "[ void ]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(c.cell->type->toString(*c.cell)), c.expected);
}

TEST_F(DialectTest, InitialValuesAndStorage) {
    DSVarPtr v = cellOfType(dsVectorType);
    const Vector4 vector = v->get<Vector4>();
    EXPECT_EQ(vector.x, 0);
    EXPECT_EQ(vector.y, 0);
    EXPECT_EQ(vector.z, 0);
    EXPECT_EQ(vector.w, 1);
    EXPECT_EQ(v->size, 16u);
    DSVarPtr m = cellOfType(dsMatrixType);
    const TMatrix4<float> identity;
    const TMatrix4<float> value = m->get<TMatrix4<float>>();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(value.m[i], identity.m[i]);
    EXPECT_EQ(m->size, 64u);
    DSVarPtr s = cellOfType(dsStringType);
    ASSERT_NE(DSString::getString(*s), nullptr);
    EXPECT_TRUE(DSString::getString(*s)->empty());
    EXPECT_EQ(DSString::getString(*v), nullptr) << "a Vector is no String";
    EXPECT_EQ(DSArray::getList(*s), nullptr) << "a String is no Array";

    // setSize: the same size keeps the value, another size starts zeroed.
    DSVarPtr i = intCell(77);
    i->setSize(4);
    EXPECT_EQ(i->get<int>(), 77);
    i->setSize(3);
    EXPECT_EQ(i->get<int>(), 0);
    // Reading more than a cell holds reads zeros, never beyond it.
    EXPECT_EQ(i->get<Vector4>().w, 0.0f);
}

TEST_F(DialectTest, AssignCopiesValuesNotReferences) {
    DSVarPtr source = stringCell("first");
    DSVarPtr copy = newVariable();
    copy->assign(*source);
    EXPECT_EQ(copy->typeId, source->typeId);
    ASSERT_NE(DSString::getString(*copy), DSString::getString(*source));
    *DSString::getString(*copy) = "changed";
    EXPECT_EQ(text(*DSString::getString(*source)), "first");

    // Any cell can take any value; the old one is destroyed first.
    DSVarPtr v = vectorCell(1, 2, 3, 4);
    copy->assign(*v);
    EXPECT_EQ(copy->typeId, dsVectorType.typeId);
    EXPECT_NE(copy->block, v->block);
    EXPECT_EQ(copy->get<Vector4>().w, 4.0f);

    copy->assign(*copy);
    EXPECT_EQ(copy->get<Vector4>().z, 3.0f) << "assigning a cell to itself keeps its value";
}

TEST_F(DialectTest, ArraysCopyDeep) {
    DSVarPtr inner = arrayCell(1);
    DSArray::getElement(*inner, 0)->assign(*intCell(5));
    DSVarPtr source = arrayCell(3);
    DSArray::getElement(*source, 0)->assign(*intCell(1));
    DSArray::getElement(*source, 1)->assign(*inner);
    DSArray::getElement(*source, 2)->assign(*stringCell("s"));

    DSVarPtr copy = newVariable();
    copy->assign(*source);
    ASSERT_EQ(DSArray::count(*copy), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NE(DSArray::getElement(*copy, k), DSArray::getElement(*source, k)) << "element " << k;
        EXPECT_EQ(DSArray::getElement(*copy, k)->typeId, DSArray::getElement(*source, k)->typeId);
    }
    DSVariable& copiedInner = *DSArray::getElement(*copy, 1);
    DSArray::getElement(copiedInner, 0)->set(9);
    EXPECT_EQ(DSArray::getElement(*DSArray::getElement(*source, 1), 0)->get<int>(), 5);
    EXPECT_EQ(text(*DSString::getString(*DSArray::getElement(*copy, 2))), "s");

    // An array assigned into one of its own elements copies what it held.
    DSArray::getElement(*source, 0)->assign(*source);
    EXPECT_EQ(DSArray::count(*DSArray::getElement(*source, 0)), 3);
}

TEST_F(DialectTest, ArrayElementsAreBoundsChecked) {
    DSVarPtr a = arrayCell(3);
    DSVarPtr notAnArray = intCell(0);
    const struct {
        const char* what;
        DSVarPtr cell;
        int index;
    } cases[] = {{"-1", a, -1}, {"the count", a, 3}, {"INT_MAX", a, INT_MAX}, {"an int cell", notAnArray, 0}};
    for (const auto& c : cases) {
        Exception e = thrownBy([&] { DSArray::getElement(*c.cell, c.index); });
        EXPECT_EQ(text(e.message), "Array index out of bounds") << c.what;
        EXPECT_EQ(text(e.function), "Vantor::DSArray::getElement");
        EXPECT_EQ(text(e.file), "source\\modules\\DrovelScript\\StandardDialect");
        EXPECT_EQ(e.line, 115);
    }
    EXPECT_EQ(DSArray::getElement(*a, 2)->typeId, kObjectTypeId);

    DSArray::resize(*a, -5);
    EXPECT_EQ(DSArray::count(*a), 0);
    // More elements than the pool has cells: the pool's error, nothing kept.
    Exception e = thrownBy([&] { DSArray::resize(*a, INT_MAX); });
    EXPECT_EQ(text(e.message), "Memory manager: Out of memory");
    DSArray::resize(*a, 0);
}

TEST_F(DialectTest, ConversionsTruncateAndSaturate) {
    TConversionOp<int, float> toFloat;
    TConversionOp<float, int> toInt;
    toFloat.init();
    toInt.init();
    EXPECT_EQ(toFloat.fromType, kIntTypeId);
    EXPECT_EQ(toFloat.toType, kFloatTypeId);
    EXPECT_EQ(toFloat.convert(*intCell(-3))->get<float>(), -3.0f);
    EXPECT_EQ(toFloat.convert(*intCell(7))->typeId, kFloatTypeId);
    const struct {
        float in;
        int out;
    } cases[] = {{2.7f, 2}, {-2.7f, -2}, {1e10f, INT_MAX}, {-1e10f, INT_MIN}, {std::nanf(""), 0}};
    for (const auto& c : cases) {
        DSVarPtr converted = toInt.convert(*floatCell(c.in));
        EXPECT_EQ(converted->typeId, kIntTypeId);
        EXPECT_EQ(converted->get<int>(), c.out) << c.in;
    }
}

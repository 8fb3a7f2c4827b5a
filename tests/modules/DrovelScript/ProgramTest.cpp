// Programs: the function records with their duplicate and count limits, the
// constant and record lookups, the line table, and copies of a program.
#include "modules/DrovelScript/Program.h"

#include "DrovelTestSupport.h"
#include "modules/DrovelScript/StandardDialect.h"

#include <memory>
#include <vector>

using namespace Vantor;
using namespace Vantor::test;

namespace {

Function signatureOf(std::vector<int> parameters, int result = kVoidTypeId, int entry = -1) {
    Function f;
    for (int p : parameters)
        f.parameterTypes.add(p);
    f.returnType = result;
    f.entry = entry;
    return f;
}

class ProgramTest : public DrovelTest {
protected:
    void SetUp() override {
        program = std::make_unique<Program>();
        program->dialect = StandardDialect::getInstance();
    }
    void TearDown() override {
        program.reset();
        DrovelTest::TearDown();
    }
    std::unique_ptr<Program> program;
};

std::vector<int> linesOf(const Program& p) { return std::vector<int>(p.lines.begin(), p.lines.end()); }

} // namespace

TEST_F(ProgramTest, OverloadsDifferInParameterTypesOnly) {
    EXPECT_EQ(program->addFunction(signatureOf({kIntTypeId}, kIntTypeId, 10), "f"), 0);
    EXPECT_EQ(program->addFunction(signatureOf({kFloatTypeId}, kIntTypeId, 20), "f"), 1);
    EXPECT_EQ(program->addFunction(signatureOf({kIntTypeId, kObjectTypeId}), "f"), 2);
    EXPECT_EQ(program->addFunction(signatureOf({kIntTypeId}), "g"), 3);
    EXPECT_EQ(program->getFunction(1).entry, 20);
    EXPECT_EQ(program->getFunction(2).objectParamCount, 1);
    EXPECT_EQ(program->findFunctionRow("g"), 1);

    const struct {
        std::vector<int> parameters;
        int result;
        const char* name;
        const char* message;
    } duplicates[] = {
        {{kIntTypeId}, kFloatTypeId, "f", "Function f(int) already declared"},
        {{kIntTypeId, kObjectTypeId}, kVoidTypeId, "f", "Function f(int, object) already declared"},
        {{kIntTypeId}, kVoidTypeId, "g", "Function g(int) already declared"},
    };
    for (const auto& d : duplicates) {
        Exception e = thrownBy([&] { program->addFunction(signatureOf(d.parameters, d.result), d.name); });
        EXPECT_EQ(text(e.message), d.message);
        EXPECT_EQ(text(e.function), "Vantor::Program::addFunction");
        EXPECT_EQ(text(e.file), "source\\modules\\DrovelScript\\Program");
        EXPECT_EQ(e.line, 49);
    }
    program->addFunction(signatureOf({}), "h");
    EXPECT_EQ(text(thrownBy([&] { program->addFunction(signatureOf({}), "h"); }).message),
              "Function h() already declared");
    // The message names the types; an id the dialect lacks fails there.
    program->addFunction(signatureOf({42}), "k");
    EXPECT_EQ(text(thrownBy([&] { program->addFunction(signatureOf({42}), "k"); }).message), "Invalid typeID");
    EXPECT_EQ(program->functions.size, 6u);
}

TEST_F(ProgramTest, The1025thFunctionIsRefused) {
    for (int i = 0; i < Program::kMaxFunctions; ++i) {
        String name;
        name.appendFormat("f%d", i % 10);
        // Ten names, each with overloads told apart by their parameter count.
        std::vector<int> parameters(unsigned(i / 10), kIntTypeId);
        ASSERT_EQ(program->addFunction(signatureOf(parameters), name), i);
    }
    Exception e = thrownBy([&] { program->addFunction(signatureOf({kBoolTypeId}), "last"); });
    EXPECT_EQ(text(e.message), "Too many functions");
    EXPECT_EQ(e.line, 56);
    EXPECT_EQ(program->findFunctionRow("last"), -1);
    // Every entry of the name table still refers to its own record.
    for (unsigned i = 0; i < program->functions.size; ++i)
        ASSERT_EQ(program->functionTable.functions[i], &program->functions[i]);
}

TEST_F(ProgramTest, LookupsPastTheEndAreRefused) {
    program->addFunction(signatureOf({}), "f");
    program->addConstant(intCell(3));
    EXPECT_EQ(program->getConstant(0)->get<int>(), 3);
    for (int bad : {1, -1, 1 << 30}) {
        Exception f = thrownBy([&] { program->getFunction(bad); });
        EXPECT_EQ(text(f.message), "Undefined local function") << bad;
        EXPECT_EQ(text(f.function), "Vantor::Program::getFunction");
        EXPECT_EQ(f.line, 54);
        Exception c = thrownBy([&] { program->getConstant(bad); });
        EXPECT_EQ(text(c.message), "Undefined constant") << bad;
        EXPECT_EQ(text(c.function), "Vantor::Program::getConstant");
        EXPECT_EQ(c.line, 64);
    }
}

TEST_F(ProgramTest, ResolvesCallsToItsOwnRecords) {
    program->addFunction(signatureOf({kObjectTypeId}, kVoidTypeId, 5), "f");
    program->addFunction(signatureOf({kIntTypeId}, kVoidTypeId, 9), "f");
    ArrayList<DSVarPtr> arguments;
    arguments.add(intCell(1));
    bool countMismatch = false, typeMismatch = false;
    Function* chosen = program->resolveCall(0, arguments, countMismatch, typeMismatch);
    ASSERT_EQ(chosen, &program->getFunction(1));
    EXPECT_EQ(chosen->entry, 9);
    arguments[0] = floatCell(1);
    EXPECT_EQ(program->resolveCall(0, arguments, countMismatch, typeMismatch)->entry, 5);
    arguments.add(floatCell(2));
    countMismatch = typeMismatch = false;
    EXPECT_EQ(program->resolveCall(0, arguments, countMismatch, typeMismatch), nullptr);
    EXPECT_TRUE(countMismatch);
    EXPECT_FALSE(typeMismatch);
}

TEST_F(ProgramTest, LineTable) {
    EXPECT_EQ(program->lineOf(0), -1) << "empty table";
    program->setLine(5, 1);
    EXPECT_EQ(linesOf(*program), (std::vector<int>{0, 5}));
    program->setLine(9, 1);
    program->setLine(12, 3);
    EXPECT_EQ(linesOf(*program), (std::vector<int>{0, 9, 9, 12}));
    const struct {
        int position, line;
    } lookups[] = {{10, 3}, {4, 1}, {0, 0}, {9, 1}, {12, 3}, {13, 3}, {-5, 0}};
    for (const auto& l : lookups)
        EXPECT_EQ(program->lineOf(l.position), l.line) << "position " << l.position;

    program->setLine(3, 3);
    EXPECT_EQ(linesOf(*program), (std::vector<int>{0, 9, 9, 12})) << "an entry never moves back";
    program->setLine(20, 2);
    EXPECT_EQ(linesOf(*program), (std::vector<int>{0, 9, 20, 12})) << "an earlier line is raised, not cut";
    program->setLine(30, -1);
    EXPECT_EQ(program->lines.size, 4u) << "a negative line is ignored";

    Program first;
    first.setLine(7, 0);
    EXPECT_EQ(linesOf(first), (std::vector<int>{7}));
}

TEST_F(ProgramTest, ACopyOwnsItsRecordsAndSharesItsConstants) {
    program->addFunction(signatureOf({kIntTypeId}, kVoidTypeId, 4), "f");
    program->addConstant(stringCell("shared"));
    program->code.add(kOpReturn);
    program->valid = true;

    Program copy(*program);
    copy.getFunction(0).entry = 40;
    EXPECT_EQ(program->getFunction(0).entry, 4);
    ArrayList<DSVarPtr> arguments;
    arguments.add(intCell(0));
    bool countMismatch = false, typeMismatch = false;
    EXPECT_EQ(copy.resolveCall(0, arguments, countMismatch, typeMismatch), &copy.getFunction(0));
    EXPECT_EQ(copy.getConstant(0), program->getConstant(0)) << "constants are cell references";
    EXPECT_TRUE(copy.valid);
    EXPECT_EQ(copy.code.size, 1u);

    // The copy keeps growing on its own records.
    for (int i = 1; i < 20; ++i) {
        String name;
        name.appendFormat("g%d", i);
        copy.addFunction(signatureOf({}), name);
    }
    for (unsigned i = 0; i < copy.functions.size; ++i)
        ASSERT_EQ(copy.functionTable.functions[i], &copy.functions[i]);
    EXPECT_EQ(program->functions.size, 1u);

    Program assigned;
    assigned = copy;
    EXPECT_EQ(assigned.resolveCall(0, arguments, countMismatch, typeMismatch), &assigned.getFunction(0));
}

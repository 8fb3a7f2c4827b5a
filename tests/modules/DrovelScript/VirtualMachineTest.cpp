// The virtual machine, mostly on hand-assembled programs: frames,
// temporaries, calls and argument passing by reference, type checks, every
// runtime error with its line prefix, main's arguments, the machine pool
// through Program::run, the instruction budget and the shader dialect's
// functions. Then the speed paths: operators computed by the machine against
// their functors on random operands, result cells reused only when nothing
// else sees them, remembered calls that follow changing argument types, and
// compiled programs whose second run takes nothing from the general heap.
#include "modules/DrovelScript/VirtualMachine.h"

#include "DrovelTestSupport.h"
#include "modules/DrovelScript/DSCompiler.h"
#include "modules/DrovelScript/ShaderDialect.h"
#include "modules/DrovelScript/StandardDialect.h"
#include "modules/DrovelScript/VMManager.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/gui/Console.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VANTOR_TEST_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOR_TEST_UNDER_SANITIZER 1
#endif
#endif

#ifndef VANTOR_TEST_UNDER_SANITIZER
// Counts the general-heap allocations made while counting is switched on.
namespace {
std::atomic<bool> countingAllocations{false};
std::atomic<long> allocationCount{0};

void* countedAllocation(std::size_t n) {
    if (countingAllocations.load(std::memory_order_relaxed))
        allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t n) { return countedAllocation(n); }
void* operator new[](std::size_t n) { return countedAllocation(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

using namespace Vantor;
using namespace Vantor::test;

namespace {

constexpr int C = kElementConstant;
constexpr int V = kElementVariable;
constexpr int R = kElementReturnRegister;
constexpr int T = kElementTemporary;
const char* const vmFile = "source\\modules\\DrovelScript\\VirtualMachine";

// A program assembled word by word.
class Code {
public:
    Program program;

    explicit Code(bool statementMode = true, Dialect* dialect = StandardDialect::getInstance()) {
        program.dialect = dialect;
        program.statementMode = statementMode;
        program.valid = true;
    }

    Code& operator()(std::initializer_list<int> words) {
        for (int w : words)
            program.code.add(w);
        return *this;
    }
    int here() const { return int(program.code.size); }
    void patch(int at, int value) { program.code[unsigned(at)] = value; }
    int constant(const DSVarPtr& cell) { return program.addConstant(cell); }
    DSVarPtr& constantCell(int k) { return program.getConstant(k); }
    // A script function of the program whose body starts at the next word.
    int function(const char* name, std::initializer_list<int> parameters, int result = kVoidTypeId) {
        Function f;
        for (int p : parameters)
            f.parameterTypes.add(p);
        f.returnType = result;
        f.entry = here();
        program.addFunction(f, name);
        return program.findFunctionRow(name);
    }
};

int row(const char* name, Dialect* dialect = StandardDialect::getInstance()) {
    return dialect->findFunctionRow(name);
}

class VirtualMachineTest : public DrovelTest {
protected:
    void SetUp() override {
        StandardDialect::getInstance();
        Console::getInstance()->clear();
        machine = std::make_unique<VirtualMachine>();
    }
    void TearDown() override {
        machine.reset();
        DrovelTest::TearDown();
    }

    void run(Code& code, ArrayList<DSVarPtr>* arguments = nullptr) { machine->execute(code.program, arguments); }
    // The message of the error the run ends with.
    std::string failure(Code& code, ArrayList<DSVarPtr>* arguments = nullptr) {
        return text(thrownBy([&] { run(code, arguments); }).message);
    }
    static std::string console() { return text(Console::getInstance()->text); }

    // Compiles against the standard dialect; fails the test on a compile error.
    void compile(Program& program, const char* source, bool statementMode = false) {
        try {
            Compiler::getInstance()->compile(source, *StandardDialect::getInstance(), program, statementMode);
        } catch (const Exception& e) {
            ADD_FAILURE() << text(e.message);
        }
    }

    std::unique_ptr<VirtualMachine> machine;
};

std::string runtimeError(int line, const std::string& message) {
    return "DrovelVM Runtime error at line " + std::to_string(line) + ":\n" + message;
}

} // namespace

TEST_F(VirtualMachineTest, RunsTheWorkedExamples) {
    // int x = 1 + 2; then if (x < 3) y = 1; else y = 7 with x = 3, printing both.
    Code code;
    const int one = code.constant(intCell(1)), two = code.constant(intCell(2));
    code({kOpDeclare, kIntTypeId, kOpBinary, kOperatorPlus, T, 0, C, one, C, two, kOpLoad, V, 0, T, 0});
    const int three = code.constant(intCell(3)), seven = code.constant(intCell(7));
    code({kOpDeclare, kIntTypeId, kOpBinary, kOperatorLess, T, 1, V, 0, C, three, kOpJumpIfFalse, T, 1, 0});
    const int elseTarget = code.here() - 1;
    code({kOpLoad, V, 1, C, one, kOpJump, 0});
    const int endTarget = code.here() - 1;
    code.patch(elseTarget, code.here());
    code({kOpLoad, V, 1, C, seven});
    code.patch(endTarget, code.here());
    code({kOpPushArg, V, 0, kOpCall, kNoFunctionRow, row("print"), kOpPushArg, V, 1, kOpCall, kNoFunctionRow,
          row("print"), kOpReturn});
    run(code);
    EXPECT_EQ(console(), "37");
    EXPECT_EQ(code.constantCell(one)->get<int>(), 1) << "operators leave their operands alone";
}

TEST_F(VirtualMachineTest, ArgumentsArePassedByReference) {
    // void f(int a) { a = 5; } called with a variable, then with a constant.
    Code code;
    const int five = code.constant(intCell(5)), zero = code.constant(intCell(0)), nine = code.constant(intCell(9));
    code({kOpDeclare, kIntTypeId, kOpLoad, V, 0, C, zero, kOpPushArg, V, 0, kOpCall, 0, -1, kOpPushArg, C, nine,
          kOpCall, 0, -1, kOpPushArg, V, 0, kOpCall, kNoFunctionRow, row("print"), kOpReturn});
    code.function("f", {kIntTypeId});
    code({kOpLoad, V, 0, C, five, kOpReturn});
    run(code);
    EXPECT_EQ(console(), "5");
    EXPECT_EQ(code.constantCell(nine)->get<int>(), 5) << "a constant passed in is the cell the callee writes";

    // A parameter declared object is the caller's cell and keeps its type.
    Code typed;
    const int half = typed.constant(floatCell(0.5f)), x = typed.constant(intCell(1));
    typed({kOpPushArg, C, x, kOpCall, 0, -1, kOpReturn});
    typed.function("g", {kObjectTypeId});
    typed({kOpLoad, V, 0, C, half, kOpReturn});
    EXPECT_EQ(failure(typed), runtimeError(-1, "Failed type check on load"));
}

TEST_F(VirtualMachineTest, AReturnedCellOutlivesTheCalleesFrame) {
    // int twice(int a) { int r = a + a; return r; }   print(twice(21)); print(twice(4));
    Code code;
    const int arg = code.constant(intCell(21)), other = code.constant(intCell(4));
    for (int k : {arg, other})
        code({kOpPushArg, C, k, kOpCall, 0, -1, kOpLoadref, T, 0, R, kOpPushArg, T, 0, kOpCall, kNoFunctionRow,
              row("print")});
    code({kOpReturn});
    code.function("twice", {kIntTypeId}, kIntTypeId);
    code({kOpDeclare, kIntTypeId, kOpBinary, kOperatorPlus, T, 1, V, 0, V, 0, kOpLoad, V, 1, T, 1, kOpReturnValue,
          V, 1, kOpReturn});
    run(code);
    EXPECT_EQ(console(), "428");
}

TEST_F(VirtualMachineTest, ResolvesCallsInTheProgramThenTheDialect) {
    // The program's own print(int) wins for an int; a Vector goes on to the
    // dialect's print(object).
    Code code;
    const int n = code.constant(intCell(3)), v = code.constant(vectorCell(1, 2, 3, 1)), mark = code.constant(stringCell("<int>"));
    const int printRow = row("print");
    code({kOpPushArg, C, n, kOpCall, 0, printRow, kOpPushArg, C, v, kOpCall, 0, printRow, kOpReturn});
    code.function("print", {kIntTypeId});
    code({kOpPushArg, C, mark, kOpCall, kNoFunctionRow, printRow, kOpReturn});
    run(code);
    EXPECT_EQ(console(), "<int>(1,2,3,1)");
}

TEST_F(VirtualMachineTest, CallErrorsNameWhatDidNotMatch) {
    const int fRow = 0; // f(int), the program's only function
    const struct {
        std::vector<DSVarPtr> arguments;
        int programRow, dialectRow;
        const char* details;
    } cases[] = {
        {{floatCell(1)}, fRow, kNoFunctionRow, "  Function Types don't match\n"},
        {{intCell(1), intCell(2)}, fRow, kNoFunctionRow, "  Wrong number of parameters\n"},
        // Flags gather over both lookups: f(int) fails on the type, length(Vector) on the count.
        {{floatCell(1), intCell(2)}, fRow, row("length"), "  Wrong number of parameters\n"},
        {{floatCell(1)}, fRow, row("length"), "  Function Types don't match\n"},
        {{intCell(1), intCell(2)}, kNoFunctionRow, row("dot"), "  Function Types don't match\n"},
        {{vectorCell(0, 0, 0, 1)}, fRow, row("dot"),
         "  Function Types don't match\n  Wrong number of parameters\n"},
        {{}, kNoFunctionRow, kNoFunctionRow, "  Function not found"},
        {{}, 57, 4000, "  Function not found"},
    };
    for (const auto& c : cases) {
        Code code;
        code.function("f", {kIntTypeId});
        code({kOpReturn});
        const int start = code.here();
        for (const DSVarPtr& a : c.arguments)
            code({kOpPushArg, C, code.constant(a)});
        code({kOpCall, c.programRow, c.dialectRow, kOpReturn});
        code.program.start = start;
        Exception e = thrownBy([&] { run(code); });
        EXPECT_EQ(text(e.message), runtimeError(-1, std::string("Function call error.\n") + c.details));
        EXPECT_EQ(text(e.function), "Vantor::VirtualMachine::callFunction");
        EXPECT_EQ(text(e.file), vmFile);
        EXPECT_EQ(e.line, 313);
    }
}

TEST_F(VirtualMachineTest, MalformedCodeEndsInItsOneError) {
    const int printRow = row("print");
    const struct {
        std::vector<int> words;
        const char* message;
        const char* function;
        int line;
    } cases[] = {
        {{99}, "Error reading instruction ", "Vantor::VirtualMachine::readInstruction", 264},
        {{-1}, "Error reading instruction ", "Vantor::VirtualMachine::readInstruction", 264},
        {{kOpPushArg, 7, 0}, "Error reading element", "Vantor::VirtualMachine::readElement", 174},
        {{kOpPushArg, V, 0}, "Variable ref doesn't exist", "Vantor::Scope::getVariable", 36},
        {{kOpPushArg, V, -1}, "Variable ref doesn't exist", "Vantor::Scope::getVariable", 36},
        {{kOpPushArg, C, 0}, "Undefined constant", "Vantor::Program::getConstant", 64},
        {{kOpPushArg, T, 64}, "Too many temporaries used", "Vantor::Scope::getTemp", 71},
        {{kOpPushArg, T, -1}, "Too many temporaries used", "Vantor::Scope::getTemp", 71},
        {{kOpJump, 500}, "Unexpected end of program", "Vantor::VirtualMachine::setPC", 140},
        {{kOpJump, -3}, "Unexpected end of program", "Vantor::VirtualMachine::setPC", 140},
        {{kOpJump}, "Unexpected end of program", "Vantor::VirtualMachine::getNext", 143},
        {{kOpBinary, kOperatorPlus, T, 0}, "Unexpected end of program", "Vantor::VirtualMachine::getNext", 143},
        {{kOpDeclare, kIntTypeId}, "Unexpected end of program", "Vantor::VirtualMachine::getNext", 143},
        {{kOpDeclare, 10, kOpReturn}, "Invalid typeID", "Vantor::Dialect::getType", 187},
        {{kOpDeclareArray, 99, T, 0, kOpReturn}, "Subscript in array declaration must be of integer type",
         "Vantor::Scope::createArray", 57},
        {{kOpUnary, kOperatorNot, T, 0, T, 1, kOpReturn}, "Operator not found", "Vantor::VirtualMachine::doOperator",
         138},
        {{kOpBinary, 39, T, 0, T, 1, T, 2, kOpReturn}, "Operator not found", "Vantor::VirtualMachine::doOperator",
         124},
        {{kOpBinary, 1000, T, 0, T, 1, T, 2, kOpReturn}, "Operator not found",
         "Vantor::VirtualMachine::doOperator", 124},
        {{kOpCall, 0, printRow}, "Function call error.\n  Wrong number of parameters\n",
         "Vantor::VirtualMachine::callFunction", 313},
    };
    for (const auto& c : cases) {
        Code code;
        for (int w : c.words)
            code({w});
        Exception e = thrownBy([&] { run(code); });
        EXPECT_EQ(text(e.message), runtimeError(-1, c.message)) << c.message;
        EXPECT_EQ(text(e.function), c.function) << c.message;
        EXPECT_EQ(e.line, c.line) << c.message;
        // The machine is clean again and runs the next program normally.
        Code fine;
        fine({kOpReturn});
        run(fine);
    }
}

TEST_F(VirtualMachineTest, TypeChecksOfLoadAndLoadref) {
    // int x; x = 1.5 fails; an Array's fresh elements take any first value.
    Code intGetsFloat;
    intGetsFloat({kOpDeclare, kIntTypeId, kOpLoad, V, 0, C, intGetsFloat.constant(floatCell(1.5f)), kOpReturn});
    EXPECT_EQ(failure(intGetsFloat), runtimeError(-1, "Failed type check on load"));

    Code elements;
    const int three = elements.constant(intCell(3)), zero = elements.constant(intCell(0));
    const int f = elements.constant(floatCell(2.5f)), i = elements.constant(intCell(4));
    elements({kOpDeclare, kArrayTypeId, kOpPushArg, V, 0, kOpPushArg, C, three, kOpCall, kNoFunctionRow,
              row("resize"), kOpElement, T, 0, V, 0, C, zero, kOpLoad, T, 0, C, f, kOpPushArg, T, 0, kOpCall,
              kNoFunctionRow, row("print")});
    const int failing = elements.here();
    elements({kOpLoad, T, 0, C, i, kOpReturn});
    elements.program.setLine(failing - 1, 1);
    elements.program.setLine(elements.here(), 2);
    EXPECT_EQ(failure(elements), runtimeError(2, "Failed type check on load"));
    EXPECT_EQ(console(), "2.5");

    // A temporary that refers to an int cannot be made to refer to a float.
    Code loadref;
    loadref({kOpLoadref, T, 0, C, loadref.constant(intCell(1)), kOpLoadref, T, 0, C, loadref.constant(intCell(2)),
             kOpLoadref, T, 0, C, loadref.constant(floatCell(3)), kOpReturn});
    Exception e = thrownBy([&] { run(loadref); });
    EXPECT_EQ(text(e.message), runtimeError(-1, "Failed type check on loadref"));
    EXPECT_EQ(e.line, 203);
}

TEST_F(VirtualMachineTest, Arrays) {
    // int a[0]; a[0] fails. int b[2]: elements are ints; a copy (load) is deep.
    Code empty;
    const int zero = empty.constant(intCell(0));
    empty({kOpDeclareArray, kIntTypeId, C, zero, kOpPushArg, V, 0, kOpCall, kNoFunctionRow, row("size"),
           kOpLoadref, T, 0, R, kOpPushArg, T, 0, kOpCall, kNoFunctionRow, row("print"), kOpElement, T, 1, V, 0, C,
           zero, kOpReturn});
    Exception e = thrownBy([&] { run(empty); });
    EXPECT_EQ(text(e.message), runtimeError(-1, "Array index out of bounds"));
    EXPECT_EQ(text(e.function), "Vantor::DSArray::getElement");
    EXPECT_EQ(console(), "0");

    Console::getInstance()->clear();
    Code copy;
    const int two = copy.constant(intCell(2)), one = copy.constant(intCell(1)), seven = copy.constant(intCell(7));
    const int negative = copy.constant(intCell(-4)), zeroIndex = copy.constant(intCell(0));
    copy({kOpDeclareArray, kIntTypeId, C, two,       // int b[2]
          kOpDeclare, kArrayTypeId,                  // Array c
          kOpElement, T, 0, V, 0, C, one,            // b[1] = 7
          kOpLoad, T, 0, C, seven,                   //
          kOpLoad, V, 1, V, 0,                       // c = b
          kOpElement, T, 1, V, 1, C, one,            // c[1] = 1
          kOpLoad, T, 1, C, one,                     //
          kOpElement, T, 2, V, 0, C, one,            // print(b[1]), print(c[1])
          kOpPushArg, T, 2, kOpCall, kNoFunctionRow, row("print"), kOpPushArg, T, 1, kOpCall, kNoFunctionRow,
          row("print"), kOpDeclareArray, kFloatTypeId, C, negative, // float d[-4] is empty
          kOpPushArg, V, 2, kOpCall, kNoFunctionRow, row("size"), kOpLoadref, T, 3, R, kOpPushArg, T, 3, kOpCall,
          kNoFunctionRow, row("print"), kOpElement, T, 4, V, 0, C, zeroIndex, kOpReturn});
    run(copy);
    EXPECT_EQ(console(), "710");
}

TEST_F(VirtualMachineTest, TheDeepestChainIsMainAnd2047Calls) {
    // void f(int n) { if (n == 0) return; f(n - 1); } called from main with n.
    // Both results go to one temporary, so that a frame holds a single cell
    // and the chain does not use up the cell pool first.
    auto recursion = [](int depth) {
        auto code = std::make_unique<Code>(false);
        const int n = code->constant(intCell(depth)), zero = code->constant(intCell(0));
        const int one = code->constant(intCell(1));
        code->function("f", {kIntTypeId});
        code->program.getFunction(0).entry = 7;
        code->function("main", {kArrayTypeId});
        code->program.start = 0;
        (*code)({kOpPushArg, C, n, kOpCall, 0, -1, kOpReturn,                                   // main
                 kOpBinary, kOperatorEqual, T, 0, V, 0, C, zero, kOpJumpIfFalse, T, 0, 20, kOpReturn, // f
                 kOpBinary, kOperatorMinus, T, 0, V, 0, C, one, kOpPushArg, T, 0, kOpCall, 0, -1, kOpReturn});
        return code;
    };
    auto deepest = recursion(ProgramStack::kMaxFrames - 2);
    run(*deepest);
    auto tooDeep = recursion(ProgramStack::kMaxFrames - 1);
    Exception e = thrownBy([&] { run(*tooDeep); });
    EXPECT_EQ(text(e.message), runtimeError(-1, "Stack overflow"));
    EXPECT_EQ(text(e.function), "Vantor::ProgramStack::push");
    EXPECT_EQ(e.line, 99);
    // Every frame was released; the machine runs the deepest chain again.
    run(*deepest);
}

TEST_F(VirtualMachineTest, The65thTemporaryFails) {
    Code code;
    const int k = code.constant(intCell(1));
    for (int t = 0; t < Scope::kTemporaryCount; ++t)
        code({kOpUnary, kOperatorNegate, T, t, C, k});
    code({kOpReturn});
    run(code);
    code.program.code.resize(code.program.code.size - 1);
    code({kOpUnary, kOperatorNegate, T, Scope::kTemporaryCount, C, k, kOpReturn});
    EXPECT_EQ(failure(code), runtimeError(-1, "Too many temporaries used"));
}

// A cell of no value bytes ("object") whose storage still holds an earlier value's bytes.
DSVarPtr staleObjectCell() {
    DSVarPtr cell = newVariable();
    cell->storage[0] = 1;
    cell->storage[1] = 1;
    return cell;
}

TEST_F(VirtualMachineTest, ConditionsReadTheFirstValueByte) {
    // Only the first byte counts: the int 256 reads as false, 1 as true. A
    // cell without value bytes reads as false, whatever its storage holds.
    const struct {
        DSVarPtr condition;
        const char* printed;
    } cases[] = {
        {boolCell(true), "then"}, {boolCell(false), "else"}, {intCell(256), "else"},
        {intCell(1), "then"},     {floatCell(0.0f), "else"}, {staleObjectCell(), "else"},
    };
    for (const auto& c : cases) {
        Console::getInstance()->clear();
        Code code;
        const int cond = code.constant(c.condition);
        const int thenText = code.constant(stringCell("then")), elseText = code.constant(stringCell("else"));
        code({kOpJumpIfFalse, C, cond, 11, kOpPushArg, C, thenText, kOpCall, kNoFunctionRow, row("print"),
              kOpReturn, kOpPushArg, C, elseText, kOpCall, kNoFunctionRow, row("print"), kOpReturn});
        run(code);
        EXPECT_EQ(console(), c.printed);
    }

    // An index is read from the bytes its cell has: none reads as 0, a bool as 0 or 1.
    Console::getInstance()->clear();
    Code index;
    const int two = index.constant(intCell(2)), seven = index.constant(intCell(7));
    const int stale = index.constant(staleObjectCell()), yes = index.constant(boolCell(true));
    index({kOpDeclareArray, kIntTypeId, C, two, kOpElement, T, 0, V, 0, C, yes, kOpLoad, T, 0, C, seven,
           kOpElement, T, 1, V, 0, C, stale, kOpElement, T, 2, V, 0, C, yes, kOpPushArg, T, 1, kOpCall,
           kNoFunctionRow, row("print"), kOpPushArg, T, 2, kOpCall, kNoFunctionRow, row("print"), kOpReturn});
    run(index);
    EXPECT_EQ(console(), "07");
}

TEST_F(VirtualMachineTest, RunningOffTheEndAndMixedArithmeticFail) {
    Code noReturn;
    noReturn({kOpDeclare, kIntTypeId});
    noReturn.program.setLine(0, 1);
    noReturn.program.setLine(2, 4);
    EXPECT_EQ(failure(noReturn), runtimeError(4, "Unexpected end of program"));

    Code mixed;
    mixed({kOpBinary, kOperatorPlus, T, 0, C, mixed.constant(intCell(1)), C, mixed.constant(floatCell(2)), kOpReturn});
    mixed.program.setLine(10, 3);
    EXPECT_EQ(failure(mixed), runtimeError(3, "Operator not found"));

    Code divide;
    divide({kOpBinary, kOperatorDivide, T, 0, C, divide.constant(intCell(1)), C, divide.constant(intCell(0)),
            kOpReturn});
    EXPECT_EQ(failure(divide), runtimeError(-1, "Integer division by zero"));

    Code invalid;
    invalid({kOpReturn});
    invalid.program.valid = false;
    Exception e = thrownBy([&] { run(invalid); });
    EXPECT_EQ(text(e.message), "The program is not valid") << "refused before it runs: no line prefix";
    EXPECT_EQ(text(e.function), "Vantor::VirtualMachine::execute");
    EXPECT_EQ(e.line, 29);
}

TEST_F(VirtualMachineTest, MainGetsCopiesOfItsArgumentsAndKeepsTheArrayWithout) {
    // void main(Array args) { print(size(args)); print(args[0]); args[0] = "changed"; }
    Code code(false);
    code.function("main", {kArrayTypeId});
    const int zero = code.constant(intCell(0)), changed = code.constant(stringCell("changed"));
    const int printRow = row("print");
    code({kOpPushArg, V, 0, kOpCall, kNoFunctionRow, row("size"), kOpLoadref, T, 0, R, kOpPushArg, T, 0, kOpCall,
          kNoFunctionRow, printRow, kOpElement, T, 1, V, 0, C, zero, kOpPushArg, T, 1, kOpCall, kNoFunctionRow,
          printRow, kOpLoad, T, 1, C, changed, kOpReturn});
    ArrayList<DSVarPtr> arguments;
    arguments.add(stringCell("first"));
    arguments.add(intCell(2));
    run(code, &arguments);
    EXPECT_EQ(console(), "2first");
    EXPECT_EQ(text(*DSString::getString(*arguments[0])), "first") << "main works on copies";
    run(code);
    EXPECT_EQ(console(), "2first2changed") << "without arguments the array is the one the last run left";
    ArrayList<DSVarPtr> none;
    EXPECT_EQ(failure(code, &none), runtimeError(-1, "Array index out of bounds"));
    EXPECT_EQ(console(), "2first2changed0");
}

TEST_F(VirtualMachineTest, ARunReleasesEveryCellButMainsArray) {
    Code code(false);
    code.function("main", {kArrayTypeId});
    const int letter = code.constant(stringCell("x")), n = code.constant(intCell(5));
    code({kOpDeclareArray, kStringTypeId, C, n, kOpDeclare, kMatrixTypeId, kOpLoadref, T, 3, C, letter, kOpPushArg,
          V, 2, kOpCall, kNoFunctionRow, row("transpose"), kOpLoadref, T, 60, R, kOpReturn});
    DSMemManager* memory = DSMemManager::getInstance();
    const int before = memory->freeCellCount();
    ArrayList<DSVarPtr> arguments;
    arguments.add(intCell(1));
    run(code, &arguments);
    EXPECT_EQ(memory->freeCellCount(), before - 3) << "the argument, main's array and its element";
    code.program.code[code.program.code.size - 1] = kOpJump; // runs off the end
    failure(code, &arguments);
    EXPECT_EQ(memory->freeCellCount(), before - 3);
}

TEST_F(VirtualMachineTest, TheBudgetStopsAnEndlessLoop) {
    Code code;
    code({kOpJump, 0});
    machine->instructionBudget = 1000;
    Exception e = thrownBy([&] { run(code); });
    EXPECT_EQ(text(e.message), runtimeError(-1, "Instruction budget exhausted"));
    EXPECT_EQ(text(e.function), "Vantor::VirtualMachine::execute");

    Code exact;
    for (int i = 0; i < 999; ++i)
        exact({kOpJump, 2 * (i + 1)});
    exact({kOpReturn});
    run(exact);
}

TEST_F(VirtualMachineTest, TheBudgetCountsEveryInstructionOfAPairRunInOneStep) {
    // The loop's tests and sums run as operator-and-jump and operator-and-load
    // pairs: 4 words of set-up, 7 instructions per pass, the failing test and
    // its jump, the print's push and call, and the return.
    Program loop;
    compile(loop, "int s = 0;\nint i = 0;\nwhile (i < 3) {\n    s = s + i;\n    i = i + 1;\n}\nprint(s);\n", true);
    const unsigned long long needed = 4 + 7 * 3 + 2 + 2 + 1;
    for (unsigned long long budget : {needed - 7, needed - 4, needed - 1}) {
        machine->instructionBudget = budget;
        EXPECT_NE(text(thrownBy([&] { machine->execute(loop); }).message).find("Instruction budget exhausted"),
                  std::string::npos)
            << budget;
    }
    machine->instructionBudget = needed;
    Console::getInstance()->clear();
    machine->execute(loop);
    EXPECT_EQ(console(), "3");
}

TEST_F(VirtualMachineTest, ChangedCodeIsDecodedAfreshAndSparesCountAsFreeCells) {
    Code code;
    const int first = code.constant(stringCell("a")), second = code.constant(stringCell("b"));
    code({kOpPushArg, C, first, kOpCall, kNoFunctionRow, row("print"), kOpReturn});
    run(code);
    code.patch(2, second);
    run(code);
    EXPECT_EQ(console(), "ab");

    // A deep recursion leaves spare cells with the machine; an array that
    // takes every cell left in the pool still gets them.
    auto fits = [&](bool deep, int size) {
        const std::string source = "void down(int n) { int k = n * 2; if (n > 0) down(n - 1); }\n"
                                   "void main(Array args) { " +
                                   std::string(deep ? "down(40); " : "down(0); ") + "int a[" + std::to_string(size) +
                                   "]; }\n";
        Program program;
        compile(program, source.c_str());
        try {
            machine->execute(program);
            return true;
        } catch (const Exception&) {
            return false;
        }
    };
    int low = 0, high = DSMemManager::kCellCount;
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        (fits(false, middle) ? low : high) = middle;
    }
    EXPECT_TRUE(fits(true, low));
    EXPECT_FALSE(fits(true, low + 1));
}

TEST_F(VirtualMachineTest, ProgramRunGivesTheMachineBackAlsoWhenTheRunFails) {
    VMManager* pool = VMManager::getInstance();
    ASSERT_EQ(pool->freeCount(), VMManager::kMachineCount);
    Code failing;
    failing({kOpJump, 40});
    for (int i = 0; i <= VMManager::kMachineCount; ++i) {
        Exception e = thrownBy([&] { failing.program.run(); });
        EXPECT_EQ(text(e.message), runtimeError(-1, "Unexpected end of program")) << "run " << i;
        EXPECT_EQ(pool->freeCount(), VMManager::kMachineCount);
    }
    Code fine;
    fine({kOpPushArg, C, fine.constant(stringCell("ok")), kOpCall, kNoFunctionRow, row("print"), kOpReturn});
    fine.program.run();
    EXPECT_EQ(console(), "ok");
    EXPECT_EQ(pool->freeCount(), VMManager::kMachineCount);

    Code invalid;
    invalid.program.valid = false;
    EXPECT_EQ(text(thrownBy([&] { invalid.program.run(); }).message), "The program is not valid");
    EXPECT_EQ(pool->freeCount(), VMManager::kMachineCount);
}

TEST_F(VirtualMachineTest, ShaderDialectReadsAndWritesTheParameterDatabase) {
    ShaderDialect* shader = ShaderDialect::getInstance();
    Dialect* standard = StandardDialect::getInstance();
    ASSERT_EQ(shader->types.size, standard->types.size);
    EXPECT_EQ(shader->findFunctionRow("print"), standard->findFunctionRow("print"));
    EXPECT_EQ(standard->findFunctionRow("setFloatParam"), -1) << "the standard dialect stays as it was";
    EXPECT_EQ(shader->functors.size, standard->functors.size + 8);

    // setFloatParam("vmTestFloat", 2.5); print(getFloatParam("vmTestFloat"));
    // setMatrixParam("vmTestMatrix", getProjection()); setVectorParam(...).
    Code code(true, shader);
    const int name = code.constant(stringCell("vmTestFloat")), value = code.constant(floatCell(2.5f));
    const int matrixName = code.constant(stringCell("vmTestMatrix"));
    const int vectorName = code.constant(stringCell("vmTestVector")), vector = code.constant(vectorCell(1, 2, 3, 4));
    const int printRow = row("print", shader);
    code({kOpPushArg, C, name, kOpPushArg, C, value, kOpCall, -1, row("setFloatParam", shader), kOpPushArg, C, name,
          kOpCall, -1, row("getFloatParam", shader), kOpLoadref, T, 0, R, kOpPushArg, T, 0, kOpCall, -1, printRow,
          kOpCall, -1, row("getProjection", shader), kOpLoadref, T, 1, R, kOpPushArg, C, matrixName, kOpPushArg, T,
          1, kOpCall, -1, row("setMatrixParam", shader), kOpPushArg, C, vectorName, kOpPushArg, C, vector, kOpCall,
          -1, row("setVectorParam", shader), kOpPushArg, C, vectorName, kOpCall, -1, row("getVectorParam", shader),
          kOpLoadref, T, 2, R, kOpPushArg, T, 2, kOpCall, -1, printRow, kOpCall, -1, row("getModelview", shader),
          kOpLoadref, T, 3, R, kOpPushArg, T, 3, kOpCall, -1, printRow, kOpReturn});
    run(code);
    EXPECT_EQ(console(), "2.5(1,2,3,4)Matrix4 placeholder");
    ParamDatabase* database = ParamDatabase::getInstance();
    EXPECT_FLOAT_EQ(database->floats.getValue("vmTestFloat").value, 2.5f);
    const TMatrix4<float> projection = database->matrices.getValue("vmTestMatrix").value;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(projection.m[i], i % 5 == 0 ? 1.0f : 0.0f) << "without a GL context: the identity";

    const struct {
        const char* function;
        std::vector<DSVarPtr> arguments;
        const char* message;
    } failures[] = {
        {"getVectorParam", {stringCell("vmTestNobodySetThis")}, "ParamList entry not found"},
        {"getFloatParam", {stringCell("vmTestMatrix")}, "ParamList entry not found"},
        {"setMatrixParam", {stringCell("vmTestMatrix"), vectorCell(0, 0, 0, 1)},
         "Function call error.\n  Function Types don't match\n"},
        {"getModelview", {intCell(1)}, "Function call error.\n  Wrong number of parameters\n"},
    };
    for (const auto& f : failures) {
        Code call(true, shader);
        for (const DSVarPtr& a : f.arguments)
            call({kOpPushArg, C, call.constant(a)});
        call({kOpCall, -1, row(f.function, shader), kOpReturn});
        EXPECT_EQ(failure(call), runtimeError(-1, f.message)) << f.function;
    }
}

TEST_F(VirtualMachineTest, ASecondRunTakesNothingFromTheHeap) {
#ifdef VANTOR_TEST_UNDER_SANITIZER
    GTEST_SKIP() << "the sanitizer owns operator new";
#else
    if (DSMemManager::plainMemory())
        GTEST_SKIP() << "plain memory takes every cell from the heap";
    // i = 0; f = 0.0; Vector v; while (i < 100) { i = i + 1; f = f + 0.5; v = v + w; -(0.5 * v); g(i); }
    // out = f; with int g(int a) { int r = a; return r; }
    Code code;
    const int zero = code.constant(intCell(0)), fzero = code.constant(floatCell(0)), limit = code.constant(intCell(100));
    const int one = code.constant(intCell(1)), half = code.constant(floatCell(0.5f));
    const int w = code.constant(vectorCell(1, 2, 3, 0));
    code({kOpDeclare, kIntTypeId, kOpLoad, V, 0, C, zero, kOpDeclare, kFloatTypeId, kOpLoad, V, 1, C, fzero,
          kOpDeclare, kVectorTypeId});
    const int loop = code.here();
    code({kOpBinary, kOperatorLess, T, 0, V, 0, C, limit, kOpJumpIfFalse, T, 0, 0});
    const int exit = code.here() - 1;
    code({kOpBinary, kOperatorPlus, T, 1, V, 0, C, one, kOpLoad, V, 0, T, 1, kOpBinary, kOperatorPlus, T, 2, V, 1,
          C, half, kOpLoad, V, 1, T, 2, kOpBinary, kOperatorPlus, T, 3, V, 2, C, w, kOpLoad, V, 2, T, 3,
          kOpBinary, kOperatorTimes, T, 4, C, half, V, 2, kOpUnary, kOperatorNegate, T, 5, T, 4, kOpPushArg, V, 0,
          kOpCall, 0, -1, kOpLoadref, T, 6, R, kOpJump, loop});
    code.patch(exit, code.here());
    const int out = code.constant(newVariable());
    code({kOpLoad, C, out, V, 1, kOpReturn});
    code.function("g", {kIntTypeId}, kIntTypeId);
    code({kOpDeclare, kIntTypeId, kOpLoad, V, 1, V, 0, kOpReturnValue, V, 1, kOpReturn});
    run(code);
    allocationCount = 0;
    countingAllocations = true;
    run(code);
    countingAllocations = false;
    EXPECT_EQ(allocationCount.load(), 0);
    EXPECT_EQ(code.constantCell(out)->get<float>(), 50.0f);
#endif
}

TEST_F(VirtualMachineTest, OperatorsTheMachineComputesMatchTheirFunctors) {
    // Every operator on int, float, bool and Vector, on seeded random
    // operands, against the functor's own result. Each program applies the
    // operator twice into one temporary, so that the second result goes into
    // the first one's cell.
    StandardDialect* dialect = StandardDialect::getInstance();
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> anyInt(INT_MIN, INT_MAX);
    std::uniform_int_distribution<int> smallInt(-3, 3);
    std::uniform_real_distribution<float> anyFloat(-100.0f, 100.0f);
    auto operand = [&](int type) -> DSVarPtr {
        switch (type) {
        case kIntTypeId: return intCell(random() % 4 == 0 ? smallInt(random) : anyInt(random));
        case kFloatTypeId: return floatCell(random() % 4 == 0 ? float(smallInt(random)) : anyFloat(random));
        case kBoolTypeId: return boolCell(random() % 2 == 0);
        default: return vectorCell(anyFloat(random), anyFloat(random), anyFloat(random), anyFloat(random));
        }
    };
    for (int operatorId = kFirstOperatorId; operatorId < kFirstOperatorId + kOperatorTableCount; ++operatorId) {
        for (DSFunctor* functor : dialect->operators[operatorId - kFirstOperatorId]) {
            const ArrayList<int>& parameters = functor->signature.parameterTypes;
            if (parameters[0] == kMatrixTypeId || (parameters.size > 1 && parameters[1] == kMatrixTypeId))
                continue;
            for (int trial = 0; trial < 100; ++trial) {
                ArrayList<DSVarPtr> arguments;
                for (int type : parameters)
                    arguments.add(operand(type));
                DSVarPtr expected = newVariable();
                bool functorThrew = false;
                try {
                    functor->execute(arguments, *expected);
                } catch (const Exception&) {
                    functorThrew = true;
                }
                Code code;
                const int a = code.constant(arguments[0]);
                const int b = parameters.size > 1 ? code.constant(arguments[1]) : -1;
                const int first = code.constant(newVariable()), second = code.constant(newVariable());
                for (int out : {first, second}) {
                    if (b < 0)
                        code({kOpUnary, operatorId, T, 0, C, a});
                    else
                        code({kOpBinary, operatorId, T, 0, C, a, C, b});
                    code({kOpLoad, C, out, T, 0});
                }
                code({kOpReturn});
                bool machineThrew = false;
                try {
                    run(code);
                } catch (const Exception&) {
                    machineThrew = true;
                }
                ASSERT_EQ(machineThrew, functorThrew) << "operator " << operatorId;
                if (functorThrew)
                    continue;
                for (int out : {first, second}) {
                    const DSVariable& result = *code.constantCell(out);
                    ASSERT_EQ(result.typeId, expected->typeId) << "operator " << operatorId;
                    ASSERT_EQ(result.size, expected->size);
                    EXPECT_EQ(std::memcmp(result.value(), expected->value(), expected->size), 0)
                        << "operator " << operatorId << " on "
                        << text(arguments[0]->type->toString(*arguments[0]));
                }
            }
        }
    }
}

TEST_F(VirtualMachineTest, AResultCellIsReusedOnlyWhenNothingElseRefersToIt) {
    // t0 = a[0]; t0 = 1 + 2 must not write into the element; t1 refers to
    // t0's cell (loadref), so t0 = 3 + 4 must not change what t1 sees.
    Code code;
    const int one = code.constant(intCell(1)), two = code.constant(intCell(2)), three = code.constant(intCell(3));
    const int four = code.constant(intCell(4)), zero = code.constant(intCell(0)), nine = code.constant(intCell(9));
    const int printRow = row("print");
    code({kOpDeclareArray, kIntTypeId, C, one, kOpElement, T, 0, V, 0, C, zero, kOpLoad, T, 0, C, nine,
          kOpBinary, kOperatorPlus, T, 0, C, one, C, two,       // t0 = 3, a new cell
          kOpElement, T, 2, V, 0, C, zero, kOpPushArg, T, 2, kOpCall, -1, printRow,
          kOpLoadref, T, 1, T, 0,                                // t1 and t0 share the cell
          kOpBinary, kOperatorPlus, T, 0, C, three, C, four,   // t0 = 7, again a new cell
          kOpPushArg, T, 1, kOpCall, -1, printRow, kOpPushArg, T, 0, kOpCall, -1, printRow,
          kOpBinary, kOperatorPlus, T, 0, C, one, C, one,       // t0's cell is its own now: reused
          kOpPushArg, T, 0, kOpCall, -1, printRow, kOpReturn});
    run(code);
    EXPECT_EQ(console(), "9372");
}

TEST_F(VirtualMachineTest, ARememberedCallFollowsTheArgumentTypes) {
    Program program;
    compile(program, "void show(int i) { print(\"int \"); print(i); print(\";\"); }\n"
                     "void show(float f) { print(\"float \"); print(f); print(\";\"); }\n"
                     "void show(object o) { print(\"object;\"); }\n"
                     "void main(Array args) {\n"
                     "    Array values;\n"
                     "    resize(values, 5);\n"
                     "    values[0] = 1; values[1] = 2.5; values[2] = \"s\"; values[3] = 4; values[4] = 0.5;\n"
                     "    int i = 0;\n"
                     "    while (i < 5) { show(values[i]); print(size(values) - i); print(\" \"); i = i + 1; }\n"
                     "}\n");
    machine->execute(program);
    EXPECT_EQ(console(), "int 1;5 float 2.5;4 object;3 int 4;2 float 0.5;1 ");
}

TEST_F(VirtualMachineTest, CompiledProgramsRunTheirEdgeCases) {
    // More than 64 temporaries compile, but the 65th fails when it runs.
    std::string many = "int x = 0;\n";
    for (int i = 0; i <= Scope::kTemporaryCount; ++i)
        many += "x = x + 1;\n";
    Program temporaries;
    compile(temporaries, many.c_str(), true);
    EXPECT_EQ(text(thrownBy([&] { machine->execute(temporaries); }).message),
              runtimeError(Scope::kTemporaryCount + 2, "Too many temporaries used"));

    // void f(int a) { a = 5; } sets the caller's x; int a[0] is empty.
    Program calls;
    compile(calls, "void f(int a) { a = 5; }\n"
                   "void main(Array args) {\n"
                   "    int x = 1;\n"
                   "    f(x);\n"
                   "    print(x);\n"
                   "    int a[0];\n"
                   "    print(size(a));\n"
                   "    a[0] = 1;\n"
                   "}\n");
    EXPECT_EQ(text(thrownBy([&] { machine->execute(calls); }).message),
              runtimeError(8, "Array index out of bounds"));
    EXPECT_EQ(console(), "50");
}

TEST_F(VirtualMachineTest, CompiledLoopsAndCallsTakeNothingFromTheHeapOnTheirSecondRun) {
#ifdef VANTOR_TEST_UNDER_SANITIZER
    GTEST_SKIP() << "the sanitizer owns operator new";
#else
    if (DSMemManager::plainMemory())
        GTEST_SKIP() << "plain memory takes every cell from the heap";
    const char* const sources[] = {
        "void main(Array args) { int s = 0; int i = 0; while (i < 1000) { s = s + i; i = i + 1; } args = args; }",
        "void main(Array args) { float s = 0.0; float i = 0.0; while (i < 1000.0) { s = s + i; i = i + 1.0; } }",
        "int fib(int n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }\n"
        "void main(Array args) { int r = fib(12); }",
        "void main(Array args) { Vector a = Vector(1.0, 2.0, 3.0, 1.0); Vector v; int i = 0;\n"
        "    Matrix m = Matrix(a, a, a, a);\n"
        "    while (i < 100) { v = v + a * 0.5; v = v - a * 0.25; v = m * v; i = i + 1; } }",
    };
    for (const char* source : sources) {
        Program program;
        compile(program, source);
        machine->execute(program);
        allocationCount = 0;
        countingAllocations = true;
        machine->execute(program);
        countingAllocations = false;
        EXPECT_EQ(allocationCount.load(), 0) << source;
    }
#endif
}

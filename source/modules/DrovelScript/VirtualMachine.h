// VirtualMachine: runs a compiled Program.
//
// A machine keeps a stack of call frames (Scope objects in a ProgramStack),
// the pending argument list of the next call (the machine is itself that
// list), the return register and, for function-mode programs, the Array cell
// that becomes main's parameter. Values are pooled DSVariable cells shared
// through DSVarPtr: operands are passed by reference, every operator result
// is a cell as good as a fresh one, and nothing but reference counting frees
// a value.
//
// The machine runs the program's DecodedCode, decoded once per program text,
// with threaded dispatch; an instruction that is not well formed, or whose
// variable the frame lacks, is run word by word by readInstruction, which
// reports errors exactly where they arise. Operator and call instructions
// remember what their operand types resolved to for the current run. Result
// cells come from the destination's own cell when nothing else refers to it,
// or from the spare cells of popped frames, before the pool.
//
// Between runs a machine holds no cells except its main-argument Array and
// what that array holds: a run, finished or failed, releases every frame,
// temporary, spare cell, pending argument and the return register, and a
// frame starts with empty temporaries. Frame storage, the argument lists and
// the per-instruction caches keep their capacity, so the instruction path
// takes nothing from the general heap (the first 128 frames are reserved at
// creation; String and Array values bring their own objects). A machine
// handed out by the pool runs one program at a time, on one thread, and a
// program runs on one thread at a time (its decoded code is filled in as it
// runs).
#pragma once

#include "Core/ArrayList.h"
#include "modules/DrovelScript/DSMemManager.h"
#include "modules/DrovelScript/DSType.h"
#include "modules/DrovelScript/DSVariable.h"
#include "modules/DrovelScript/Program.h"

namespace Vantor {

class Dialect;
class DSFunctor;
class ProgramStack;

// One call frame: the function's variables (parameters first, then one entry
// per executed declaration) and its temporaries.
class Scope {
public:
    static constexpr int kTemporaryCount = 64;

    DSVarPtr temporaries[kTemporaryCount];
    // The highest temporary index used since the frame was pushed; -1 for none.
    int highestTemp = -1;
    // Where the caller continues once this function returns.
    unsigned returnPosition = 0;
    ArrayList<DSVarPtr> variables;

    Scope() { variables.autoShrink = false; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    // Moves the return position, the variables and the temporaries in use.
    Scope& operator=(Scope&& other) noexcept;

    // "Variable ref doesn't exist" for an index at or beyond the variable count.
    DSVarPtr& getVariable(int index) {
        if (unsigned(index) >= variables.size)
            throwMissingVariable();
        return variables.data[unsigned(index)];
    }
    // "Too many temporaries used" for an index of 64 or more (or negative).
    DSVarPtr& getTemp(int index) {
        if (unsigned(index) >= unsigned(kTemporaryCount))
            throwTooManyTemporaries();
        if (index > highestTemp)
            highestTemp = index;
        return temporaries[index];
    }
    // Appends a new Array variable of size cells of the element type; the
    // size cell must be an int, and a size of 0 or less gives an empty array.
    void createArray(const Dialect& dialect, int elementTypeId, const DSVariable& size);
    // Releases the variables and the temporaries in use, through the
    // stack's spareOrRelease; storage is kept.
    void clear(ProgramStack& stack);

private:
    [[noreturn]] static void throwMissingVariable();
    [[noreturn]] static void throwTooManyTemporaries();
};

// The call frames of one machine. Frames are reused: a popped frame keeps its
// storage for the next push at its depth, and the cells of its small plain
// values (int, float, bool, char) that nothing else refers to become spare
// cells for the results of later frames, so that calls do not hand cells back
// and forth with the pool. Spares count as free cells of the pool (it takes
// them back before it reports none free) and go back to it with clear.
class ProgramStack final : public DSMemManager::CellReserve {
public:
    static constexpr unsigned kReservedFrames = 128;
    static constexpr unsigned kSpareCells = 64;
    static constexpr unsigned kMaxFrames = 2048;
    // Variable slots reserved in each of the first kReservedFrames frames.
    static constexpr unsigned kReservedVariables = 8;

    ProgramStack();
    ProgramStack(const ProgramStack&) = delete;
    ProgramStack& operator=(const ProgramStack&) = delete;
    ~ProgramStack() { giveBackCells(); }

    // A new top frame holding references to the given variables; "Stack
    // overflow" when kMaxFrames frames exist.
    void push(unsigned returnPosition, const ArrayList<DSVarPtr>& variables);
    // Releases the top frame's variables and temporaries and removes it;
    // "Stack underflow" when there is none.
    void pop();
    // Pops every frame and gives the spare cells back to the pool.
    void clear();
    // Points the slot at a cell as good as a fresh one for a result whose
    // producer sets its type: a spare cell, or else a fresh pool cell.
    void takeCell(DSVarPtr& slot) {
        if (spareCells.size > 0)
            slot = std::move(spareCells.data[--spareCells.size]);
        else
            slot = DSMemManager::getInstance()->_new();
    }
    // Releases the slot's reference, or keeps its cell as a spare when the
    // cell holds a small plain value (int, float, bool or char), nothing else
    // refers to it and there is room.
    void spareOrRelease(DSVarPtr& slot) {
        const DSVariable* cell = slot.ptr;
        if (!cell)
            return;
        if (cell->refCount == 1 && !cell->block && spareCells.size < kSpareCells && isSmallPlainType(cell->type)) {
            spareCells.data[spareCells.size++] = std::move(slot);
            return;
        }
        slot.release();
    }
    void giveBackCells() override;
    // push, taking the references out of the list (its slots are left empty).
    void pushTaking(unsigned returnPosition, ArrayList<DSVarPtr>& variables);

    Scope& top() { return frames.data[depth - 1]; }
    unsigned size() const { return depth; }
    bool empty() const { return depth == 0; }

private:
    // frames.size frames exist; the lowest depth of them are in use.
    ArrayList<Scope> frames;
    unsigned depth = 0;
    // Never more than kSpareCells; its storage is reserved at creation.
    ArrayList<DSVarPtr> spareCells;
};

class VirtualMachine : public ArrayList<DSVarPtr> {
public:
    static constexpr unsigned kReservedArguments = 8;
    // Calls with up to this many arguments remember what they resolved to.
    static constexpr unsigned kCachedCallArguments = 4;
    // instructionBudget of a machine that runs without limit.
    static constexpr unsigned long long kUnlimitedInstructions = 0;

    DSVarPtr returnRegister;
    Program* program = nullptr;
    Dialect* dialect = nullptr;
    ArrayList<int>* code = nullptr;
    // One reference to the Array cell that becomes main's parameter; created
    // by the first function-mode run and kept for later runs.
    ArrayList<DSVarPtr> mainArguments;
    ProgramStack stack;
    // The code position of the next word.
    unsigned position = 0;
    // The machine's slot in the VMManager pool.
    int poolIndex = -1;
    // The most instructions one execute may run before it fails with
    // "Instruction budget exhausted"; kUnlimitedInstructions for no limit.
    // Hosts that run untrusted scripts set it so that no script runs forever.
    unsigned long long instructionBudget = kUnlimitedInstructions;

    VirtualMachine();
    VirtualMachine(const VirtualMachine&) = delete;
    VirtualMachine& operator=(const VirtualMachine&) = delete;
    ~VirtualMachine() override = default;

    // Runs the program from its start position until the outermost function
    // returns; a function-mode program gets the arguments (copied) as the
    // elements of main's Array, or, without arguments, the array as the last
    // run on this machine left it. Errors during the run come out with the
    // "DrovelVM Runtime error at line %d:\n" line in front of their message.
    void execute(Program& program, ArrayList<DSVarPtr>* arguments = nullptr);

    // Executes one instruction whose opcode word has been read; false once
    // the stack has become empty.
    bool readInstruction(int opcode);
    // The slot an element reference at the position denotes.
    DSVarPtr& readElement();
    // The next code word; "Unexpected end of program" past the end.
    int getNext() {
        if (position >= codeSize)
            throwEndOfProgram(lineGetNext);
        return words[position++];
    }
    // Continues at p; "Unexpected end of program" (with the position already
    // stored) when p is not inside the code.
    void setPC(unsigned p) {
        position = p;
        if (p >= codeSize)
            throwEndOfProgram(lineSetPC);
    }
    // Calls the script function or built-in that the pending arguments select
    // under the name rows (either may be kNoFunctionRow).
    void callFunction(int programRow, int dialectRow);
    // destination = a fresh cell holding the operator applied to the
    // operand(s); right is null for a unary operator.
    void doOperator(int operatorId, DSVarPtr& left, DSVarPtr* right, DSVarPtr& destination);

private:
    static constexpr int lineSetPC = 140;
    static constexpr int lineGetNext = 143;

    // What one instruction found when it last ran in this execute: an
    // operator's functor for its operand types, or the function a call's
    // argument types chose. Valid while generation is the machine's.
    struct SiteCache {
        unsigned generation = 0;
        // What the operator path compares first, together.
        unsigned char fastOperator = 0;
        int leftType = -1;
        int rightType = -1;
        int operatorId = 0;
        DSFunctor* functor = nullptr;
        int programRow = 0;
        int dialectRow = 0;
        unsigned argumentCount = 0;
        int argumentTypes[kCachedCallArguments] = {};
        Function* function = nullptr;
    };

    // The code being run, for getNext and setPC.
    const int* words = nullptr;
    // The program's constant slots.
    DSVarPtr* constants = nullptr;
    // By element kind: where the slots of the top frame's operands start,
    // and how many there are.
    DSVarPtr* slotBases[4] = {};
    unsigned slotLimits[4] = {};
    unsigned codeSize = 0;
    // The top frame while the stack is not empty.
    Scope* frame = nullptr;
    DSMemManager* memory = nullptr;
    // Indexed by the code position of an instruction's opcode word.
    ArrayList<SiteCache> sites;
    unsigned generation = 0;
    // The operand lists handed to operator functors, reused for every operator.
    ArrayList<DSVarPtr> unaryArguments;
    ArrayList<DSVarPtr> binaryArguments;

    void bind(Program& program, ArrayList<DSVarPtr>* arguments);
    void run();
    // Releases everything a run holds except the main-argument array.
    void finishRun();
    // The pending arguments, released; their storage is kept.
    void clearArguments();
    [[noreturn]] static void throwEndOfProgram(int line);
    // readElement, inlined into the instruction path.
    inline DSVarPtr& operand();
    // The slot a decoded operand denotes in the top frame; null for a
    // variable index beyond the frame's variables.
    inline DSVarPtr* slotOf(const DecodedOperand& operand);
    // Points slotBases and slotLimits at the top frame; after anything that
    // changes the frame or its variable list.
    void refreshSlots() {
        slotBases[kElementVariable] = frame->variables.data;
        slotLimits[kElementVariable] = frame->variables.size;
        slotBases[kElementTemporary] = frame->temporaries;
    }
    // What getTemp records for the instruction's temporaries.
    void noteTemporaries(const DecodedInstruction& instruction) {
        if (instruction.highestTemp > frame->highestTemp)
            frame->highestTemp = instruction.highestTemp;
    }
    [[noreturn]] static void throwBudgetExhausted();

    // What the instructions do once their operands are resolved, the same
    // whether they were decoded or read word by word.
    void element(DSVarPtr& destination, DSVarPtr& array, DSVarPtr& index);
    void declare(int typeId);
    void load(DSVarPtr& destination, DSVarPtr& source);
    void loadref(DSVarPtr& destination, DSVarPtr& source);

    // applyOperator's common case for a binary operator, inlined: the
    // site's remembered standard operator for these operand types, computed
    // into the destination's own cell or a spare. False, with nothing
    // changed, when anything else applies.
    inline bool fastBinary(unsigned site, DSVarPtr& left, DSVarPtr& right, DSVarPtr& destination);

    // The operator instruction at site: the operator the operand types
    // select (remembered for the site), applied into the destination. Gives
    // exactly the result of doOperator, without its lookups and, where the
    // destination cell is referred to by nothing else, without taking a new
    // cell for the result.
    void applyOperator(unsigned site, int operatorId, DSVarPtr& left, DSVarPtr* right, DSVarPtr& destination);
    // callFunction, remembering for the site what the argument types chose.
    void callAt(unsigned site, int programRow, int dialectRow);
    // The function (script) or functor (built-in) that a call with the
    // pending arguments resolves to; throws the call error when none.
    void resolve(int programRow, int dialectRow, Function*& function, DSFunctor*& functor);
    // The slot, made to refer to a cell that is as good as a fresh one for
    // a result: its own cell when nothing else refers to it (and the pool
    // could have given a fresh one), otherwise a spare or a fresh cell.
    __attribute__((always_inline)) DSVariable& resultCell(DSVarPtr& slot) {
        DSVariable* cell = slot.ptr;
        // Only when the pool could hand out a cell, so that a full pool fails
        // here exactly as it fails for a fresh cell.
        if (cell && cell->refCount == 1 && memory->canTake())
            return *cell;
        stack.takeCell(slot);
        return *slot.ptr;
    }
    void enterFunction(const Function& function);
    bool leaveFunction();
};

} // namespace Vantor

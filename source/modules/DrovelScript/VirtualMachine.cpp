// The virtual machine: dispatch, frames, calls and operators.
//
// The instruction path is shaped for speed without changing what a program
// does. Instructions run from the program's decoded code; a binary operator
// and the instruction after it that uses its result (a load, a conditional
// jump, a push or a return) run as one step. Each operator and call
// instruction remembers, for the current run, the functor or function its
// operand types chose, so the dialect's and the program's tables are searched
// once per site and type combination. The standard operators on int, float,
// bool and Vector are computed here rather than through their functors, and
// a result goes into the destination's own cell when nothing else refers to
// it, or into a spare cell of a popped frame; all of it gives the same types
// and values as the general path, which stays for everything else.
#include "modules/DrovelScript/VirtualMachine.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/DSMemManager.h"
#include "modules/DrovelScript/DSType.h"
#include "modules/DrovelScript/Dialect.h"
#include "modules/DrovelScript/StandardOperators.h"

#include <cstring>
#include <typeinfo>

namespace Vantor {

namespace {

const char* const sourceFile = "source\\modules\\DrovelScript\\VirtualMachine";
constexpr int lineProgramNotValid = 29;
constexpr int lineBinaryOperatorNotFound = 124;
constexpr int lineUnaryOperatorNotFound = 138;
constexpr int lineLoadTypeCheck = 190;
constexpr int lineLoadrefTypeCheck = 203;
constexpr int lineBadInstruction = 264;
constexpr int lineCallError = 313;
constexpr int lineBudgetExhausted = 330;
constexpr int lineMissingVariable = 36;
constexpr int lineArraySubscriptType = 57;
constexpr int lineTooManyTemporaries = 71;
constexpr int lineStackOverflow = 99;
constexpr int lineStackUnderflow = 107;
constexpr int lineBadElement = 174;

// The cell a slot refers to. A slot that refers to nothing (a temporary or
// the return register before anything set it) is given a fresh "object"
// cell, which is what such a slot stands for.
inline DSVariable& cellIn(DSVarPtr& slot) {
    if (!slot.ptr)
        slot = DSMemManager::getInstance()->_new();
    return *slot.ptr;
}

// The first byte of the value, 0 for a cell that has no value bytes (a
// "void" or "object" cell): its storage holds whatever an earlier value left.
inline unsigned char firstValueByte(const DSVariable& cell) { return cell.size == 0 ? 0 : cell.firstByte(); }

// The cell's value bytes read as an int, whatever its type; bytes beyond the
// value's size read as 0.
int intValueOf(const DSVariable& cell) {
    int value = 0;
    const unsigned n = cell.size < sizeof(int) ? cell.size : unsigned(sizeof(int));
    if (n > 0)
        std::memcpy(&value, cell.value(), n);
    return value;
}

// Types whose value is plain bytes: destroyValue does nothing and copyValue
// copies the bytes, so a value of one can be overwritten in place.
inline bool isPlainType(const DSType* type) {
    return type == &dsIntType || type == &dsFloatType || type == &dsBoolType || type == &dsVectorType ||
           type == &dsMatrixType || type == &dsCharType;
}

// The standard operators the machine computes itself. The functor's exact
// class decides, so that a dialect's own subclass keeps its own compute.
enum FastOperator : unsigned char {
    kGeneral,
    kAddInt, kSubInt, kMulInt, kDivInt,
    kAddFloat, kSubFloat, kMulFloat, kDivFloat,
    kLessInt, kGreaterInt, kEqualInt, kNotEqualInt, kLessOrEqualInt, kGreaterOrEqualInt,
    kLessFloat, kGreaterFloat, kEqualFloat, kNotEqualFloat, kLessOrEqualFloat, kGreaterOrEqualFloat,
    kAnd, kOr, kNot, kNegateInt, kNegateFloat,
    kAddVector, kSubVector, kFloatTimesVector, kVectorTimesFloat, kVectorOverFloat, kNegateVector,
};

FastOperator classify(const DSFunctor& functor) {
    struct Entry {
        const std::type_info& type;
        FastOperator fast;
    };
    static const Entry entries[] = {
        {typeid(TAddFunc<int, int, int>), kAddInt},
        {typeid(TSubFunc<int, int, int>), kSubInt},
        {typeid(TMulFunc<int, int, int>), kMulInt},
        {typeid(TDivFunc<int, int, int>), kDivInt},
        {typeid(TAddFunc<float, float, float>), kAddFloat},
        {typeid(TSubFunc<float, float, float>), kSubFloat},
        {typeid(TMulFunc<float, float, float>), kMulFloat},
        {typeid(TDivFunc<float, float, float>), kDivFloat},
        {typeid(TLessFunc<int>), kLessInt},
        {typeid(TGreaterFunc<int>), kGreaterInt},
        {typeid(TEqualFunc<int>), kEqualInt},
        {typeid(TNotEqualFunc<int>), kNotEqualInt},
        {typeid(TLessOrEqualFunc<int>), kLessOrEqualInt},
        {typeid(TGreaterOrEqualFunc<int>), kGreaterOrEqualInt},
        {typeid(TLessFunc<float>), kLessFloat},
        {typeid(TGreaterFunc<float>), kGreaterFloat},
        {typeid(TEqualFunc<float>), kEqualFloat},
        {typeid(TNotEqualFunc<float>), kNotEqualFloat},
        {typeid(TLessOrEqualFunc<float>), kLessOrEqualFloat},
        {typeid(TGreaterOrEqualFunc<float>), kGreaterOrEqualFloat},
        {typeid(TAndFunc), kAnd},
        {typeid(TOrFunc), kOr},
        {typeid(UnaryNotFunc), kNot},
        {typeid(TUnaryMinusFunc<int>), kNegateInt},
        {typeid(TUnaryMinusFunc<float>), kNegateFloat},
        {typeid(TAddFunc<Vector4, Vector4, Vector4>), kAddVector},
        {typeid(TSubFunc<Vector4, Vector4, Vector4>), kSubVector},
        {typeid(TMulFunc<Vector4, float, Vector4>), kFloatTimesVector},
        {typeid(TMulFunc<Vector4, Vector4, float>), kVectorTimesFloat},
        {typeid(TDivFunc<Vector4, Vector4, float>), kVectorOverFloat},
        {typeid(TUnaryMinusFunc<Vector4>), kNegateVector},
    };
    const std::type_info& type = typeid(functor);
    for (const Entry& entry : entries)
        if (entry.type == type)
            return entry.fast;
    return kGeneral;
}

// Operands of a fast operator have exactly the functor's parameter types, so
// each holds a whole value of that type; one that fits the cell's inline
// storage is there.
template <class T>
__attribute__((always_inline)) inline T valueOf(const DSVariable& cell) {
    T value;
    if constexpr (sizeof(T) <= DSVariable::kInlineSize)
        std::memcpy(static_cast<void*>(&value), cell.storage, sizeof(T));
    else
        std::memcpy(static_cast<void*>(&value), cell.value(), sizeof(T));
    return value;
}

// setType for a value of size bytes of a small plain type. Between two such
// types (the cells the machine reuses for results) it only has to set the
// type and zero the bytes: there is no value to destroy and no block.
inline void retype(DSVariable& cell, DSType& type, unsigned size) {
    if (cell.block || !isSmallPlainType(cell.type)) {
        cell.setType(type);
        return;
    }
    cell.type = &type;
    cell.typeId = type.typeId;
    cell.size = size;
    std::memset(cell.storage, 0, sizeof cell.storage);
}

// What setType followed by set does to a cell, for a plain type: a cell that
// already has the type keeps its storage (its size is the type's).
template <class T>
__attribute__((always_inline)) inline void store(DSVariable& cell, DSType& type, const T& value) {
    if constexpr (sizeof(T) <= sizeof(int)) {
        if (cell.type != &type)
            retype(cell, type, sizeof(T));
        std::memcpy(cell.storage, static_cast<const void*>(&value), sizeof(T));
    } else {
        if (cell.type != &type)
            cell.setType(type);
        std::memcpy(cell.value(), static_cast<const void*>(&value), sizeof(T));
    }
}

__attribute__((always_inline)) inline void storeBool(DSVariable& cell, bool value) {
    if (cell.type != &dsBoolType)
        retype(cell, dsBoolType, 1);
    cell.storage[0] = value ? 1 : 0;
}

// Computes a fast operator; b is null for the unary ones.
__attribute__((always_inline)) inline void computeFast(FastOperator op, const DSVariable& a, const DSVariable* b, DSVariable& result) {
    switch (op) {
    case kAddInt: store(result, dsIntType, dsmath::add(valueOf<int>(a), valueOf<int>(*b))); return;
    case kSubInt: store(result, dsIntType, dsmath::sub(valueOf<int>(a), valueOf<int>(*b))); return;
    case kMulInt: store(result, dsIntType, dsmath::mul(valueOf<int>(a), valueOf<int>(*b))); return;
    case kDivInt: store(result, dsIntType, dsmath::div(valueOf<int>(a), valueOf<int>(*b))); return;
    case kAddFloat: store(result, dsFloatType, valueOf<float>(a) + valueOf<float>(*b)); return;
    case kSubFloat: store(result, dsFloatType, valueOf<float>(a) - valueOf<float>(*b)); return;
    case kMulFloat: store(result, dsFloatType, valueOf<float>(a) * valueOf<float>(*b)); return;
    case kDivFloat: store(result, dsFloatType, valueOf<float>(a) / valueOf<float>(*b)); return;
    case kLessInt: storeBool(result, valueOf<int>(a) < valueOf<int>(*b)); return;
    case kGreaterInt: storeBool(result, valueOf<int>(a) > valueOf<int>(*b)); return;
    case kEqualInt: storeBool(result, valueOf<int>(a) == valueOf<int>(*b)); return;
    case kNotEqualInt: storeBool(result, valueOf<int>(a) != valueOf<int>(*b)); return;
    case kLessOrEqualInt: storeBool(result, valueOf<int>(a) <= valueOf<int>(*b)); return;
    case kGreaterOrEqualInt: storeBool(result, valueOf<int>(a) >= valueOf<int>(*b)); return;
    case kLessFloat: storeBool(result, valueOf<float>(a) < valueOf<float>(*b)); return;
    case kGreaterFloat: storeBool(result, valueOf<float>(a) > valueOf<float>(*b)); return;
    case kEqualFloat: storeBool(result, valueOf<float>(a) == valueOf<float>(*b)); return;
    case kNotEqualFloat: storeBool(result, valueOf<float>(a) != valueOf<float>(*b)); return;
    case kLessOrEqualFloat: storeBool(result, valueOf<float>(a) <= valueOf<float>(*b)); return;
    case kGreaterOrEqualFloat: storeBool(result, valueOf<float>(a) >= valueOf<float>(*b)); return;
    case kAnd: storeBool(result, a.storage[0] != 0 && b->storage[0] != 0); return;
    case kOr: storeBool(result, a.storage[0] != 0 || b->storage[0] != 0); return;
    case kNot: storeBool(result, a.storage[0] == 0); return;
    case kNegateInt: store(result, dsIntType, dsmath::negate(valueOf<int>(a))); return;
    case kNegateFloat: store(result, dsFloatType, -valueOf<float>(a)); return;
    case kAddVector: store(result, dsVectorType, dsmath::add(valueOf<Vector4>(a), valueOf<Vector4>(*b))); return;
    case kSubVector: store(result, dsVectorType, dsmath::sub(valueOf<Vector4>(a), valueOf<Vector4>(*b))); return;
    case kFloatTimesVector:
        store(result, dsVectorType, dsmath::mul(valueOf<float>(a), valueOf<Vector4>(*b)));
        return;
    case kVectorTimesFloat:
        store(result, dsVectorType, dsmath::mul(valueOf<Vector4>(a), valueOf<float>(*b)));
        return;
    case kVectorOverFloat:
        store(result, dsVectorType, dsmath::div(valueOf<Vector4>(a), valueOf<float>(*b)));
        return;
    case kNegateVector: store(result, dsVectorType, dsmath::negate(valueOf<Vector4>(a))); return;
    case kGeneral: return;
    }
}

} // namespace

Scope& Scope::operator=(Scope&& other) noexcept {
    if (this == &other)
        return *this;
    returnPosition = other.returnPosition;
    variables = std::move(other.variables);
    for (int i = 0; i <= other.highestTemp; ++i)
        temporaries[i] = std::move(other.temporaries[i]);
    highestTemp = other.highestTemp;
    other.highestTemp = -1;
    return *this;
}

void Scope::throwMissingVariable() {
    throw Exception("Variable ref doesn't exist", "Vantor::Scope::getVariable", sourceFile, lineMissingVariable);
}

void Scope::throwTooManyTemporaries() {
    throw Exception("Too many temporaries used", "Vantor::Scope::getTemp", sourceFile, lineTooManyTemporaries);
}

void Scope::createArray(const Dialect& dialect, int elementTypeId, const DSVariable& size) {
    variables.add(DSMemManager::getInstance()->_new());
    DSVariable& array = *variables.data[variables.size - 1];
    if (size.typeId != dsIntType.typeId)
        throw Exception("Subscript in array declaration must be of integer type", "Vantor::Scope::createArray",
                        sourceFile, lineArraySubscriptType);
    DSType* elementType = dialect.getType(elementTypeId);
    array.setType(dsArrayType);
    DSArray::resize(array, size.get<int>());
    if (DSArray::List* elements = DSArray::getList(array))
        for (DSVarPtr& element : *elements)
            element->setType(*elementType);
}

__attribute__((always_inline)) inline void Scope::clear(ProgramStack& stack) {
    for (DSVarPtr& v : variables)
        stack.spareOrRelease(v);
    // The list never shrinks its storage, so this is resize(0).
    variables.size = 0;
    for (int i = 0; i <= highestTemp; ++i)
        stack.spareOrRelease(temporaries[i]);
    highestTemp = -1;
}

void ProgramStack::giveBackCells() {
    for (unsigned i = 0; i < spareCells.size; ++i)
        spareCells.data[i].release();
    spareCells.size = 0;
}

ProgramStack::ProgramStack() {
    spareCells.autoShrink = false;
    spareCells.reserve(kSpareCells);
    frames.autoShrink = false;
    frames.resize(kReservedFrames);
    for (Scope& frame : frames)
        frame.variables.reserve(kReservedVariables);
}

void ProgramStack::push(unsigned returnPosition, const ArrayList<DSVarPtr>& variables) {
    if (depth >= kMaxFrames)
        throw Exception("Stack overflow", "Vantor::ProgramStack::push", sourceFile, lineStackOverflow);
    if (depth == frames.size)
        frames.resize(depth + 1);
    Scope& frame = frames.data[depth];
    ++depth;
    frame.returnPosition = returnPosition;
    for (const DSVarPtr& v : variables)
        frame.variables.add(v);
}

__attribute__((always_inline)) inline void ProgramStack::pushTaking(unsigned returnPosition, ArrayList<DSVarPtr>& variables) {
    if (depth >= kMaxFrames)
        throw Exception("Stack overflow", "Vantor::ProgramStack::push", sourceFile, lineStackOverflow);
    if (depth == frames.size)
        frames.resize(depth + 1);
    Scope& frame = frames.data[depth];
    ++depth;
    frame.returnPosition = returnPosition;
    ArrayList<DSVarPtr>& to = frame.variables;
    // A pushed frame has no variables; slots beyond the size are empty.
    if (to.capacity < variables.size)
        to.reserve(variables.size);
    to.size = variables.size;
    for (unsigned i = 0; i < variables.size; ++i)
        to.data[i] = std::move(variables.data[i]);
}

__attribute__((always_inline)) inline void ProgramStack::pop() {
    if (depth == 0)
        throw Exception("Stack underflow", "Vantor::ProgramStack::pop", sourceFile, lineStackUnderflow);
    frames.data[depth - 1].clear(*this);
    --depth;
}

void ProgramStack::clear() {
    while (depth > 0)
        pop();
    giveBackCells();
}

VirtualMachine::VirtualMachine() {
    autoShrink = false;
    reserve(kReservedArguments);
    mainArguments.autoShrink = false;
    sites.autoShrink = false;
    unaryArguments.autoShrink = false;
    unaryArguments.resize(1);
    binaryArguments.autoShrink = false;
    binaryArguments.resize(2);
}

void VirtualMachine::throwEndOfProgram(int line) {
    const char* function = line == lineSetPC ? "Vantor::VirtualMachine::setPC" : "Vantor::VirtualMachine::getNext";
    throw Exception("Unexpected end of program", function, sourceFile, line);
}

__attribute__((always_inline)) inline void VirtualMachine::clearArguments() {
    for (unsigned i = 0; i < size; ++i)
        data[i].release();
    // The list never shrinks its storage, so this is resize(0).
    size = 0;
}

void VirtualMachine::execute(Program& p, ArrayList<DSVarPtr>* arguments) {
    if (!p.valid || !p.dialect)
        throw Exception("The program is not valid", "Vantor::VirtualMachine::execute", sourceFile,
                        lineProgramNotValid);
    try {
        bind(p, arguments);
        run();
    } catch (Exception& e) {
        String message;
        message.appendFormat("DrovelVM Runtime error at line %d:\n", p.lineOf(int(position)));
        message.append(e.message);
        e.message = message;
        finishRun();
        throw;
    } catch (...) {
        finishRun();
        throw;
    }
    finishRun();
}

void VirtualMachine::bind(Program& p, ArrayList<DSVarPtr>* arguments) {
    program = &p;
    dialect = p.dialect;
    code = &p.code;
    words = p.code.data;
    codeSize = p.code.size;
    constants = p.constants.data;
    p.decoded.bind(p.code, p.constants.size);
    memory = DSMemManager::getInstance();
    memory->addReserve(stack);
    position = unsigned(p.start);
    if (sites.size < codeSize)
        sites.resize(codeSize);
    if (++generation == 0) {
        for (SiteCache& site : sites)
            site.generation = 0;
        generation = 1;
    }
    clearArguments();
    if (p.statementMode) {
        stack.push(position, *this);
        frame = &stack.top();
        return;
    }
    if (mainArguments.size == 0)
        mainArguments.add(memory->_new());
    // The script cannot retype its main array, but a run that failed half way
    // through may have left anything there; it is an Array again.
    DSVariable& array = *mainArguments.data[0];
    if (array.typeId != dsArrayType.typeId || !DSArray::getList(array))
        array.setType(dsArrayType);
    if (arguments) {
        DSArray::resize(array, int(arguments->size));
        DSArray::List& elements = *DSArray::getList(array);
        for (unsigned i = 0; i < arguments->size; ++i) {
            const DSVariable* argument = (*arguments)[i].get();
            if (!argument || !argument->type)
                continue;
            DSVariable& element = *elements[i];
            element.setType(*argument->type);
            argument->type->copyValue(element, *argument);
        }
    }
    stack.push(position, mainArguments);
    frame = &stack.top();
}

// The dispatch is threaded: each step ends in its own jump to the next
// instruction's step, which branch predictors follow far better than the one
// jump of a shared switch. A step that finds an operand naming a variable the
// frame does not have goes to the word interpreter before it changes
// anything, so that the error comes from the same word as it always has.
void VirtualMachine::run() {
    static const void* const steps[] = {
        &&undecoded, &&words,  &&element, &&unary,   &&jumpIfFalse, &&jump,        &&declare, &&declareArray,
        &&call,      &&binary, &&load,    &&loadref, &&leave,       &&returnValue, &&pushArg,
        &&binaryLoad, &&binaryJumpIfFalse, &&binaryPushArg, &&binaryReturnValue,
    };
    static_assert(sizeof steps / sizeof steps[0] == DecodedInstruction::kStepCount, "a step for every kind");

    DecodedCode& decoded = program->decoded;
    const DecodedInstruction* const entries = decoded.entries();
    const unsigned end = codeSize;
    const bool budgeted = instructionBudget != kUnlimitedInstructions;
    unsigned long long executed = 0;
    unsigned site = 0;
    const DecodedInstruction* instruction = nullptr;
    DSVarPtr* first = nullptr;
    DSVarPtr* second = nullptr;
    DSVarPtr* third = nullptr;
    // Whether the last binary operator was a standard one on plain values.
    bool computed = false;
    slotBases[kElementConstant] = constants;
    slotLimits[kElementConstant] = program->constants.size;
    slotBases[kElementReturnRegister] = &returnRegister;
    slotLimits[kElementReturnRegister] = 1;
    slotLimits[kElementTemporary] = Scope::kTemporaryCount;
    refreshSlots();

// Fetches the instruction at position and jumps to its step.
#define VANTOR_NEXT_INSTRUCTION()                                                                                  \
    do {                                                                                                           \
        if (budgeted && ++executed > instructionBudget)                                                            \
            throwBudgetExhausted();                                                                                \
        site = position;                                                                                           \
        if (site >= end)                                                                                           \
            throwEndOfProgram(lineGetNext);                                                                        \
        instruction = entries + site;                                                                              \
        goto* steps[instruction->step];                                                                            \
    } while (false)
// Resolves the slot of operand i into target, or leaves for the word interpreter.
#define VANTOR_OPERAND(target, i)                                                                                  \
    do {                                                                                                           \
        target = slotOf(instruction->operands[i]);                                                                 \
        if (!target)                                                                                               \
            goto words;                                                                                            \
    } while (false)

// The binary operator of the instruction (the first of a pair): the result
// into first, from second and third.
#define VANTOR_BINARY()                                                                                            \
    do {                                                                                                           \
        VANTOR_OPERAND(first, 0);                                                                                  \
        VANTOR_OPERAND(second, 1);                                                                                 \
        VANTOR_OPERAND(third, 2);                                                                                  \
        noteTemporaries(*instruction);                                                                             \
        position = instruction->next;                                                                              \
        computed = fastBinary(site, *second, *third, *first);                                                      \
        if (!computed)                                                                                             \
            applyOperator(site, instruction->argument, *second, third, *first);                                    \
    } while (false)

    VANTOR_NEXT_INSTRUCTION();

undecoded:
    decoded.decode(site);
    goto* steps[instruction->step];

words:
    position = site + 1;
    if (!readInstruction(words[site]))
        return;
    refreshSlots();
    VANTOR_NEXT_INSTRUCTION();

binary:
    VANTOR_BINARY();
    VANTOR_NEXT_INSTRUCTION();

// A pair runs its second instruction in the same step unless an instruction
// budget counts them one by one or (for a load) the destination is not a
// variable of the frame; then the second runs from its own entry.
binaryLoad:
    VANTOR_BINARY();
    if (budgeted)
        VANTOR_NEXT_INSTRUCTION();
    second = slotOf(instruction->pairOperand);
    if (!second)
        VANTOR_NEXT_INSTRUCTION();
    position = instruction->pairNext;
    // A standard operator's result is a plain value: over a cell of its own
    // type the load only copies its bytes.
    if (computed && second->ptr && second->ptr != first->ptr && second->ptr->type == first->ptr->type &&
        first->ptr->size == sizeof(int) && second->ptr->size == sizeof(int))
        std::memcpy(second->ptr->storage, first->ptr->storage, sizeof(int));
    else
        load(*second, *first);
    VANTOR_NEXT_INSTRUCTION();

binaryJumpIfFalse:
    VANTOR_BINARY();
    if (budgeted)
        VANTOR_NEXT_INSTRUCTION();
    position = instruction->pairNext;
    // A standard operator's result has its first byte in the cell.
    if ((computed ? first->ptr->storage[0] : firstValueByte(cellIn(*first))) == 0)
        setPC(instruction->target);
    VANTOR_NEXT_INSTRUCTION();

binaryPushArg:
    VANTOR_BINARY();
    if (budgeted)
        VANTOR_NEXT_INSTRUCTION();
    position = instruction->pairNext;
    add(*first);
    VANTOR_NEXT_INSTRUCTION();

binaryReturnValue:
    VANTOR_BINARY();
    if (budgeted)
        VANTOR_NEXT_INSTRUCTION();
    position = instruction->pairNext;
    returnRegister = *first;
    if (!leaveFunction())
        return;
    refreshSlots();
    VANTOR_NEXT_INSTRUCTION();

unary:
    VANTOR_OPERAND(first, 0);
    VANTOR_OPERAND(second, 1);
    noteTemporaries(*instruction);
    position = instruction->next;
    applyOperator(site, instruction->argument, *second, nullptr, *first);
    VANTOR_NEXT_INSTRUCTION();

jumpIfFalse:
    VANTOR_OPERAND(first, 0);
    noteTemporaries(*instruction);
    position = instruction->next;
    if (firstValueByte(cellIn(*first)) == 0)
        setPC(instruction->target);
    VANTOR_NEXT_INSTRUCTION();

jump:
    position = instruction->next;
    setPC(instruction->target);
    VANTOR_NEXT_INSTRUCTION();

load:
    VANTOR_OPERAND(first, 0);
    VANTOR_OPERAND(second, 1);
    noteTemporaries(*instruction);
    position = instruction->next;
    load(*first, *second);
    VANTOR_NEXT_INSTRUCTION();

loadref:
    VANTOR_OPERAND(first, 0);
    VANTOR_OPERAND(second, 1);
    noteTemporaries(*instruction);
    position = instruction->next;
    loadref(*first, *second);
    VANTOR_NEXT_INSTRUCTION();

pushArg:
    VANTOR_OPERAND(first, 0);
    noteTemporaries(*instruction);
    position = instruction->next;
    add(*first);
    VANTOR_NEXT_INSTRUCTION();

call:
    position = instruction->next;
    callAt(site, instruction->argument, instruction->argument2);
    clearArguments();
    refreshSlots();
    VANTOR_NEXT_INSTRUCTION();

leave:
    position = instruction->next;
    if (!leaveFunction())
        return;
    refreshSlots();
    VANTOR_NEXT_INSTRUCTION();

returnValue:
    VANTOR_OPERAND(first, 0);
    noteTemporaries(*instruction);
    position = instruction->next;
    returnRegister = *first;
    if (!leaveFunction())
        return;
    refreshSlots();
    VANTOR_NEXT_INSTRUCTION();

declare:
    position = instruction->next;
    declare(instruction->argument);
    refreshSlots();
    VANTOR_NEXT_INSTRUCTION();

element:
    VANTOR_OPERAND(first, 0);
    VANTOR_OPERAND(second, 1);
    VANTOR_OPERAND(third, 2);
    noteTemporaries(*instruction);
    position = instruction->next;
    element(*first, *second, *third);
    VANTOR_NEXT_INSTRUCTION();

declareArray:
    VANTOR_OPERAND(first, 0);
    noteTemporaries(*instruction);
    position = instruction->next;
    frame->createArray(*dialect, instruction->argument, cellIn(*first));
    refreshSlots();
    VANTOR_NEXT_INSTRUCTION();

#undef VANTOR_BINARY
#undef VANTOR_OPERAND
#undef VANTOR_NEXT_INSTRUCTION
}

void VirtualMachine::throwBudgetExhausted() {
    throw Exception("Instruction budget exhausted", "Vantor::VirtualMachine::execute", sourceFile,
                    lineBudgetExhausted);
}

void VirtualMachine::finishRun() {
    stack.clear();
    if (memory)
        memory->removeReserve(stack);
    frame = nullptr;
    clearArguments();
    returnRegister.release();
    unaryArguments.data[0].release();
    binaryArguments.data[0].release();
    binaryArguments.data[1].release();
    program = nullptr;
    dialect = nullptr;
    code = nullptr;
    words = nullptr;
    codeSize = 0;
    constants = nullptr;
}

__attribute__((always_inline)) inline DSVarPtr& VirtualMachine::operand() {
    switch (getNext()) {
    case kElementConstant: {
        const int index = getNext();
        ArrayList<DSVarPtr>& list = program->constants;
        return unsigned(index) < list.size ? list.data[unsigned(index)] : program->getConstant(index);
    }
    case kElementVariable:
        return frame->getVariable(getNext());
    case kElementReturnRegister:
        return returnRegister;
    case kElementTemporary:
        return frame->getTemp(getNext());
    default:
        throw Exception("Error reading element", "Vantor::VirtualMachine::readElement", sourceFile, lineBadElement);
    }
}

__attribute__((always_inline)) inline DSVarPtr* VirtualMachine::slotOf(const DecodedOperand& operand) {
    const unsigned kind = unsigned(operand.kind);
    return unsigned(operand.index) < slotLimits[kind] ? slotBases[kind] + operand.index : nullptr;
}

DSVarPtr& VirtualMachine::readElement() { return operand(); }

void VirtualMachine::element(DSVarPtr& destination, DSVarPtr& array, DSVarPtr& index) {
    const int i = intValueOf(cellIn(index));
    destination = DSArray::getElement(cellIn(array), i);
}

void VirtualMachine::declare(int typeId) {
    DSVarPtr cell;
    stack.takeCell(cell);
    ArrayList<DSVarPtr>& variables = frame->variables;
    variables.add(cell);
    cell.release();
    variables.data[variables.size - 1]->setType(*dialect->getType(typeId));
}

__attribute__((always_inline)) inline void VirtualMachine::load(DSVarPtr& destinationSlot, DSVarPtr& sourceSlot) {
    DSVariable& destination = cellIn(destinationSlot);
    const DSVariable& source = cellIn(sourceSlot);
    if (destination.typeId != kObjectTypeId && destination.typeId != source.typeId)
        throw Exception("Failed type check on load", "Vantor::VirtualMachine::readInstruction", sourceFile,
                        lineLoadTypeCheck);
    // A plain value over one of its own type is a copy of its bytes.
    if (destination.type == source.type && destination.size == source.size && isPlainType(source.type)) {
        if (&destination == &source)
            return;
        if (source.size == sizeof(int))
            std::memcpy(destination.value(), source.value(), sizeof(int));
        else
            std::memcpy(destination.value(), source.value(), source.size);
        return;
    }
    destination.assign(source);
}

__attribute__((always_inline)) inline void VirtualMachine::loadref(DSVarPtr& destination, DSVarPtr& sourceSlot) {
    const DSVariable& source = cellIn(sourceSlot);
    if (destination.ptr && destination->typeId != kObjectTypeId && destination->typeId != source.typeId)
        throw Exception("Failed type check on loadref", "Vantor::VirtualMachine::readInstruction", sourceFile,
                        lineLoadrefTypeCheck);
    destination = sourceSlot;
}

bool VirtualMachine::readInstruction(int opcode) {
    // The opcode word was the one before the position.
    const unsigned site = position - 1;
    switch (opcode) {
    case kOpElement: {
        DSVarPtr& destination = operand();
        DSVarPtr& array = operand();
        DSVarPtr& index = operand();
        element(destination, array, index);
        return true;
    }
    case kOpUnary: {
        const int operatorId = getNext();
        DSVarPtr& destination = operand();
        DSVarPtr& value = operand();
        applyOperator(site, operatorId, value, nullptr, destination);
        return true;
    }
    case kOpJumpIfFalse: {
        DSVarPtr& condition = operand();
        const unsigned target = unsigned(getNext());
        if (firstValueByte(cellIn(condition)) == 0)
            setPC(target);
        return true;
    }
    case kOpJump:
        setPC(unsigned(getNext()));
        return true;
    case kOpDeclare:
        declare(getNext());
        return true;
    case kOpDeclareArray: {
        const int elementTypeId = getNext();
        DSVarPtr& count = operand();
        frame->createArray(*dialect, elementTypeId, cellIn(count));
        return true;
    }
    case kOpCall: {
        const int programRow = getNext();
        const int dialectRow = getNext();
        callAt(site, programRow, dialectRow);
        clearArguments();
        return true;
    }
    case kOpBinary: {
        const int operatorId = getNext();
        DSVarPtr& destination = operand();
        DSVarPtr& left = operand();
        DSVarPtr& right = operand();
        applyOperator(site, operatorId, left, &right, destination);
        return true;
    }
    case kOpLoad: {
        DSVarPtr& destination = operand();
        DSVarPtr& source = operand();
        load(destination, source);
        return true;
    }
    case kOpLoadref: {
        DSVarPtr& destination = operand();
        DSVarPtr& source = operand();
        loadref(destination, source);
        return true;
    }
    case kOpReturn:
        return leaveFunction();
    case kOpReturnValue: {
        DSVarPtr& value = operand();
        returnRegister = value;
        return leaveFunction();
    }
    case kOpPushArg: {
        DSVarPtr& value = operand();
        add(value);
        return true;
    }
    default:
        throw Exception("Error reading instruction ", "Vantor::VirtualMachine::readInstruction", sourceFile,
                        lineBadInstruction);
    }
}

__attribute__((always_inline)) inline bool VirtualMachine::leaveFunction() {
    position = frame->returnPosition;
    stack.pop();
    if (stack.empty()) {
        frame = nullptr;
        return false;
    }
    frame = &stack.top();
    return true;
}

__attribute__((always_inline)) inline void VirtualMachine::enterFunction(const Function& function) {
    stack.pushTaking(position, *this);
    frame = &stack.top();
    setPC(unsigned(function.entry));
}

void VirtualMachine::doOperator(int operatorId, DSVarPtr& left, DSVarPtr* right, DSVarPtr& destination) {
    destination = DSMemManager::getInstance()->_new();
    DSVariable& a = cellIn(left);
    if (!right) {
        DSFunctor* functor = dialect->findOperator(operatorId, a.typeId, -1);
        if (!functor)
            throw Exception("Operator not found", "Vantor::VirtualMachine::doOperator", sourceFile,
                            lineUnaryOperatorNotFound);
        unaryArguments.data[0] = left;
        functor->execute(unaryArguments, *destination);
        unaryArguments.data[0].release();
        return;
    }
    DSVariable& b = cellIn(*right);
    DSFunctor* functor = dialect->findOperator(operatorId, a.typeId, b.typeId);
    if (!functor)
        throw Exception("Operator not found", "Vantor::VirtualMachine::doOperator", sourceFile,
                        lineBinaryOperatorNotFound);
    binaryArguments.data[0] = left;
    binaryArguments.data[1] = *right;
    functor->execute(binaryArguments, *destination);
    binaryArguments.data[0].release();
    binaryArguments.data[1].release();
}

__attribute__((always_inline)) inline bool VirtualMachine::fastBinary(unsigned site, DSVarPtr& left,
                                                                    DSVarPtr& right, DSVarPtr& destination) {
    const DSVariable* a = left.ptr;
    const DSVariable* b = right.ptr;
    if (!a || !b || &destination == &left || &destination == &right)
        return false;
    const SiteCache& cache = sites.data[site];
    // Within one run a site always holds the same operator, so its id needs
    // no comparing here.
    if (cache.generation != generation || cache.fastOperator == kGeneral || cache.leftType != a->typeId ||
        cache.rightType != b->typeId)
        return false;
    computeFast(FastOperator(cache.fastOperator), *a, b, resultCell(destination));
    return true;
}

void VirtualMachine::applyOperator(unsigned site, int operatorId, DSVarPtr& left, DSVarPtr* right,
                                   DSVarPtr& destination) {
    // A destination that is also an operand is rebound before the operands
    // are read; only the general path does things in that order.
    if (&destination == &left || &destination == right) {
        doOperator(operatorId, left, right, destination);
        return;
    }
    const DSVariable& a = cellIn(left);
    const DSVariable* b = right ? &cellIn(*right) : nullptr;
    const int rightType = b ? b->typeId : -1;
    SiteCache& cache = sites.data[site];
    if (cache.generation != generation || cache.operatorId != operatorId || cache.leftType != a.typeId ||
        cache.rightType != rightType) {
        DSFunctor* functor = dialect->findOperator(operatorId, a.typeId, rightType);
        if (!functor) {
            doOperator(operatorId, left, right, destination);
            return;
        }
        cache.generation = generation;
        cache.operatorId = operatorId;
        cache.leftType = a.typeId;
        cache.rightType = rightType;
        cache.functor = functor;
        cache.fastOperator = classify(*functor);
    }
    DSVariable& result = resultCell(destination);
    if (cache.fastOperator != kGeneral) {
        computeFast(FastOperator(cache.fastOperator), a, b, result);
        return;
    }
    // A functor gets the result cell as fresh as a new one.
    if (result.type != &dsObjectType)
        result.setType(dsObjectType);
    if (!right) {
        unaryArguments.data[0] = left;
        cache.functor->execute(unaryArguments, result);
        unaryArguments.data[0].release();
        return;
    }
    binaryArguments.data[0] = left;
    binaryArguments.data[1] = *right;
    cache.functor->execute(binaryArguments, result);
    binaryArguments.data[0].release();
    binaryArguments.data[1].release();
}

void VirtualMachine::resolve(int programRow, int dialectRow, Function*& function, DSFunctor*& functor) {
    function = nullptr;
    functor = nullptr;
    bool countMismatch = false;
    bool typeMismatch = false;
    if (programRow != kNoFunctionRow) {
        function = program->resolveCall(programRow, *this, countMismatch, typeMismatch);
        if (function)
            return;
    }
    if (dialectRow != kNoFunctionRow) {
        functor = dialect->resolveCall(dialectRow, *this, countMismatch, typeMismatch);
        if (functor)
            return;
    }
    String message("Function call error.\n");
    if (typeMismatch)
        message.append("  Function Types don't match\n");
    if (countMismatch)
        message.append("  Wrong number of parameters\n");
    if (!typeMismatch && !countMismatch)
        message.append("  Function not found");
    throw Exception(message, "Vantor::VirtualMachine::callFunction", sourceFile, lineCallError);
}

void VirtualMachine::callFunction(int programRow, int dialectRow) {
    returnRegister = DSMemManager::getInstance()->_new();
    Function* function = nullptr;
    DSFunctor* functor = nullptr;
    resolve(programRow, dialectRow, function, functor);
    if (function) {
        stack.push(position, *this);
        frame = &stack.top();
        setPC(unsigned(function->entry));
        return;
    }
    functor->execute(*this, *returnRegister);
}

__attribute__((always_inline)) inline void VirtualMachine::callAt(unsigned site, int programRow, int dialectRow) {
    // Every call starts with the return register as a fresh "object" cell,
    // so a full pool fails the call here (with _new's error) whatever it
    // calls.
    if (!memory->canTake())
        memory->_new();

    SiteCache& cache = sites.data[site];
    bool known = cache.generation == generation && cache.programRow == programRow &&
                 cache.dialectRow == dialectRow && cache.argumentCount == size;
    for (unsigned i = 0; known && i < size; ++i)
        known = data[i].ptr && data[i].ptr->typeId == cache.argumentTypes[i];
    Function* function = cache.function;
    DSFunctor* functor = cache.functor;
    if (!known) {
        resolve(programRow, dialectRow, function, functor);
        // Resolution depends on nothing but the rows and the argument types.
        if (size <= kCachedCallArguments) {
            cache.generation = generation;
            cache.programRow = programRow;
            cache.dialectRow = dialectRow;
            cache.argumentCount = size;
            for (unsigned i = 0; i < size; ++i)
                cache.argumentTypes[i] = data[i]->typeId;
            cache.function = function;
            cache.functor = functor;
        }
    }
    if (function) {
        // A script function returns a value into the register, or leaves it
        // as it is; an empty register stands for the fresh cell.
        stack.spareOrRelease(returnRegister);
        enterFunction(*function);
        return;
    }
    DSVariable& result = resultCell(returnRegister);
    if (result.type != &dsObjectType)
        result.setType(dsObjectType);
    functor->execute(*this, result);
}

} // namespace Vantor

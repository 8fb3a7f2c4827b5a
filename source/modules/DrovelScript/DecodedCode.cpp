// Decoding instruction words into the table the machine runs from.
#include "modules/DrovelScript/DecodedCode.h"

#include "modules/DrovelScript/Program.h"
#include "modules/DrovelScript/VirtualMachine.h"

#include <cstring>

namespace Vantor {

namespace {

// Reads the words of one instruction; every read fails past the end.
class WordReader {
public:
    WordReader(const ArrayList<int>& words, unsigned start, unsigned constants)
        : position(start), code(words), constantCount(constants) {}

    unsigned position;

    bool next(int& word) {
        if (position >= code.size)
            return false;
        word = code.data[position++];
        return true;
    }

    // An element reference whose index may be valid when it runs: a
    // variable index is checked against the frame each time.
    bool operand(DecodedOperand& operand) {
        if (!next(operand.kind))
            return false;
        switch (operand.kind) {
        case kElementReturnRegister:
            operand.index = 0;
            return true;
        case kElementConstant:
            return next(operand.index) && unsigned(operand.index) < constantCount;
        case kElementVariable:
            return next(operand.index);
        case kElementTemporary:
            return next(operand.index) && unsigned(operand.index) < unsigned(Scope::kTemporaryCount);
        default:
            return false;
        }
    }

    bool operands(DecodedInstruction& instruction, int count) {
        for (int i = 0; i < count; ++i) {
            const DecodedOperand& read = instruction.operands[i];
            if (!operand(instruction.operands[i]))
                return false;
            if (read.kind == kElementTemporary && read.index > instruction.highestTemp)
                instruction.highestTemp = static_cast<signed char>(read.index);
        }
        return true;
    }

private:
    const ArrayList<int>& code;
    unsigned constantCount;
};

// How the words after each opcode are laid out: number words first (an
// operator or type id, or a call's program and dialect rows), then element
// references, then a jump target. Indexed by opcode.
struct Layout {
    DecodedInstruction::Step step;
    int numbers;
    int operands;
    bool target;
};
constexpr Layout kLayouts[] = {
    {DecodedInstruction::kElement, 0, 3, false},      {DecodedInstruction::kUnary, 1, 2, false},
    {DecodedInstruction::kJumpIfFalse, 0, 1, true},   {DecodedInstruction::kJump, 0, 0, true},
    {DecodedInstruction::kDeclare, 1, 0, false},      {DecodedInstruction::kDeclareArray, 1, 1, false},
    {DecodedInstruction::kCall, 2, 0, false},         {DecodedInstruction::kBinary, 1, 3, false},
    {DecodedInstruction::kLoad, 0, 2, false},         {DecodedInstruction::kLoadref, 0, 2, false},
    {DecodedInstruction::kReturn, 0, 0, false},       {DecodedInstruction::kReturnValue, 0, 1, false},
    {DecodedInstruction::kPushArg, 0, 1, false},
};
static_assert(kOpElement == 0 && kOpPushArg == 12 && sizeof kLayouts / sizeof kLayouts[0] == 13,
              "a layout for every opcode, in opcode order");

// Fills the instruction from the words at reader's position; false when
// they are not a well-formed instruction.
bool decodeWords(WordReader& reader, DecodedInstruction& instruction) {
    int opcode = 0;
    if (!reader.next(opcode) || unsigned(opcode) >= sizeof kLayouts / sizeof kLayouts[0])
        return false;
    const Layout& layout = kLayouts[opcode];
    instruction.step = layout.step;
    if (layout.numbers > 0 && !reader.next(instruction.argument))
        return false;
    if (layout.numbers > 1 && !reader.next(instruction.argument2))
        return false;
    if (!reader.operands(instruction, layout.operands))
        return false;
    int target = 0;
    if (layout.target && !reader.next(target))
        return false;
    instruction.target = unsigned(target);
    return true;
}

bool sameOperand(const DecodedOperand& a, const DecodedOperand& b) {
    return a.kind == b.kind && a.index == b.index;
}

// Makes the binary operator a pair with the instruction after it when that
// one uses the operator's result and nothing else but a load's destination.
void pairWithNext(DecodedInstruction& binary, const ArrayList<int>& code, unsigned constantCount) {
    WordReader reader(code, binary.next, constantCount);
    DecodedInstruction after;
    if (!decodeWords(reader, after))
        return;
    const DecodedOperand& result = binary.operands[0];
    switch (after.step) {
    case DecodedInstruction::kLoad:
        if (!sameOperand(after.operands[1], result))
            return;
        binary.step = DecodedInstruction::kBinaryLoad;
        binary.pairOperand = after.operands[0];
        if (after.highestTemp > binary.highestTemp)
            binary.highestTemp = after.highestTemp;
        break;
    case DecodedInstruction::kJumpIfFalse:
        if (!sameOperand(after.operands[0], result))
            return;
        binary.step = DecodedInstruction::kBinaryJumpIfFalse;
        binary.target = after.target;
        break;
    case DecodedInstruction::kPushArg:
        if (!sameOperand(after.operands[0], result))
            return;
        binary.step = DecodedInstruction::kBinaryPushArg;
        break;
    case DecodedInstruction::kReturnValue:
        if (!sameOperand(after.operands[0], result))
            return;
        binary.step = DecodedInstruction::kBinaryReturnValue;
        break;
    default:
        return;
    }
    binary.pairNext = reader.position;
}

} // namespace

void DecodedCode::bind(const ArrayList<int>& code, unsigned constantCount) {
    if (constantCount == constants && code.size == words.size &&
        (code.size == 0 || std::memcmp(code.data, words.data, code.size * sizeof(int)) == 0))
        return;
    words = code;
    constants = constantCount;
    instructions.resize(code.size);
    for (DecodedInstruction& instruction : instructions)
        instruction.step = DecodedInstruction::kUndecoded;
}

void DecodedCode::decode(unsigned position) {
    DecodedInstruction& instruction = instructions.data[position];
    instruction = DecodedInstruction();
    WordReader reader(words, position, constants);
    if (!decodeWords(reader, instruction)) {
        instruction.step = DecodedInstruction::kWords;
        return;
    }
    instruction.next = reader.position;
    if (instruction.step == DecodedInstruction::kBinary)
        pairWithNext(instruction, words, constants);
}

} // namespace Vantor

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

// Fills the instruction from the words at reader's position; false when
// they are not a well-formed instruction.
bool decodeWords(WordReader& reader, DecodedInstruction& instruction) {
    using Step = DecodedInstruction::Step;
    int opcode = 0;
    if (!reader.next(opcode))
        return false;
    int word = 0;
    switch (opcode) {
    case kOpElement:
        instruction.step = Step::kElement;
        return reader.operands(instruction, 3);
    case kOpUnary:
        instruction.step = Step::kUnary;
        return reader.next(instruction.argument) && reader.operands(instruction, 2);
    case kOpJumpIfFalse:
        instruction.step = Step::kJumpIfFalse;
        if (!reader.operands(instruction, 1) || !reader.next(word))
            return false;
        instruction.target = unsigned(word);
        return true;
    case kOpJump:
        instruction.step = Step::kJump;
        if (!reader.next(word))
            return false;
        instruction.target = unsigned(word);
        return true;
    case kOpDeclare:
        instruction.step = Step::kDeclare;
        return reader.next(instruction.argument);
    case kOpDeclareArray:
        instruction.step = Step::kDeclareArray;
        return reader.next(instruction.argument) && reader.operands(instruction, 1);
    case kOpCall:
        instruction.step = Step::kCall;
        return reader.next(instruction.argument) && reader.next(instruction.argument2);
    case kOpBinary:
        instruction.step = Step::kBinary;
        return reader.next(instruction.argument) && reader.operands(instruction, 3);
    case kOpLoad:
        instruction.step = Step::kLoad;
        return reader.operands(instruction, 2);
    case kOpLoadref:
        instruction.step = Step::kLoadref;
        return reader.operands(instruction, 2);
    case kOpReturn:
        instruction.step = Step::kReturn;
        return true;
    case kOpReturnValue:
        instruction.step = Step::kReturnValue;
        return reader.operands(instruction, 1);
    case kOpPushArg:
        instruction.step = Step::kPushArg;
        return reader.operands(instruction, 1);
    default:
        return false;
    }
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

// DecodedCode: a program's instructions as the virtual machine runs them,
// decoded from the code words once rather than word by word on every run.
//
// The table has an entry per code position. An entry is decoded the first
// time the machine reaches its position as the start of an instruction, and
// holds the instruction's operand references, its number arguments, its jump
// target and the position after it. An instruction that is not well formed
// (an unknown opcode or element kind, a constant or temporary index that can
// never be valid, words missing at the end of the code) is marked for the
// word-by-word interpreter, which reports its error exactly where it always
// has. A binary operator and the instruction after it that uses its result
// are also decoded as a pair, which the machine runs in one step when it can;
// the second instruction keeps its own entry for jumps to it and for the
// machine to run alone. The table belongs to the program text: bind throws it away when the
// code or the number of constants is no longer what it was decoded from.
#pragma once

#include "Core/ArrayList.h"

namespace Vantor {

struct DecodedOperand {
    // kElementConstant, kElementVariable, kElementReturnRegister or kElementTemporary.
    int kind = 0;
    int index = 0;
};

struct DecodedInstruction {
    enum Step : unsigned char {
        kUndecoded,
        // Not well formed: the word interpreter runs it (and fails).
        kWords,
        kElement,
        kUnary,
        kJumpIfFalse,
        kJump,
        kDeclare,
        kDeclareArray,
        kCall,
        kBinary,
        kLoad,
        kLoadref,
        kReturn,
        kReturnValue,
        kPushArg,
        // A binary operator with the instruction after it that uses its
        // result: a load from it, a jump on it, a push of it or a return of it.
        kBinaryLoad,
        kBinaryJumpIfFalse,
        kBinaryPushArg,
        kBinaryReturnValue,
        kStepCount
    };

    Step step = kUndecoded;
    // The highest temporary index among the operands; -1 for none.
    signed char highestTemp = -1;
    // The operator id, the declared type id or the call's program row.
    int argument = 0;
    // The call's dialect row.
    int argument2 = 0;
    // The jump target.
    unsigned target = 0;
    // The position after the instruction's last word.
    unsigned next = 0;
    // In the order of the words: the destination first where there is one.
    DecodedOperand operands[3];
    // For a fused pair: the second instruction's other operand (a load's
    // destination) and the position after it. The jump target is in target.
    DecodedOperand pairOperand;
    unsigned pairNext = 0;
};

class DecodedCode {
public:
    DecodedCode() { instructions.autoShrink = false; }
    // A copied program decodes its own code afresh.
    DecodedCode(const DecodedCode&) : DecodedCode() {}
    DecodedCode& operator=(const DecodedCode&) { return *this; }

    // Keeps the table when code and constantCount are what it was decoded
    // from; otherwise starts a new, undecoded one for them.
    void bind(const ArrayList<int>& code, unsigned constantCount);
    // The entry of each position; kUndecoded until decoded. Decoding does
    // not move the entries.
    const DecodedInstruction* entries() const { return instructions.data; }
    // Decodes the entry at position (inside the code).
    void decode(unsigned position);

private:
    ArrayList<DecodedInstruction> instructions;
    // The code and constant count the table was decoded from.
    ArrayList<int> words;
    unsigned constants = 0;
};

} // namespace Vantor

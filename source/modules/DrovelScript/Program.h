// Program: the compiled form of one Drovel script, the contract between the
// compiler and the virtual machine.
//
// The code is a list of 32-bit words: each instruction is an opcode word
// followed by its operands; an element reference is a kind word (0 constant,
// 1 variable, 2 return register, 3 temporary) followed by an index word for
// every kind but 2. Jump targets and function entries are absolute code
// positions. The function records and the function name table always list
// the same functions in the same order (record i is table entry i).
#pragma once

#include "Core/ArrayList.h"
#include "Core/String.h"
#include "modules/DrovelScript/DecodedCode.h"
#include "modules/DrovelScript/Dialect.h"
#include "modules/DrovelScript/DSVariable.h"

namespace Vantor {

// Opcodes.
constexpr int kOpElement = 0;
constexpr int kOpUnary = 1;
constexpr int kOpJumpIfFalse = 2;
constexpr int kOpJump = 3;
constexpr int kOpDeclare = 4;
constexpr int kOpDeclareArray = 5;
constexpr int kOpCall = 6;
constexpr int kOpBinary = 7;
constexpr int kOpLoad = 8;
constexpr int kOpLoadref = 9;
constexpr int kOpReturn = 10;
constexpr int kOpReturnValue = 11;
constexpr int kOpPushArg = 12;

// Element reference kinds.
constexpr int kElementConstant = 0;
constexpr int kElementVariable = 1;
constexpr int kElementReturnRegister = 2;
constexpr int kElementTemporary = 3;

// The row word of a call that names no function of the table.
constexpr int kNoFunctionRow = -1;

class Program {
public:
    static constexpr int kMaxFunctions = 1024;

    bool statementMode = false;
    bool valid = false;
    Dialect* dialect = nullptr;
    // Where execution starts: main's entry, or 0 in statement mode.
    int start = 0;
    ArrayList<int> code;
    FunctionTable functionTable;
    // The records of the script's own functions; never more than kMaxFunctions.
    ArrayList<Function> functions;
    // The code position at which each source line ends, by line number.
    ArrayList<int> lines;
    // One cell per constant occurrence in the source.
    ArrayList<DSVarPtr> constants;
    // The code as the machine runs it; kept in step with code by the machine.
    DecodedCode decoded;

    Program() = default;
    Program(const Program& other) { *this = other; }
    // Copies everything; the copy's name table refers to its own records.
    Program& operator=(const Program& other);

    // Adds a function of that name and signature (parameter types, return
    // type, entry). A second one with the same name and parameter types (the
    // return type is not compared) is refused, and so is a 1025th.
    int addFunction(const Function& signature, const String& name);
    // "Undefined local function" for an index at or beyond the count.
    Function& getFunction(int index);
    // "Undefined constant" for an index at or beyond the count.
    DSVarPtr& getConstant(int index);
    // Appends a constant cell; returns its index.
    int addConstant(const DSVarPtr& cell);

    int findFunctionRow(const String& name) const { return functionTable.findRow(name); }
    // Call resolution over the script's own functions (see FunctionTable).
    Function* resolveCall(int row, const ArrayList<DSVarPtr>& arguments, bool& countMismatch,
                          bool& typeMismatch);

    // Records that the code up to position belongs to line. A line at or below
    // the last one recorded raises that line's entry to position (lines only
    // grow during a compilation); a negative line is ignored.
    void setLine(int position, int line);
    // The first line whose recorded position is at or beyond position; the
    // last line when there is none; -1 for an empty table.
    int lineOf(int position) const;

    // Runs the program on a machine from the VMManager pool (with an argument
    // list for main, or none) and gives the machine back. Defined with the
    // virtual machine.
    void run(ArrayList<DSVarPtr>* arguments = nullptr);

private:
    String typeNameOf(int typeId) const;
    // Points the name table's entries at this program's own records.
    void relinkFunctions();
};

} // namespace Vantor

// Compiler: turns the source text of a Drovel script into a Program.
//
// A backtracking recursive-descent parser. Its terminals are Perl-syntax
// regular expressions, each matched against the whole rest of the text (the
// "(.*)" tail of every pattern takes what follows), plus a few direct
// character tests. Every parse routine returns the text position after what
// it consumed, or kNoMatch, and runs inside an attempt: when it fails, the
// code it emitted, the temporaries it took and the variables it declared are
// dropped again; only the constants it added stay in the program. Code goes
// straight into one list, so the position of the next word is the list's size
// and an attempt is a mark in it.
//
// The compiler checks names only (types, variables, functions, reserved
// words); whether the operand types of an expression fit is found out when
// the program runs. Any error ends the compilation with an Exception whose
// message starts with the "DrovelScript compile error at line %d\n" line.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Singleton.h"
#include "Core/String.h"
#include "modules/DrovelScript/Dialect.h"
#include "modules/DrovelScript/Program.h"

#include <memory>

namespace Vantor {

// An operand of an instruction: kind (constant, variable, return register,
// temporary) and index, -1 for none (always so for the return register).
struct ElRef {
    int kind = kElementConstant;
    int index = -1;
};

// A variable of the function being compiled; index is its place in the list,
// which is also its place in the frame when the program runs.
struct VariableName {
    String name;
    int typeId = -1;
    int index = -1;
};

class Compiler : public Singleton<Compiler> {
public:
    // Parse routines open at once; deeper nesting is a compile error rather
    // than a stack overflow.
    static constexpr int kMaxParseDepth = 1000;
    static constexpr int kNoMatch = -1;

    Compiler();
    Compiler(const Compiler&) = delete;
    Compiler& operator=(const Compiler&) = delete;
    ~Compiler();

    // Compiles source against dialect into program: functions with a main
    // taking one Array, or, in statement mode, a sequence of top-level
    // statements. On success the program holds its code, constants, functions
    // and line table and is valid; on failure it is invalid and empty and the
    // Exception is thrown on with the compile-error line in front.
    void compile(const String& source, Dialect& dialect, Program& program, bool statementMode);

    // The source without its comments. Newlines inside comments are kept, so
    // line numbers stay those of the source; comment markers inside string
    // constants are text.
    static String preprocess(const String& source);

    // Appends a variable to the current function's list and returns its
    // index; a name already in the list is an error.
    int addVariable(const String& name, int typeId);
    // Throws the compiler's Exception with this message.
    [[noreturn]] void error(const String& message);

private:
    enum Pattern {
        kPatternNumber,
        kPatternTrue,
        kPatternFalse,
        kPatternVariable,
        kPatternCallHead,
        kPatternCallClose,
        kPatternDeclaration,
        kPatternConditionClose,
        kPatternIf,
        kPatternElse,
        kPatternWhile,
        kPatternFor,
        kPatternBlock,
        kPatternFunctionHead,
        kPatternParameter,
        kPatternReturn,
        kPatternCount
    };

    // The capture groups of one match as text positions; -1 when a group
    // took no part in the match.
    struct Captures {
        static constexpr int kMaxGroups = 10;
        int start[kMaxGroups];
        int end[kMaxGroups];
        bool matched(int group) const { return start[group] >= 0; }
    };

    // Code, temporaries and variables as they were when the attempt opened;
    // the destructor restores them unless the attempt was committed.
    class Attempt {
    public:
        explicit Attempt(Compiler& compiler);
        Attempt(const Attempt&) = delete;
        Attempt& operator=(const Attempt&) = delete;
        ~Attempt();
        void commit() { committed = true; }

    private:
        Compiler& compiler;
        unsigned codeSize;
        int tempCounter;
        unsigned variableCount;
        bool committed = false;
    };

    // The entry of a parse routine: skips the blanks before its text, moves
    // the line counter forward to there, records the line of the next code
    // word and opens the routine's attempt. at is the first non-blank.
    class Routine {
    public:
        Routine(Compiler& compiler, int position);
        Routine(const Routine&) = delete;
        Routine& operator=(const Routine&) = delete;
        ~Routine();
        // Commits the attempt; returns end, the position after the routine's text.
        int succeed(int end) {
            attempt.commit();
            return end;
        }

        int at;

    private:
        Compiler& compiler;
        Attempt attempt;
    };

    // What a function head says: result type, name, and each parameter's
    // type and name.
    struct FunctionHead {
        int returnType = kVoidTypeId;
        String name;
        ArrayList<int> parameterTypes;
        ArrayList<String> parameterNames;
    };

    // Where the 3rd statement of a for construct that starts at start ends.
    struct StepEnd {
        int start;
        int end;
    };

    struct MatchState;

    Program* program = nullptr;
    Dialect* dialect = nullptr;
    int mainPosition = -1;
    int mainFunction = -1;
    ArrayList<int> code;
    int tempCounter = -1;
    ArrayList<VariableName> variables;
    ArrayList<String> reservedWords;
    // The preprocessed source.
    String text;
    // Line counting: how far the text has been examined, and the line there.
    int lineScan = 0;
    int lineNumber = 1;
    // Whether routine entries record lines (not for function heads in pass 1).
    bool recordLines = true;
    int functionCounter = 0;
    int depth = 0;
    ArrayList<StepEnd> stepEnds;
    std::unique_ptr<MatchState> matchState;

    // Text.
    static bool isBlank(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }
    bool atEnd(int position) const { return position >= text.length; }
    char charAt(int position) const { return atEnd(position) ? '\0' : text.chars.data[position]; }
    int skipBlanks(int position) const;
    String slice(int from, int to) const { return text.substring(from, to); }
    String group(const Captures& captures, int n) const { return slice(captures.start[n], captures.end[n]); }
    // Whole-text match of the pattern against the text from position on.
    bool match(Pattern pattern, int position, Captures& captures);
    void advanceLine(int position);
    bool isReserved(const String& name) const;
    // The id of the dialect's type of that name, or -1.
    int typeIdOf(const String& name) const;
    int findVariable(const String& name) const;

    // Code.
    int codePosition() const { return int(code.size); }
    void emit(int word) { code.add(word); }
    void emitElement(const ElRef& element);
    void patch(int position, int word) { code[unsigned(position)] = word; }
    ElRef newTemporary();
    ElRef addConstant(const DSVarPtr& cell);

    // Programs and functions (DSCompiler.cpp).
    void readStatements();
    void declareFunctions();
    void compileFunctions();
    int readFunctionHead(int position, FunctionHead& head);
    int skipFunctionBody(int position);

    // Statements (DSCompilerStatements.cpp).
    int parseStatement(int position, bool semicolonRequired);
    int parseBlock(int position);
    int parseIf(int position);
    int parseWhile(int position);
    int parseFor(int position);
    int parseReturn(int position);
    int parseDeclaration(int position);
    int parseAssignment(int position);
    int parseForStep(int position);

    // Expressions (DSCompilerExpressions.cpp).
    int parseExpression(int position, ElRef& result) { return parseBinary(0, position, result); }
    int parseBinary(int level, int position, ElRef& result);
    int parseUnary(int position, ElRef& result);
    int parsePrimary(int position, ElRef& result);
    int parseConstant(int position, ElRef& result);
    int parseNumber(int position, ElRef& result);
    int parseString(int position, ElRef& result);
    int parseVariable(int position, ElRef& result);
    int parseBracketed(int position, ElRef& result);
    // A call; with a result, as an operand whose temporary refers to the
    // call's result, otherwise as a statement.
    int parseCall(int position, ElRef* result);
};

// The code words separated by single blanks ("4 4 7 40 3 0 ...").
String dumpWords(const ArrayList<int>& code);
// One instruction per line ("12: binary + t0 c0 c1"), operands named by kind
// and index; what cannot be decoded is shown as such, never read past the end.
String disassemble(const Program& program);

} // namespace Vantor

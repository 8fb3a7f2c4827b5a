// The compiler's statements: blocks, if, while, for, return, declarations,
// assignments and call statements.
//
// Jumps are emitted with a placeholder target that is patched once the code
// it skips has been emitted; targets are absolute code positions.
#include "modules/DrovelScript/DSCompiler.h"

namespace Vantor {

// statement: block | if | while | for | return | declaration | assignment | call
// The last four end with ";" when semicolonRequired; the first that parses wins.
int Compiler::parseStatement(int position, bool semicolonRequired) {
    Routine routine(*this, position);
    int end = parseBlock(routine.at);
    if (end == kNoMatch)
        end = parseIf(routine.at);
    if (end == kNoMatch)
        end = parseWhile(routine.at);
    if (end == kNoMatch)
        end = parseFor(routine.at);
    for (int alternative = 0; end == kNoMatch && alternative < 4; ++alternative) {
        // The ";" belongs to the alternative: without it, its code goes too.
        Attempt attempt(*this);
        int e = kNoMatch;
        switch (alternative) {
        case 0:
            e = parseReturn(routine.at);
            break;
        case 1:
            e = parseDeclaration(routine.at);
            break;
        case 2:
            e = parseAssignment(routine.at);
            break;
        default:
            e = parseCall(routine.at, nullptr);
            break;
        }
        if (e != kNoMatch && semicolonRequired) {
            const int s = skipBlanks(e);
            e = charAt(s) == ';' ? s + 1 : kNoMatch;
        }
        if (e != kNoMatch) {
            attempt.commit();
            end = e;
        }
    }
    if (end == kNoMatch)
        return kNoMatch;
    // The line also ends where the statement's code ends, so that a run-time
    // error in its last instruction is not put on the next line.
    if (recordLines)
        program->setLine(codePosition(), lineNumber);
    return routine.succeed(end);
}

// block: "{" statement { statement } "}"
int Compiler::parseBlock(int position) {
    Routine routine(*this, position);
    Captures open;
    if (!match(kPatternBlock, routine.at, open))
        return kNoMatch;
    int p = open.end[1];
    for (;;) {
        int end = parseStatement(p, true);
        if (end == kNoMatch)
            error("error reading statement in block");
        end = skipBlanks(end);
        if (charAt(end) == '}')
            return routine.succeed(end + 1);
        p = end;
    }
}

// if: "if" "(" expression ")" statement [ "else" statement ]
// "else" counts only when a blank or "{" follows it. When the else statement
// does not parse, the whole if fails.
int Compiler::parseIf(int position) {
    Routine routine(*this, position);
    Captures head;
    if (!match(kPatternIf, routine.at, head))
        return kNoMatch;
    ElRef condition;
    int end = parseExpression(head.end[1], condition);
    if (end == kNoMatch)
        error("If statement found, but failed to match the conditional expression");
    emit(kOpJumpIfFalse);
    emitElement(condition);
    const int skipThen = codePosition();
    emit(0);
    Captures close;
    if (!match(kPatternConditionClose, end, close))
        error("If statement found, but no statement follows");
    end = parseStatement(close.end[1], true);
    if (end == kNoMatch)
        error("If statement found, but no statement follows");
    patch(skipThen, codePosition());

    Captures elsePart;
    if (match(kPatternElse, end, elsePart)) {
        const char after = charAt(elsePart.end[2]);
        if (isBlank(after) || after == '{') {
            emit(kOpJump);
            const int skipElse = codePosition();
            emit(0);
            patch(skipThen, codePosition());
            end = parseStatement(elsePart.end[1], true);
            if (end == kNoMatch)
                return kNoMatch;
            patch(skipElse, codePosition());
        }
    }
    return routine.succeed(end);
}

// while: "while" "(" expression ")" statement
int Compiler::parseWhile(int position) {
    Routine routine(*this, position);
    Captures head;
    if (!match(kPatternWhile, routine.at, head))
        return kNoMatch;
    const int loopStart = codePosition();
    ElRef condition;
    int end = parseExpression(head.end[1], condition);
    if (end == kNoMatch)
        error("While statement found, but failed to match the conditional expression");
    emit(kOpJumpIfFalse);
    emitElement(condition);
    const int exitJump = codePosition();
    emit(0);
    Captures close;
    if (!match(kPatternConditionClose, end, close))
        error("While statement found, but no statement follows");
    end = parseStatement(close.end[1], true);
    emit(kOpJump);
    emit(loopStart);
    if (end == kNoMatch)
        error("While statement found, but no statement follows");
    patch(exitJump, codePosition());
    return routine.succeed(end);
}

// for: "for" "(" statement ";" expression ";" statement ")" statement
// The init statement brings its own ";" (none after a block, if, while or
// for); the 3rd statement has none. Its code follows the body's, so it is
// parsed once to find the ")" and again after the body.
int Compiler::parseFor(int position) {
    Routine routine(*this, position);
    Captures head;
    if (!match(kPatternFor, routine.at, head))
        return kNoMatch;
    int end = parseStatement(head.end[1], true);
    if (end == kNoMatch)
        error("Error matching initial statement in for construct");

    const int loopStart = codePosition();
    Attempt loop(*this);
    ElRef condition;
    end = parseExpression(end, condition);
    if (end == kNoMatch)
        error("For statement found, but failed to match the conditional expression");
    emit(kOpJumpIfFalse);
    emitElement(condition);
    const int exitJump = codePosition();
    emit(0);
    end = skipBlanks(end);
    if (charAt(end) != ';')
        error("Missing semicolon in for construct");
    const int stepStart = end + 1;

    end = parseForStep(stepStart);
    if (end == kNoMatch)
        error("Missing 3rd statement in for construct (1)");
    Captures close;
    if (!match(kPatternConditionClose, end, close))
        error("For statement found, but no statement follows");

    const int bodyEnd = parseStatement(close.end[1], true);
    const int stepEnd = parseStatement(stepStart, false);
    emit(kOpJump);
    emit(loopStart);
    if (stepEnd == kNoMatch)
        error("Missing 3rd statement in for construct (2)");
    if (bodyEnd == kNoMatch)
        error("For statement found, but no statement follows");
    patch(exitJump, codePosition());
    loop.commit();
    return routine.succeed(bodyEnd);
}

// Where the 3rd statement of a for construct starting at position ends, or
// kNoMatch; its code is dropped. The end of each start is remembered: a for
// construct inside a 3rd statement is parsed again with it, and without the
// memory each such level would double the work.
int Compiler::parseForStep(int position) {
    for (const StepEnd& known : stepEnds)
        if (known.start == position)
            return known.end;
    int end = kNoMatch;
    {
        Attempt probe(*this);
        end = parseStatement(position, false);
    }
    if (end != kNoMatch)
        stepEnds.add(StepEnd{position, end});
    return end;
}

// return: "return" ( ";" | blank [ expression ] )
// The ";" is left to the statement.
int Compiler::parseReturn(int position) {
    Routine routine(*this, position);
    Captures head;
    if (!match(kPatternReturn, routine.at, head))
        return kNoMatch;
    const int p = skipBlanks(head.end[1]);
    if (charAt(p) == ';') {
        emit(kOpReturn);
        return routine.succeed(p);
    }
    ElRef value;
    const int end = parseExpression(head.end[1], value);
    if (end == kNoMatch)
        return kNoMatch;
    emit(kOpReturnValue);
    emitElement(value);
    return routine.succeed(end);
}

// declaration: type name [ "[" expression "]" ] [ "=" expression ]
// An initial value that does not parse is left to the statement (which then
// finds no ";").
int Compiler::parseDeclaration(int position) {
    Routine routine(*this, position);
    Captures head;
    if (!match(kPatternDeclaration, routine.at, head))
        return kNoMatch;
    const int typeId = typeIdOf(group(head, 1));
    if (typeId < 0)
        error("Undefined type used for variable declaration");
    const String name = group(head, 4);
    if (isReserved(name))
        error("Variable name is reserved");
    ElRef variable;
    variable.kind = kElementVariable;
    variable.index = addVariable(name, typeId);

    int end = head.end[4];
    if (head.matched(7)) {
        ElRef size;
        int e = parseExpression(head.end[7], size);
        emit(kOpDeclareArray);
        emit(typeId);
        emitElement(size);
        if (e == kNoMatch)
            error("Error matching array definition subscript expression");
        e = skipBlanks(e);
        if (charAt(e) != ']')
            error("Missing ] in array definition");
        end = e + 1;
    } else {
        emit(kOpDeclare);
        emit(typeId);
    }

    const int s = skipBlanks(end);
    if (charAt(s) == '=') {
        ElRef value;
        const int e = parseExpression(s + 1, value);
        if (e != kNoMatch) {
            emit(kOpLoad);
            emitElement(variable);
            emitElement(value);
            end = e;
        }
    }
    return routine.succeed(end);
}

// assignment: expression "=" expression
// Any operand can be the target; an array element changes the array.
int Compiler::parseAssignment(int position) {
    Routine routine(*this, position);
    ElRef target;
    int end = parseExpression(routine.at, target);
    if (end == kNoMatch)
        return kNoMatch;
    end = skipBlanks(end);
    if (charAt(end) != '=')
        return kNoMatch;
    ElRef value;
    end = parseExpression(end + 1, value);
    if (end == kNoMatch)
        return kNoMatch;
    emit(kOpLoad);
    emitElement(target);
    emitElement(value);
    return routine.succeed(end);
}

} // namespace Vantor

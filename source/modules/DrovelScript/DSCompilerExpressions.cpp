// The compiler's expressions: five binary levels, prefix operators,
// subscripts, constants, variables, brackets and calls.
//
// Every operator result goes to a new temporary; temporaries are numbered
// across the whole program and never reused. Each binary level parses its
// right operand at the same level, so the operators of one level group to
// the right: a - b - c is a - (b - c).
#include "modules/DrovelScript/DSCompiler.h"

#include "modules/DrovelScript/DSType.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace Vantor {

namespace {

struct OperatorText {
    const char* text;
    int length;
    int id;
};

// Lowest level first; within a level the first whose characters are at the
// position wins, so the two-character comparisons come before ">" and "<".
const OperatorText orOperators[] = {{"||", 2, kOperatorOr}};
const OperatorText andOperators[] = {{"&&", 2, kOperatorAnd}};
const OperatorText comparisonOperators[] = {
    {"==", 2, kOperatorEqual},       {"!=", 2, kOperatorNotEqual}, {">=", 2, kOperatorGreaterOrEqual},
    {"<=", 2, kOperatorLessOrEqual}, {">", 1, kOperatorGreater},   {"<", 1, kOperatorLess}};
const OperatorText additiveOperators[] = {{"+", 1, kOperatorPlus}, {"-", 1, kOperatorMinus}};
const OperatorText multiplicativeOperators[] = {{"*", 1, kOperatorTimes}, {"/", 1, kOperatorDivide}};

struct Level {
    const OperatorText* operators;
    int count;
};

template <int N> constexpr Level levelOf(const OperatorText (&operators)[N]) { return Level{operators, N}; }

const Level binaryLevels[] = {levelOf(orOperators), levelOf(andOperators), levelOf(comparisonOperators),
                              levelOf(additiveOperators), levelOf(multiplicativeOperators)};
constexpr int kBinaryLevelCount = int(sizeof binaryLevels / sizeof binaryLevels[0]);

// Prefix operators before one operand ("- -x", "!-x").
constexpr int kMaxPrefixes = 2;

int prefixOperator(char c) {
    if (c == '-')
        return kOperatorNegate;
    if (c == '!')
        return kOperatorNot;
    return -1;
}

// The int value of a number's text (a minus, blanks, digits); false when it
// lies outside the int range.
bool intValue(const char* s, int n, int& value) {
    bool negative = false;
    long long magnitude = 0;
    const long long limit = (long long)INT_MAX + 1;
    for (int i = 0; i < n; ++i) {
        if (s[i] == '-') {
            negative = true;
        } else if (s[i] >= '0' && s[i] <= '9') {
            magnitude = magnitude * 10 + (s[i] - '0');
            if (magnitude > limit)
                return false;
        }
    }
    if (!negative && magnitude == limit)
        return false;
    value = negative ? int(-magnitude) : int(magnitude);
    return true;
}

// The float value of a number's text; the blanks after its minus are dropped.
float floatValue(const char* s, int n) {
    String digits;
    for (int i = 0; i < n; ++i)
        if (s[i] == '-' || s[i] == '.' || (s[i] >= '0' && s[i] <= '9'))
            digits.append(s[i]);
    return std::strtof(digits.c_str(), nullptr);
}

} // namespace

// or: and [ "||" or ]
// and: comparison [ "&&" and ]
// comparison: additive [ ( "==" | "!=" | ">=" | "<=" | ">" | "<" ) comparison ]
// additive: multiplicative [ ( "+" | "-" ) additive ]
// multiplicative: unary [ ( "*" | "/" ) multiplicative ]
int Compiler::parseBinary(int level, int position, ElRef& result) {
    Routine routine(*this, position);
    ElRef left;
    const int end = level + 1 < kBinaryLevelCount ? parseBinary(level + 1, routine.at, left)
                                                  : parseUnary(routine.at, left);
    if (end == kNoMatch)
        return kNoMatch;
    const int p = skipBlanks(end);
    const OperatorText* found = nullptr;
    if (!atEnd(p)) {
        const Level& operators = binaryLevels[level];
        for (int i = 0; i < operators.count && !found; ++i) {
            const OperatorText& candidate = operators.operators[i];
            if (text.length - p >= candidate.length &&
                std::memcmp(text.c_str() + p, candidate.text, size_t(candidate.length)) == 0)
                found = &candidate;
        }
    }
    if (!found) {
        result = left;
        return routine.succeed(end);
    }
    ElRef right;
    const int rightEnd = parseBinary(level, p + found->length, right);
    if (rightEnd == kNoMatch)
        error("Bad expression");
    const ElRef temporary = newTemporary();
    emit(kOpBinary);
    emit(found->id);
    emitElement(temporary);
    emitElement(left);
    emitElement(right);
    result = temporary;
    return routine.succeed(rightEnd);
}

// unary: [ "-" | "!" ] [ "-" | "!" ] primary { "[" expression "]" }
// A minus right before a number is the number's sign, not an operator.
int Compiler::parseUnary(int position, ElRef& result) {
    Routine routine(*this, position);
    int prefixes[kMaxPrefixes];
    int prefixAt[kMaxPrefixes];
    int count = 0;
    int p = routine.at;
    while (count < kMaxPrefixes && prefixOperator(charAt(p)) >= 0) {
        prefixAt[count] = p;
        prefixes[count++] = prefixOperator(charAt(p));
        p = count < kMaxPrefixes ? skipBlanks(p + 1) : p + 1;
    }

    ElRef operand;
    int end = kNoMatch;
    if (count > 0 && prefixes[count - 1] == kOperatorNegate) {
        end = parseNumber(prefixAt[count - 1], operand);
        if (end != kNoMatch)
            --count;
    }
    if (end == kNoMatch)
        end = parsePrimary(p, operand);
    if (end == kNoMatch)
        return kNoMatch;

    for (;;) {
        int s = skipBlanks(end);
        if (charAt(s) != '[')
            break;
        ElRef index;
        s = parseExpression(s + 1, index);
        if (s == kNoMatch)
            error("Index expression not found within []");
        const ElRef temporary = newTemporary();
        emit(kOpElement);
        emitElement(temporary);
        emitElement(operand);
        emitElement(index);
        operand = temporary;
        s = skipBlanks(s);
        if (charAt(s) != ']')
            error("closing ] not found after array subscript");
        end = s + 1;
    }
    if (charAt(skipBlanks(end)) == '.')
        error("todo: element vector .xyzw attributes");

    for (int i = count - 1; i >= 0; --i) {
        const ElRef temporary = newTemporary();
        emit(kOpUnary);
        emit(prefixes[i]);
        emitElement(temporary);
        emitElement(operand);
        operand = temporary;
    }
    result = operand;
    return routine.succeed(end);
}

// primary: constant | call | variable | "(" expression ")"
// A name followed by "(" is always a call.
int Compiler::parsePrimary(int position, ElRef& result) {
    Routine routine(*this, position);
    int end = parseConstant(routine.at, result);
    if (end == kNoMatch)
        end = parseCall(routine.at, &result);
    if (end == kNoMatch)
        end = parseVariable(routine.at, result);
    if (end == kNoMatch)
        end = parseBracketed(routine.at, result);
    if (end == kNoMatch)
        return kNoMatch;
    return routine.succeed(end);
}

// constant: number | "true" | "false" | string
// "true" and "false" need nothing after them: trueValue is true, then Value.
int Compiler::parseConstant(int position, ElRef& result) {
    Routine routine(*this, position);
    int end = parseNumber(routine.at, result);
    if (end != kNoMatch)
        return routine.succeed(end);
    Captures word;
    const bool isTrue = match(kPatternTrue, routine.at, word);
    if (isTrue || match(kPatternFalse, routine.at, word)) {
        DSVarPtr cell = newVariable();
        cell->setType(dsBoolType);
        cell->set(isTrue);
        result = addConstant(cell);
        return routine.succeed(word.end[1]);
    }
    end = parseString(routine.at, result);
    if (end == kNoMatch)
        return kNoMatch;
    return routine.succeed(end);
}

// number: [ "-" ] { blank } digit { digit } [ "." digit { digit } ]
// An int unless it has the fraction part.
int Compiler::parseNumber(int position, ElRef& result) {
    Routine routine(*this, position);
    Captures number;
    if (!match(kPatternNumber, routine.at, number))
        return kNoMatch;
    const char* digits = text.c_str() + number.start[1];
    const int length = number.end[1] - number.start[1];
    DSVarPtr cell = newVariable();
    if (number.end[1] == number.end[2]) {
        int value = 0;
        if (!intValue(digits, length, value))
            error("Integer constant out of range");
        cell->setType(dsIntType);
        cell->set(value);
    } else {
        cell->setType(dsFloatType);
        cell->set(floatValue(digits, length));
    }
    result = addConstant(cell);
    return routine.succeed(number.end[1]);
}

// string: '"' { character | "\" ( '"' | "0" | "\" | "n" | "r" | "t" ) } '"'
int Compiler::parseString(int position, ElRef& result) {
    Routine routine(*this, position);
    int p = routine.at;
    if (charAt(p) != '"')
        return kNoMatch;
    ++p;
    String value;
    for (;;) {
        int run = p;
        while (!atEnd(run) && text.chars.data[run] != '"' && text.chars.data[run] != '\\')
            ++run;
        value.append(text.c_str() + p, run - p);
        p = run;
        if (atEnd(p))
            error("Error reading string constant");
        if (text.chars.data[p] == '"')
            break;
        ++p;
        if (atEnd(p))
            error("Error reading string constant");
        switch (text.chars.data[p]) {
        case '"':
            value.append('"');
            break;
        case '0':
            value.append('\0');
            break;
        case '\\':
            value.append('\\');
            break;
        case 'n':
            value.append('\n');
            break;
        case 'r':
            value.append('\r');
            break;
        case 't':
            value.append('\t');
            break;
        default:
            error("Unrecognised character escape sequence");
        }
        ++p;
    }
    DSVarPtr cell = newVariable();
    cell->setType(dsStringType);
    *DSString::getString(*cell) = value;
    result = addConstant(cell);
    return routine.succeed(p + 1);
}

// variable: letter { letter | digit }
int Compiler::parseVariable(int position, ElRef& result) {
    Routine routine(*this, position);
    Captures name;
    if (!match(kPatternVariable, routine.at, name))
        return kNoMatch;
    const int index = findVariable(group(name, 1));
    if (index < 0)
        error("Variable not found");
    result.kind = kElementVariable;
    result.index = index;
    return routine.succeed(name.end[1]);
}

// bracketed: "(" expression ")"
int Compiler::parseBracketed(int position, ElRef& result) {
    Routine routine(*this, position);
    if (charAt(routine.at) != '(')
        return kNoMatch;
    int end = parseExpression(routine.at + 1, result);
    if (end == kNoMatch)
        return kNoMatch;
    end = skipBlanks(end);
    if (charAt(end) != ')')
        error("Unclosed brackets");
    return routine.succeed(end + 1);
}

// call: name "(" [ expression { "," expression } ] ")"
// The name is looked up among the script's own functions and the dialect's;
// which overload runs is decided by the argument types at run time.
int Compiler::parseCall(int position, ElRef* result) {
    Routine routine(*this, position);
    Captures head;
    if (!match(kPatternCallHead, routine.at, head))
        return kNoMatch;
    const String name = group(head, 1);
    const int programRow = program->findFunctionRow(name);
    const int dialectRow = dialect->findFunctionRow(name);
    if (programRow < 0 && dialectRow < 0) {
        String message("Function \"");
        message.append(name);
        message.append("(...)\" not found");
        error(message);
    }

    ArrayList<ElRef> arguments;
    int p = head.end[4];
    Captures close;
    if (!match(kPatternCallClose, p, close)) {
        for (;;) {
            ElRef argument;
            const int end = parseExpression(p, argument);
            if (end == kNoMatch)
                error("Missing parameter");
            arguments.add(argument);
            const int s = skipBlanks(end);
            p = end;
            if (charAt(s) != ',')
                break;
            p = s + 1;
        }
        if (!match(kPatternCallClose, p, close))
            error("Closing bracket not found");
    }
    p = close.end[1];

    for (const ElRef& argument : arguments) {
        emit(kOpPushArg);
        emitElement(argument);
    }
    emit(kOpCall);
    emit(programRow < 0 ? kNoFunctionRow : programRow);
    emit(dialectRow < 0 ? kNoFunctionRow : dialectRow);
    if (result) {
        *result = newTemporary();
        emit(kOpLoadref);
        emitElement(*result);
        ElRef returnRegister;
        returnRegister.kind = kElementReturnRegister;
        emitElement(returnRegister);
    }
    return routine.succeed(p);
}

} // namespace Vantor

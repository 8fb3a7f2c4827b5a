// The compiler's driver: preprocessing, the two passes over function
// declarations and bodies (or the top-level statements), attempts, pattern
// matching, line counting, errors, and the code dump for tests and tools.
#include "modules/DrovelScript/DSCompiler.h"

#include "Core/WinAppFramework/Exception.h"

#include <boost/regex.hpp>

#include <stdexcept>

namespace Vantor {

namespace {

const char* const sourceFile = "source\\modules\\DrovelScript\\DSCompiler";
constexpr int lineDuplicateVariable = 180;
constexpr int lineError = 1371;

// The patterns, in the order of Compiler::Pattern. Each is matched against
// the whole rest of the text; "." matches newlines too.
const char* const patternTexts[] = {
    R"((((-)?(\s)*(\d)+)(\.(\d)+)?)(.*))",
    R"(((\s)*true)(.*))",
    R"(((\s)*false)(.*))",
    R"((([a-zA-Z])([a-zA-Z0-9])*)(.*))",
    R"((([a-zA-Z])([a-zA-Z0-9])*)((\s)*\()(.*))",
    R"(((\s)*\))(\s)*(.*))",
    R"(([a-zA-Z]([a-zA-Z0-9])*)(\s)+([a-zA-Z]([a-zA-Z0-9])*)(\s)*(\[)?(.*))",
    R"(((\s)*\))(.*))",
    R"(((\s)*if(\s)*\((\s)*)(.*))",
    R"((((\s)*else)(\s)*)(.*))",
    R"(((\s)*while(\s)*\((\s)*)(.*))",
    R"(((\s)*for(\s)*\((\s)*)(.*))",
    R"(((\s)*\{(\s)*)(.*))",
    R"(([a-zA-Z]([a-zA-Z0-9])*)(\s)+([a-zA-Z]([a-zA-Z0-9])*)(\s)*(\()(\s)*(.*))",
    R"(([a-zA-Z]([a-zA-Z0-9])*)(\s)+([a-zA-Z]([a-zA-Z0-9])*)(\s)*(.*))",
    R"(((\s)*return)(;|(\s)+)(.*))",
};

// Every pattern compiled once, on first use.
const boost::regex* compiledPatterns() {
    static const struct Table {
        boost::regex patterns[sizeof patternTexts / sizeof patternTexts[0]];
        Table() {
            for (unsigned i = 0; i < sizeof patternTexts / sizeof patternTexts[0]; ++i)
                patterns[i].assign(patternTexts[i], boost::regex::perl | boost::regex::mod_s);
        }
    } table;
    return table.patterns;
}

const char* const reservedWordTexts[] = {"if", "while", "for"};

} // namespace

// The match results are kept between matches so that matching allocates nothing.
struct Compiler::MatchState {
    boost::cmatch results;
};

Compiler::Compiler() : matchState(new MatchState) {
    static_assert(sizeof patternTexts / sizeof patternTexts[0] == kPatternCount, "one text per pattern");
    for (const char* word : reservedWordTexts)
        reservedWords.add(String(word));
    // Attempts cut these lists back; keeping their storage makes that free of allocation.
    code.autoShrink = false;
    variables.autoShrink = false;
}

Compiler::~Compiler() = default;

Compiler::Attempt::Attempt(Compiler& owner)
    : compiler(owner), codeSize(owner.code.size), tempCounter(owner.tempCounter),
      variableCount(owner.variables.size) {}

Compiler::Attempt::~Attempt() {
    if (committed)
        return;
    if (compiler.code.size > codeSize)
        compiler.code.resize(codeSize);
    compiler.tempCounter = tempCounter;
    if (compiler.variables.size > variableCount)
        compiler.variables.resize(variableCount);
}

Compiler::Routine::Routine(Compiler& owner, int position)
    : at(owner.skipBlanks(position)), compiler(owner), attempt(owner) {
    owner.advanceLine(at);
    if (owner.recordLines)
        owner.program->setLine(owner.codePosition(), owner.lineNumber);
    if (owner.depth >= kMaxParseDepth)
        owner.error("Statements or expressions nested too deeply");
    ++owner.depth;
}

Compiler::Routine::~Routine() { --compiler.depth; }

void Compiler::compile(const String& source, Dialect& targetDialect, Program& target, bool statementMode) {
    program = &target;
    dialect = &targetDialect;
    target = Program();
    target.statementMode = statementMode;
    target.dialect = &targetDialect;
    mainPosition = -1;
    mainFunction = -1;
    code.clear();
    tempCounter = -1;
    variables.clear();
    lineScan = 0;
    lineNumber = 1;
    recordLines = true;
    functionCounter = 0;
    depth = 0;
    stepEnds.clear();
    try {
        text = preprocess(source);
        if (statementMode) {
            readStatements();
        } else {
            declareFunctions();
            compileFunctions();
            mainPosition = program->getFunction(mainFunction).entry;
        }
        emit(kOpReturn);
        target.code = code;
        target.code.autoShrink = true;
        target.start = mainPosition;
        target.valid = true;
    } catch (Exception& e) {
        String message;
        message.appendFormat("DrovelScript compile error at line %d\n", lineNumber);
        message.append(e.message);
        e.message = message;
        target = Program();
        target.statementMode = statementMode;
        target.dialect = &targetDialect;
        throw;
    }
}

String Compiler::preprocess(const String& source) {
    const char* s = source.c_str();
    const int n = source.length;
    String out;
    bool inString = false;
    int i = 0;
    while (i < n) {
        const char c = s[i];
        if (inString) {
            // An escaped character, quote or not, is part of the string.
            if (c == '\\' && i + 1 < n) {
                out.append(s + i, 2);
                i += 2;
                continue;
            }
            if (c == '"')
                inString = false;
            out.append(c);
            ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            // The newline that ends the comment is copied as text.
            i += 2;
            while (i < n && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            i += 2;
            while (i < n && !(s[i] == '*' && i + 1 < n && s[i + 1] == '/')) {
                if (s[i] == '\n')
                    out.append('\n');
                ++i;
            }
            i = i < n ? i + 2 : n;
        } else {
            if (c == '"')
                inString = true;
            out.append(c);
            ++i;
        }
    }
    return out;
}

int Compiler::addVariable(const String& name, int typeId) {
    if (findVariable(name) >= 0) {
        String message("Variable \"");
        message.append(name);
        message.append("\" already declared");
        throw Exception(message, "Vantor::Compiler::addVariable", sourceFile, lineDuplicateVariable);
    }
    VariableName variable;
    variable.name = name;
    variable.typeId = typeId;
    variable.index = int(variables.size);
    variables.add(variable);
    return variable.index;
}

void Compiler::error(const String& message) {
    throw Exception(message, "Vantor::Compiler::error", sourceFile, lineError);
}

int Compiler::skipBlanks(int position) const {
    while (position < text.length && isBlank(text.chars.data[position]))
        ++position;
    return position;
}

bool Compiler::match(Pattern pattern, int position, Captures& captures) {
    const char* const base = text.c_str();
    boost::cmatch& results = matchState->results;
    bool found = false;
    try {
        found = boost::regex_match(base + position, base + text.length, results, compiledPatterns()[pattern],
                                   boost::match_default);
    } catch (const std::runtime_error& e) {
        // The matcher gives up on very long runs of one token (tens of
        // thousands of letters or blanks); the text cannot be read here.
        String message("Source text cannot be matched here: ");
        message.append(e.what());
        error(message);
    }
    if (!found)
        return false;
    for (int g = 0; g < Captures::kMaxGroups; ++g) {
        if (unsigned(g) < results.size() && results[g].matched) {
            captures.start[g] = int(results[g].first - base);
            captures.end[g] = int(results[g].second - base);
        } else {
            captures.start[g] = -1;
            captures.end[g] = -1;
        }
    }
    return true;
}

void Compiler::advanceLine(int position) {
    if (position <= lineScan)
        return;
    for (int i = lineScan; i < position; ++i)
        if (text.chars.data[i] == '\n')
            ++lineNumber;
    lineScan = position;
}

int Compiler::typeIdOf(const String& name) const {
    for (unsigned i = 0; i < dialect->types.size; ++i)
        if (dialect->types[i] && dialect->types[i]->name == name)
            return int(i);
    return -1;
}

bool Compiler::isReserved(const String& name) const {
    for (const String& word : reservedWords)
        if (word == name)
            return true;
    return typeIdOf(name) >= 0;
}

int Compiler::findVariable(const String& name) const {
    for (const VariableName& variable : variables)
        if (variable.name == name)
            return variable.index;
    return -1;
}

void Compiler::emitElement(const ElRef& element) {
    emit(element.kind);
    if (element.index != -1)
        emit(element.index);
}

ElRef Compiler::newTemporary() {
    ElRef temporary;
    temporary.kind = kElementTemporary;
    temporary.index = ++tempCounter;
    return temporary;
}

ElRef Compiler::addConstant(const DSVarPtr& cell) {
    ElRef constant;
    constant.kind = kElementConstant;
    constant.index = program->addConstant(cell);
    return constant;
}

// program (statement mode): { statement ";" }
void Compiler::readStatements() {
    mainPosition = 0;
    int position = 0;
    for (;;) {
        position = skipBlanks(position);
        if (atEnd(position)) {
            emit(kOpReturn);
            return;
        }
        const int end = parseStatement(position, true);
        if (end == kNoMatch)
            error("Error reading statement");
        position = end;
    }
}

// program (pass 1): { type name "(" [ parameter { "," parameter } ] ")" "{" ... "}" }
// Files every function's signature, so that calls may come before the
// function they call, and finds main; the bodies are only skipped.
void Compiler::declareFunctions() {
    recordLines = false;
    const int arrayType = typeIdOf("Array");
    int position = 0;
    for (;;) {
        position = skipBlanks(position);
        if (atEnd(position)) {
            if (mainFunction < 0)
                error("No main function found");
            break;
        }
        Routine routine(*this, position);
        FunctionHead head;
        int end = readFunctionHead(routine.at, head);
        Function signature;
        signature.parameterTypes = head.parameterTypes;
        signature.returnType = head.returnType;
        signature.entry = -1;
        const int index = program->addFunction(signature, head.name);
        if (head.name == "main") {
            if (head.parameterTypes.size != 1)
                error("main() can only have one parameter");
            if (head.parameterTypes[0] != arrayType)
                error("main() parameter must be of Array type");
            mainFunction = index;
        }
        end = skipFunctionBody(end);
        if (end == kNoMatch)
            error("Error reading function declaration");
        position = routine.succeed(end);
    }
    recordLines = true;
}

// program (pass 2): { type name "(" [ parameter { "," parameter } ] ")" block }
// Compiles the bodies in text order; function i of pass 1 gets its entry here.
void Compiler::compileFunctions() {
    lineScan = 0;
    lineNumber = 1;
    functionCounter = 0;
    int position = 0;
    for (;;) {
        position = skipBlanks(position);
        if (atEnd(position))
            return;
        variables.clear();
        Routine routine(*this, position);
        FunctionHead head;
        const int bodyStart = readFunctionHead(routine.at, head);
        program->getFunction(functionCounter).entry = codePosition();
        for (unsigned i = 0; i < head.parameterNames.size; ++i)
            addVariable(head.parameterNames[i], head.parameterTypes[i]);
        const int end = parseBlock(bodyStart);
        if (end == kNoMatch)
            error("Error reading block");
        emit(kOpReturn);
        ++functionCounter;
        position = routine.succeed(end);
    }
}

// function head: type name "(" [ type name { "," type name } ] ")"
// Returns the position after the ")"; every way it can fail is an error.
int Compiler::readFunctionHead(int position, FunctionHead& head) {
    Captures captures;
    if (!match(kPatternFunctionHead, position, captures))
        error("Error reading function declaration");
    head.name = group(captures, 4);
    if (isReserved(head.name))
        error("Function name is reserved");
    head.returnType = typeIdOf(group(captures, 1));
    if (head.returnType < 0)
        error("Function declaration has undefined return type");

    int p = skipBlanks(captures.end[7]);
    if (charAt(p) == ')')
        return p + 1;
    for (;;) {
        p = skipBlanks(p);
        Captures parameter;
        if (!match(kPatternParameter, p, parameter))
            error("Syntax error reading function declaration parameters");
        const int type = typeIdOf(group(parameter, 1));
        if (type < 0)
            error("Parameter type is undeclared");
        head.parameterTypes.add(type);
        head.parameterNames.add(group(parameter, 4));
        p = skipBlanks(parameter.end[4]);
        if (charAt(p) != ',')
            break;
        ++p;
    }
    if (charAt(p) != ')')
        error("Error parsing function declaration: missing )");
    return p + 1;
}

// The position after the "}" that closes the body starting (after blanks)
// at position, or kNoMatch. Braces inside string constants do not count;
// when a string is left open, every brace counts, so that the body ends
// somewhere and pass 2 reports the string itself.
int Compiler::skipFunctionBody(int position) {
    const int start = skipBlanks(position);
    if (charAt(start) != '{')
        return kNoMatch;
    for (int skipStrings = 1; skipStrings >= 0; --skipStrings) {
        int open = 0;
        int p = start;
        while (!atEnd(p)) {
            const char c = text.chars.data[p];
            if (c == '"' && skipStrings) {
                ++p;
                while (!atEnd(p) && text.chars.data[p] != '"')
                    p += text.chars.data[p] == '\\' ? 2 : 1;
                if (atEnd(p))
                    break;
            } else if (c == '{') {
                ++open;
            } else if (c == '}' && --open == 0) {
                return p + 1;
            }
            ++p;
        }
    }
    return kNoMatch;
}

namespace {

const char* const opcodeNames[] = {"element",      "unary",       "jumpIfFalse", "jump", "declare",
                                   "declareArray", "call",        "binary",      "load", "loadref",
                                   "return",       "returnValue", "pushArg"};

const char* operatorText(int id) {
    switch (id) {
    case kOperatorNot:
        return "!";
    case kOperatorNegate:
        return "-";
    case kOperatorPlus:
        return "+";
    case kOperatorMinus:
        return "-";
    case kOperatorAnd:
        return "&&";
    case kOperatorOr:
        return "||";
    case kOperatorEqual:
        return "==";
    case kOperatorGreater:
        return ">";
    case kOperatorNotEqual:
        return "!=";
    case kOperatorLess:
        return "<";
    case kOperatorGreaterOrEqual:
        return ">=";
    case kOperatorLessOrEqual:
        return "<=";
    case kOperatorTimes:
        return "*";
    case kOperatorDivide:
        return "/";
    default:
        return nullptr;
    }
}

// Reads words off a code list; past the end it says so instead of reading.
struct CodeReader {
    const ArrayList<int>& code;
    unsigned position;
    bool truncated = false;

    bool next(int& word) {
        if (position >= code.size) {
            truncated = true;
            return false;
        }
        word = code[position++];
        return true;
    }
};

void appendElement(String& out, CodeReader& reader) {
    int kind = 0;
    int index = 0;
    if (!reader.next(kind))
        return;
    out.append(' ');
    switch (kind) {
    case kElementReturnRegister:
        out.append("ret");
        return;
    case kElementConstant:
        out.append('c');
        break;
    case kElementVariable:
        out.append('v');
        break;
    case kElementTemporary:
        out.append('t');
        break;
    default:
        out.appendFormat("?%d", kind);
        return;
    }
    if (reader.next(index))
        out.appendFormat("%d", index);
}

void appendType(String& out, const Program& program, int typeId) {
    if (program.dialect && typeId >= 0 && unsigned(typeId) < program.dialect->types.size &&
        program.dialect->types[unsigned(typeId)])
        out.appendFormat(" %s", program.dialect->types[unsigned(typeId)]->name.c_str());
    else
        out.appendFormat(" %d", typeId);
}

void appendOperator(String& out, int id) {
    const char* textOf = operatorText(id);
    if (textOf)
        out.appendFormat(" %s", textOf);
    else
        out.appendFormat(" op%d", id);
}

void appendRowName(String& out, const FunctionTable& table, int row) {
    if (row >= 0 && unsigned(row) < table.rows.size)
        out.appendFormat(" %s", table.rows[unsigned(row)].name.c_str());
    else
        out.appendFormat(" %d", row);
}

} // namespace

String dumpWords(const ArrayList<int>& code) {
    String out;
    for (unsigned i = 0; i < code.size; ++i) {
        if (i > 0)
            out.append(' ');
        out.appendFormat("%d", code[i]);
    }
    return out;
}

String disassemble(const Program& program) {
    String out;
    CodeReader reader{program.code, 0};
    while (reader.position < program.code.size) {
        const unsigned at = reader.position;
        int opcode = 0;
        int word = 0;
        reader.next(opcode);
        if (opcode < 0 || opcode > kOpPushArg) {
            out.appendFormat("%u: ?%d\n", at, opcode);
            continue;
        }
        out.appendFormat("%u: %s", at, opcodeNames[opcode]);
        switch (opcode) {
        case kOpElement:
            for (int i = 0; i < 3; ++i)
                appendElement(out, reader);
            break;
        case kOpUnary:
            if (reader.next(word))
                appendOperator(out, word);
            appendElement(out, reader);
            appendElement(out, reader);
            break;
        case kOpJumpIfFalse:
            appendElement(out, reader);
            if (reader.next(word))
                out.appendFormat(" %d", word);
            break;
        case kOpJump:
            if (reader.next(word))
                out.appendFormat(" %d", word);
            break;
        case kOpDeclare:
            if (reader.next(word))
                appendType(out, program, word);
            break;
        case kOpDeclareArray:
            if (reader.next(word))
                appendType(out, program, word);
            appendElement(out, reader);
            break;
        case kOpCall:
            if (reader.next(word))
                appendRowName(out, program.functionTable, word);
            if (reader.next(word)) {
                if (program.dialect)
                    appendRowName(out, program.dialect->functionTable, word);
                else
                    out.appendFormat(" %d", word);
            }
            break;
        case kOpBinary:
            if (reader.next(word))
                appendOperator(out, word);
            for (int i = 0; i < 3; ++i)
                appendElement(out, reader);
            break;
        case kOpLoad:
        case kOpLoadref:
            appendElement(out, reader);
            appendElement(out, reader);
            break;
        case kOpReturnValue:
        case kOpPushArg:
            appendElement(out, reader);
            break;
        default:
            break;
        }
        if (reader.truncated)
            out.append(" <end of code>");
        out.append('\n');
    }
    return out;
}

} // namespace Vantor

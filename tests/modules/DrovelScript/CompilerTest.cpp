// The compiler: the exact words of every statement and expression form, the
// two modes, preprocessing, line numbers, every compile error, the limits
// that keep hostile text from crashing it, and a few compiled programs run on
// the virtual machine to show that the words mean what they should.
#include "modules/DrovelScript/DSCompiler.h"

#include "DrovelTestSupport.h"
#include "modules/DrovelScript/StandardDialect.h"
#include "modules/DrovelScript/VirtualMachine.h"
#include "modules/gui/Console.h"

#include <memory>
#include <string>

using namespace Vantor;
using namespace Vantor::test;

namespace {

constexpr bool kStatements = true;
constexpr bool kFunctions = false;

class CompilerTest : public DrovelTest {
protected:
    void SetUp() override { dialect = StandardDialect::getInstance(); }
    void TearDown() override {
        program.reset();
        DrovelTest::TearDown();
    }

    Program& compile(const std::string& source, bool statementMode) {
        program = std::make_unique<Program>();
        Compiler::getInstance()->compile(source.c_str(), *dialect, *program, statementMode);
        return *program;
    }

    // The words of a statement-mode source.
    std::string words(const std::string& source, bool statementMode = kStatements) {
        return text(dumpWords(compile(source, statementMode).code));
    }

    Exception failure(const std::string& source, bool statementMode) {
        return thrownBy([&] { compile(source, statementMode); });
    }

    std::string errorText(const std::string& source, bool statementMode) {
        return text(failure(source, statementMode).message);
    }

    int row(const char* name) const { return dialect->findFunctionRow(name); }

    int constantInt(int index) { return program->getConstant(index)->get<int>(); }
    float constantFloat(int index) { return program->getConstant(index)->get<float>(); }
    std::string constantString(int index) { return text(*DSString::getString(*program->getConstant(index))); }

    StandardDialect* dialect = nullptr;
    std::unique_ptr<Program> program;
};

std::string prefixed(int line, const std::string& message) {
    return "DrovelScript compile error at line " + std::to_string(line) + "\n" + message;
}

} // namespace

// The examples of the instruction format, word for word.
TEST_F(CompilerTest, WorkedExamplesCompileToTheirWords) {
    // int x = 1 + 2 as the first statement of a function without parameters.
    compile("void f() { int x = 1 + 2; } void main(Array a) { f(); }", kFunctions);
    EXPECT_EQ(text(dumpWords(program->code)), "4 4 7 40 3 0 0 0 0 1 8 1 0 3 0 10 6 0 -1 10 10");
    ASSERT_GE(program->constants.size, 2u);
    EXPECT_EQ(constantInt(0), 1);
    EXPECT_EQ(constantInt(1), 2);

    // if (x < 3) y = 1; starting at code position s = 2: the jump goes to s + 17.
    compile("void g() { return; }\n"
            "void f(int x, int y) { if (x < 3) y = 1; }\n"
            "void main(Array a) { g(); }",
            kFunctions);
    EXPECT_EQ(program->getFunction(1).entry, 2);
    EXPECT_EQ(text(dumpWords(program->code)), "10 10 7 47 3 0 1 0 0 0 2 3 0 19 8 1 1 0 1 10 6 0 -1 10 10");
    EXPECT_EQ(constantInt(0), 3);
    EXPECT_EQ(constantInt(1), 1);

    // A call statement is first tried as an assignment, so its String
    // constant is added twice and the code pushes the second copy.
    EXPECT_EQ(words("print(\"hi\");"), "12 0 1 6 -1 " + std::to_string(row("print")) + " 10 10");
    ASSERT_EQ(program->constants.size, 2u);
    EXPECT_EQ(constantString(0), "hi");
    EXPECT_EQ(constantString(1), "hi");
}

TEST_F(CompilerTest, OperatorsOfOneLevelGroupToTheRight) {
    // 10 - (4 - 3): the inner difference is temporary 0.
    EXPECT_EQ(words("int x; x = 10 - 4 - 3;"), "4 4 7 41 3 0 0 1 0 2 7 41 3 1 0 0 3 0 8 1 0 3 1 10 10");
    // (2 * 3) + 4: the product binds tighter.
    EXPECT_EQ(words("int x; x = 2 * 3 + 4;"), "4 4 7 50 3 0 0 0 0 1 7 40 3 1 3 0 0 2 8 1 0 3 1 10 10");
    // The levels, lowest first: || && comparison additive multiplicative.
    EXPECT_EQ(words("bool b; b = 1 < 2 || 3 == 4 && 5 >= 6;"),
              "4 2 7 47 3 0 0 0 0 1 7 44 3 1 0 2 0 3 7 48 3 2 0 4 0 5 7 42 3 3 3 1 3 2 7 43 3 4 3 0 3 3 8 1 "
              "0 3 4 10 10");
}

TEST_F(CompilerTest, EveryOperatorHasItsId) {
    const struct {
        const char* text;
        int id;
    } operators[] = {{"||", 43}, {"&&", 42}, {"==", 44}, {"!=", 46}, {">=", 48}, {"<=", 49},
                     {">", 45},  {"<", 47},  {"+", 40},  {"-", 41},  {"*", 50},  {"/", 51}};
    for (const auto& o : operators) {
        EXPECT_EQ(words(std::string("int x; x = 1 ") + o.text + " 2;"),
                  "4 4 7 " + std::to_string(o.id) + " 3 0 0 0 0 1 8 1 0 3 0 10 10")
            << o.text;
    }
}

TEST_F(CompilerTest, MinusBeforeANumberIsItsSign) {
    // The declaration's value is the constant -5; no unary instruction.
    EXPECT_EQ(words("int x = -5;"), "4 4 8 1 0 0 0 10 10");
    EXPECT_EQ(constantInt(0), -5);
    // Blanks may stand between the sign and the digits.
    EXPECT_EQ(words("int x = - 5;"), "4 4 8 1 0 0 0 10 10");
    EXPECT_EQ(constantInt(0), -5);
    EXPECT_EQ(words("float f = -2.5;"), "4 5 8 1 0 0 0 10 10");
    EXPECT_EQ(constantFloat(0), -2.5f);
    // Before a variable it is the negation operator.
    EXPECT_EQ(words("int y; int x; x = - y;"), "4 4 4 4 1 38 3 0 1 0 8 1 1 3 0 10 10");
    // Two prefixes: the inner minus belongs to the number, the outer negates it.
    EXPECT_EQ(words("int x; x = - -5;"), "4 4 1 38 3 0 0 0 8 1 0 3 0 10 10");
    EXPECT_EQ(constantInt(0), -5);
    // Prefixes apply innermost first, after the subscripts.
    EXPECT_EQ(words("bool b; b = !!b;"), "4 2 1 37 3 0 1 0 1 37 3 1 3 0 8 1 0 3 1 10 10");
    EXPECT_EQ(words("Array a; int x; x = -a[0];"), "4 6 4 4 0 3 0 1 0 0 0 1 38 3 1 3 0 8 1 1 3 1 10 10");
    // A minus after an operand is the binary operator.
    EXPECT_EQ(words("int x; x = x -1;"), "4 4 7 41 3 0 1 0 0 0 8 1 0 3 0 10 10");
}

TEST_F(CompilerTest, ConstantsOfEveryKind) {
    const struct {
        const char* value;
        int typeId;
    } constants[] = {{"42", kIntTypeId},
                     {"1.5", kFloatTypeId},
                     {"true", kBoolTypeId},
                     {"false", kBoolTypeId},
                     {"\"s\"", kStringTypeId}};
    for (const auto& c : constants) {
        compile(std::string("object o; o = ") + c.value + ";", kStatements);
        ASSERT_EQ(program->constants.size, 1u) << c.value;
        EXPECT_EQ(program->getConstant(0)->typeId, c.typeId) << c.value;
    }
    compile("bool b = true; b = false;", kStatements);
    EXPECT_TRUE(program->getConstant(0)->get<bool>());
    EXPECT_FALSE(program->getConstant(1)->get<bool>());

    const struct {
        const char* text;
        int value;
    } ints[] = {{"0", 0}, {"007", 7}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}};
    for (const auto& i : ints) {
        compile(std::string("int x = ") + i.text + ";", kStatements);
        EXPECT_EQ(program->getConstant(0)->typeId, kIntTypeId) << i.text;
        EXPECT_EQ(constantInt(0), i.value) << i.text;
    }
    compile("float f = 0.125;", kStatements);
    EXPECT_EQ(constantFloat(0), 0.125f);
}

TEST_F(CompilerTest, StringEscapes) {
    const struct {
        const char* source;
        std::string value;
    } strings[] = {
        {R"(print("plain");)", "plain"},
        {R"(print("a\"b");)", "a\"b"},
        {R"(print("a\\b");)", "a\\b"},
        {R"(print("\n\r\t");)", "\n\r\t"},
        {R"(print("x\0y");)", std::string("x\0y", 3)},
        {"print(\"two\nlines\");", "two\nlines"},
        {R"(print("");)", ""},
    };
    for (const auto& s : strings) {
        compile(s.source, kStatements);
        ASSERT_EQ(program->constants.size, 2u) << s.source;
        EXPECT_EQ(constantString(1), s.value) << s.source;
    }
}

TEST_F(CompilerTest, TrueAndFalseNeedNothingAfterThem) {
    // trueValue reads as the constant true followed by Value, so the
    // variable cannot be used (its declaration is fine).
    EXPECT_EQ(errorText("bool trueValue; trueValue = true;", kStatements),
              prefixed(1, "Error reading statement"));
    EXPECT_EQ(words("bool b; b = true;"), "4 2 8 1 0 0 0 10 10");
}

TEST_F(CompilerTest, CallsPushTheirArgumentsThenCall) {
    // As an operand the result goes to a temporary through loadref.
    EXPECT_EQ(words("Array a; int n; n = size(a);"),
              "4 6 4 4 12 1 0 6 -1 " + std::to_string(row("size")) + " 9 3 0 2 8 1 1 3 0 10 10");
    // Nested calls: the inner call's result is pushed from its temporary.
    const std::string vector = std::to_string(row("Vector"));
    const std::string print = std::to_string(row("print"));
    EXPECT_EQ(words("print(Vector(1.0, 2.0 , 3.0,4.0));"),
              "12 0 4 12 0 5 12 0 6 12 0 7 6 -1 " + vector + " 9 3 0 2 12 3 0 6 -1 " + print + " 10 10");
    EXPECT_EQ(constantFloat(7), 4.0f);
    // No arguments.
    EXPECT_EQ(words("cls();"), "6 -1 " + std::to_string(row("cls")) + " 10 10");
    EXPECT_EQ(words("cls ( ) ;"), "6 -1 " + std::to_string(row("cls")) + " 10 10");
}

TEST_F(CompilerTest, ScriptFunctionsAreCalledByTheirProgramRow) {
    compile("int twice(int n) { return n * 2; }\n"
            "void print(Vector v) { return; }\n"
            "void main(Array a) { print(twice(21)); }",
            kFunctions);
    // twice is row 0 of the program and unknown to the dialect; print is
    // row 1 of the program and also a dialect function.
    EXPECT_EQ(text(dumpWords(program->code)), "7 50 3 0 1 0 0 0 11 3 0 10 "
                                              "10 10 "
                                              "12 0 2 6 0 -1 9 3 1 2 12 3 1 6 1 " +
                                                  std::to_string(row("print")) + " 10 10");
    EXPECT_EQ(program->getFunction(0).entry, 0);
    EXPECT_EQ(program->getFunction(1).entry, 12);
    EXPECT_EQ(program->getFunction(2).entry, 14);
    EXPECT_EQ(program->start, 14);
    EXPECT_EQ(program->getFunction(0).returnType, kIntTypeId);
    EXPECT_EQ(program->getFunction(1).parameterTypes[0], kVectorTypeId);
    EXPECT_TRUE(program->valid);
    EXPECT_FALSE(program->statementMode);
    EXPECT_EQ(program->dialect, dialect);
}

TEST_F(CompilerTest, FunctionsMayBeCalledBeforeTheirDeclaration) {
    compile("void main(Array a) { later(1); }\nvoid later(int n) { return; }", kFunctions);
    EXPECT_EQ(text(dumpWords(program->code)), "12 0 1 6 1 -1 10 10 10 10");
    EXPECT_EQ(program->start, 0);
    EXPECT_EQ(program->getFunction(1).entry, 7);
}

TEST_F(CompilerTest, ParametersComeFirstInTheVariables) {
    compile("int f(int a, float b) { int c = a; return c; } void main(Array a) { return; }", kFunctions);
    EXPECT_EQ(text(dumpWords(program->code)), "4 4 8 1 2 1 0 11 1 2 10 10 10 10");
}

TEST_F(CompilerTest, IfElseWhileAndFor) {
    EXPECT_EQ(words("int x; int y; if (x) y = 1; else y = 2;"),
              "4 4 4 4 2 1 0 15 8 1 1 0 0 3 20 8 1 1 0 1 10 10");
    EXPECT_EQ(words("int x; int y; if(x){y = 1;}else{y = 2;}"),
              "4 4 4 4 2 1 0 15 8 1 1 0 0 3 20 8 1 1 0 1 10 10");
    EXPECT_EQ(words("int i; while (i < 3) i = i + 1;"),
              "4 4 7 47 3 0 1 0 0 0 2 3 0 29 7 40 3 1 1 0 0 1 8 1 0 3 1 3 2 10 10");
    // The 3rd statement's code follows the body; its first, trial parse
    // added constant 2, which nothing uses.
    EXPECT_EQ(words("int i; int s; for (i = 0; i < 3; i = i + 1) s = s + i;"),
              "4 4 4 4 8 1 0 0 0 7 47 3 0 1 0 0 1 2 3 0 49 "
              "7 40 3 1 1 1 1 0 8 1 1 3 1 7 40 3 2 1 0 0 3 8 1 0 3 2 3 9 10 10");
    EXPECT_EQ(program->constants.size, 4u);
}

TEST_F(CompilerTest, ElseNeedsABlankOrABraceAfterIt) {
    // elsey = 2; is the next statement, not an else part.
    EXPECT_EQ(words("int x; int y; int elsey; if (x) y = 1; elsey = 2;"),
              "4 4 4 4 4 4 2 1 0 15 8 1 1 0 0 8 1 2 0 1 10 10");
    // An else part that does not parse fails the whole if; if is then read as
    // the name of a call.
    EXPECT_EQ(errorText("int x; if (x) x = 1; else ;", kStatements),
              prefixed(1, "Function \"if(...)\" not found"));
}

TEST_F(CompilerTest, ReturnDeclarationsAndAssignmentTargets) {
    compile("int f(int a) { return a; } void g() { return; } void main(Array a) { return; }", kFunctions);
    EXPECT_EQ(text(dumpWords(program->code)), "11 1 0 10 10 10 10 10 10");
    // Arrays: the size's code comes first, then declareArray; an element as
    // target changes the array.
    EXPECT_EQ(words("int a[3];"), "5 4 0 0 10 10");
    EXPECT_EQ(words("int n; float a[n + 1];"), "4 4 7 40 3 0 1 0 0 0 5 5 3 0 10 10");
    EXPECT_EQ(words("Array a; a[0] = 1;"), "4 6 0 3 0 1 0 0 0 8 3 0 0 1 10 10");
    EXPECT_EQ(words("Array a; a[0][1] = 1;"), "4 6 0 3 0 1 0 0 0 0 3 1 3 0 0 1 8 3 1 0 2 10 10");
    EXPECT_EQ(words("Vector v = Vector(1.0, 0.0, 0.0, 1.0);").substr(0, 4), "4 8 ");
    // A declaration whose initial value does not parse has no load, and then
    // no ";" where the statement needs one.
    EXPECT_EQ(errorText("int x = ;", kStatements), prefixed(1, "Variable not found"));
}

// Source cut off anywhere compiles or fails with the compile error; what
// compiles runs (with a budget) or fails with a runtime error.
TEST_F(CompilerTest, EveryCutOfAScriptCompilesOrFailsCleanly) {
    const std::string source = "int fib(int n) {\n    if (n < 2) return n;\n    return fib(n - 1) + fib(n - 2);\n}\n"
                               "void main(Array args) {\n    float f[3];\n    int i = 0;\n"
                               "    while (i < 3) { f[i] = 0.5 * i; i = i + 1; }\n"
                               "    Vector v = Vector(f[1], f[2], -1.0, 1.0);\n    print(fib(5), v, \"done\");\n}\n";
    VirtualMachine machine;
    machine.instructionBudget = 100000;
    int compiled = 0;
    for (size_t length = 0; length <= source.size(); ++length) {
        try {
            compile(source.substr(0, length), kFunctions);
        } catch (const Exception& e) {
            EXPECT_EQ(text(e.message).rfind("DrovelScript compile error at line ", 0), 0u) << length;
            continue;
        }
        ++compiled;
        try {
            machine.execute(*program);
        } catch (const Exception& e) {
            EXPECT_EQ(text(e.message).rfind("DrovelVM Runtime error at line ", 0), 0u) << length;
        }
    }
    EXPECT_GT(compiled, 0);
    Console::getInstance()->clear();
}

TEST_F(CompilerTest, KeywordsAreMatchedAsPrefixes) {
    // No blank is needed before "(" or after return's ";".
    EXPECT_EQ(words("int x; while(x) x = 0; if(x) x = 1; for(x = 0; x; x = 0) x = 2;").substr(0, 10),
              "4 4 2 1 0 ");
    compile("int f() { return;} void main(Array a) { return ; }", kFunctions);
    EXPECT_EQ(text(dumpWords(program->code)), "10 10 10 10 10");
    // return needs a blank or ";" after it: return(x) is a call.
    EXPECT_EQ(errorText("int x; return(x);", kStatements), prefixed(1, "Function \"return(...)\" not found"));
}

TEST_F(CompilerTest, StatementModeEndsWithTwoReturns) {
    compile("int x;\nx = 1;", kStatements);
    EXPECT_EQ(text(dumpWords(program->code)), "4 4 8 1 0 0 0 10 10");
    EXPECT_TRUE(program->statementMode);
    EXPECT_TRUE(program->valid);
    EXPECT_EQ(program->start, 0);
    EXPECT_EQ(program->functions.size, 0u);
    // Nothing at all is a program too.
    EXPECT_EQ(words("  \n "), "10 10");
}

TEST_F(CompilerTest, ManyTemporariesCompile) {
    // 70 additions take temporaries 0 to 69; the machine refuses index 64 and up when it runs.
    std::string source = "int x; x = 1";
    for (int i = 0; i < 70; ++i)
        source += " + 1";
    const std::string code = words(source + ";");
    EXPECT_EQ(code.substr(code.size() - 16), "8 1 0 3 69 10 10");
}

TEST_F(CompilerTest, VariableDeclaredInARejectedTrialIsForgotten) {
    // The 3rd statement is parsed twice; its declaration must not collide
    // with itself.
    EXPECT_NO_THROW(compile("int i; for (i = 0; i < 3; int k = i) i = i + 1;", kStatements));
}

TEST_F(CompilerTest, ForConstructsNestedInThirdStatementsStayCheap) {
    // Every level's 3rd statement is parsed twice; without remembering where
    // each ends, 30 levels would take 2^30 parses.
    std::string step = "i = 1";
    for (int level = 0; level < 30; ++level)
        step = "for (i = 0; i < 1; " + step + ") i = 2;";
    compile("int i; " + step, kStatements);
    EXPECT_TRUE(program->valid);
    // Each construct's code is there once.
    const std::string listing = text(disassemble(*program));
    int loops = 0;
    for (size_t at = listing.find("jumpIfFalse"); at != std::string::npos;
         at = listing.find("jumpIfFalse", at + 1))
        ++loops;
    EXPECT_EQ(loops, 30);
}

TEST_F(CompilerTest, BracesAndCommentMarkersInStrings) {
    compile("void main(Array a) { print(\"}\"); print(\"{{\"); print(\"// /* */\"); }", kFunctions);
    EXPECT_EQ(constantString(1), "}");
    EXPECT_EQ(constantString(3), "{{");
    EXPECT_EQ(constantString(5), "// /* */");
    // An escaped quote does not end the string for the comment stripper either.
    compile(R"(print("a\"//b"); // c)", kStatements);
    EXPECT_EQ(constantString(1), "a\"//b");
}

TEST_F(CompilerTest, PreprocessingRemovesCommentsAndKeepsNewlines) {
    const struct {
        const char* source;
        const char* result;
    } cases[] = {
        {"a // c\nb", "a \nb"},
        {"a /* x\ny */ b", "a \n b"},
        {"a /* open\nend", "a \n"},
        {"a// c", "a"},
        {"x / y /", "x / y /"},
        {"int/**/x", "intx"},
        {"\"// kept\" x", "\"// kept\" x"},
        {"\"/* kept */\"", "\"/* kept */\""},
        {R"("a\"//b" // c)", R"("a\"//b" )"},
        {R"("a\\" // c)", R"("a\\" )"},
        {"/**/*/", "*/"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(Compiler::preprocess(c.source)), c.result) << c.source;
}

TEST_F(CompilerTest, ErrorsReportTheLineOfTheFurthestText) {
    // Comments keep their newlines: the undeclared y is on line 5.
    EXPECT_EQ(errorText("void main(Array a) {\n"
                        "  /* a comment\n"
                        "     over two lines */\n"
                        "  int x = 1; // and one more\n"
                        "  y = 2;\n"
                        "}\n",
                        kFunctions),
              prefixed(5, "Variable not found"));
    // After backtracking the line is that of the furthest point looked at:
    // the else part on line 3 failed, then if was read as a call.
    EXPECT_EQ(errorText("int x;\nif (x) x = 1;\nelse @", kStatements),
              prefixed(3, "Function \"if(...)\" not found"));
    // Pass 1 errors report the line of the function head.
    EXPECT_EQ(
        errorText(
            "void main(Array a) { return; }\n\nvoid f(int a) {\n return; }\n\nvoid f(int b) { return; }",
            kFunctions),
        prefixed(6, "Function f(int) already declared"));
    // Pass 2 counts again from line 1.
    EXPECT_EQ(errorText("void main(Array a) {\n return;\n}\nvoid f() {\n z = 1;\n}", kFunctions),
              prefixed(5, "Variable not found"));
    // Carriage returns are blanks, not lines.
    EXPECT_EQ(errorText("int x;\r\n\r\nx = y;", kStatements), prefixed(3, "Variable not found"));
}

TEST_F(CompilerTest, LineTableEndsEachLineWhereItsCodeEnds) {
    compile("int x;\nx = 1;\n\nx = 2;", kStatements);
    // Lines 1 to 4 end at positions 2, 7, 7 and 12.
    ASSERT_EQ(program->lines.size, 5u);
    EXPECT_EQ(program->lineOf(2), 1);
    EXPECT_EQ(program->lineOf(3), 2);
    EXPECT_EQ(program->lineOf(7), 2);
    EXPECT_EQ(program->lineOf(8), 4);
    EXPECT_EQ(program->lineOf(12), 4);
}

// One broken source per message; each fails with exactly that error.
TEST_F(CompilerTest, EveryCompileError) {
    const struct {
        bool statementMode;
        const char* source;
        const char* message;
    } cases[] = {
        {kFunctions, "void f() { return; }", "No main function found"},
        {kFunctions, "", "No main function found"},
        {kFunctions, "void main(Array a) { return; } junk", "Error reading function declaration"},
        {kFunctions, "void main(Array a) return;", "Error reading function declaration"},
        {kFunctions, "void main(Array a) { return;", "Error reading function declaration"},
        {kFunctions, "void while(Array a) { return; }", "Function name is reserved"},
        {kFunctions, "void Matrix(Array a) { return; }", "Function name is reserved"},
        {kFunctions, "Foo main(Array a) { return; }", "Function declaration has undefined return type"},
        {kFunctions, "void main(Array) { return; }", "Syntax error reading function declaration parameters"},
        {kFunctions, "void main(Array a,) { return; }",
         "Syntax error reading function declaration parameters"},
        {kFunctions, "void main(Foo a) { return; }", "Parameter type is undeclared"},
        {kFunctions, "void main(Array a { return; }", "Error parsing function declaration: missing )"},
        {kFunctions, "void main(Array a b) { return; }", "Error parsing function declaration: missing )"},
        {kFunctions, "void main() { return; }", "main() can only have one parameter"},
        {kFunctions, "void main(Array a, Array b) { return; }", "main() can only have one parameter"},
        {kFunctions, "void main(int a) { return; }", "main() parameter must be of Array type"},
        {kFunctions, "void main(Array a) { }", "error reading statement in block"},
        {kFunctions, "void main(Array a) { 5 }", "error reading statement in block"},
        {kStatements, "5;", "Error reading statement"},
        {kStatements, "int x; x = 1", "Error reading statement"},
        {kStatements, "{ }", "error reading statement in block"},
        {kStatements, "if () x = 1;", "If statement found, but failed to match the conditional expression"},
        {kStatements, "int x; if (x x = 1;", "If statement found, but no statement follows"},
        {kStatements, "int x; if (x) }", "If statement found, but no statement follows"},
        {kStatements, "while () x = 1;",
         "While statement found, but failed to match the conditional expression"},
        {kStatements, "int x; while (x x = 1;", "While statement found, but no statement follows"},
        {kStatements, "int x; while (x) ;", "While statement found, but no statement follows"},
        {kStatements, "int x; for (; x; x = 1) x = 2;", "Error matching initial statement in for construct"},
        {kStatements, "int i; for (i = 0; ; i = 1) i = 2;",
         "For statement found, but failed to match the conditional expression"},
        {kStatements, "int i; for (i = 0; i < 3) i = 2;", "Missing semicolon in for construct"},
        {kStatements, "int i; for (i = 0; i < 3; ) i = 2;", "Missing 3rd statement in for construct (1)"},
        {kStatements, "int i; for (i = 0; i < 3; i = 1 i = 2;",
         "For statement found, but no statement follows"},
        {kStatements, "int i; for (i = 0; i < 3; i = 1) ;", "For statement found, but no statement follows"},
        {kStatements, "Foo x;", "Undefined type used for variable declaration"},
        {kStatements, "int if;", "Variable name is reserved"},
        {kStatements, "int Vector;", "Variable name is reserved"},
        {kStatements, "int a[];", "Error matching array definition subscript expression"},
        {kStatements, "int a[3;", "Missing ] in array definition"},
        {kStatements, "int x; x = 1 +;", "Bad expression"},
        {kStatements, "int x; x = 1 * ;", "Bad expression"},
        {kStatements, "Array a; a[] = 1;", "Index expression not found within []"},
        {kStatements, "Array a; a[1 = 2;", "closing ] not found after array subscript"},
        {kStatements, "Vector v; v.x = 1.0;", "todo: element vector .xyzw attributes"},
        {kStatements, "int x; x = 1.;", "todo: element vector .xyzw attributes"},
        {kStatements, "int x; x = (1 + 2;", "Unclosed brackets"},
        {kStatements, "y = 1;", "Variable not found"},
        {kStatements, "print(,);", "Missing parameter"},
        {kStatements, "print(\"a\",);", "Missing parameter"},
        {kStatements, "print(\"a\" \"b\");", "Closing bracket not found"},
        {kStatements, R"(print("\q");)", "Unrecognised character escape sequence"},
        {kStatements, R"(print("abc);)", "Error reading string constant"},
        {kStatements, R"(print("abc\)", "Error reading string constant"},
        {kStatements, "foo(1);", "Function \"foo(...)\" not found"},
        {kStatements, "int x; int x;", "Variable \"x\" already declared"},
        {kFunctions, "void f(int a, int a) { return; } void main(Array a) { return; }",
         "Variable \"a\" already declared"},
        {kFunctions, "void f(int a) { return; } void f(int b) { return; } void main(Array a) { return; }",
         "Function f(int) already declared"},
        {kFunctions,
         "int f(int a) { return a; } float f(int b) { return 1.0; } void main(Array a) { return; }",
         "Function f(int) already declared"},
        {kStatements, "int x = 2147483648;", "Integer constant out of range"},
        {kStatements, "int x = -2147483649;", "Integer constant out of range"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorText(c.source, c.statementMode), prefixed(1, c.message)) << c.source;
}

TEST_F(CompilerTest, ErrorsComeFromTheirPlace) {
    const struct {
        const char* source;
        const char* function;
        const char* file;
        int line;
    } cases[] = {
        {"y = 1;", "Vantor::Compiler::error", "source\\modules\\DrovelScript\\DSCompiler", 1371},
        {"int x; int x;", "Vantor::Compiler::addVariable", "source\\modules\\DrovelScript\\DSCompiler", 180},
    };
    for (const auto& c : cases) {
        const Exception e = failure(c.source, kStatements);
        EXPECT_EQ(text(e.function), c.function);
        EXPECT_EQ(text(e.file), c.file);
        EXPECT_EQ(e.line, c.line);
    }
    const Exception e =
        failure("void f() { return; } void f() { return; } void main(Array a) { return; }", kFunctions);
    EXPECT_EQ(text(e.function), "Vantor::Program::addFunction");
    EXPECT_EQ(e.line, 49);
}

TEST_F(CompilerTest, FailedCompilationLeavesTheProgramInvalidAndEmpty) {
    Program target;
    Compiler* compiler = Compiler::getInstance();
    compiler->compile("int x = 1;", *dialect, target, kStatements);
    ASSERT_TRUE(target.valid);
    EXPECT_THROW(compiler->compile("int x = 1; y = 2;", *dialect, target, kStatements), Exception);
    EXPECT_FALSE(target.valid);
    EXPECT_EQ(target.code.size, 0u);
    EXPECT_EQ(target.constants.size, 0u);
    EXPECT_EQ(target.functions.size, 0u);
    // The compiler is ready for the next source, and so is the program.
    compiler->compile("void main(Array a) { return; }", *dialect, target, kFunctions);
    EXPECT_TRUE(target.valid);
    EXPECT_EQ(text(dumpWords(target.code)), "10 10 10");
}

TEST_F(CompilerTest, DeepNestingIsAnErrorNotACrash) {
    const std::string tooDeep = prefixed(1, "Statements or expressions nested too deeply");
    std::string brackets = "int x; x = " + std::string(5000, '(') + "1" + std::string(5000, ')') + ";";
    EXPECT_EQ(errorText(brackets, kStatements), tooDeep);
    std::string blocks = std::string(5000, '{') + "int x;" + std::string(5000, '}');
    EXPECT_EQ(errorText(blocks, kStatements), tooDeep);
    std::string sum = "int x; x = 1";
    for (int i = 0; i < 5000; ++i)
        sum += "+1";
    EXPECT_EQ(errorText(sum + ";", kStatements), tooDeep);
    std::string prefixes = "bool b; b = ";
    for (int i = 0; i < 3000; ++i)
        prefixes += "!(";
    EXPECT_EQ(errorText(prefixes + "b" + std::string(3000, ')') + ";", kStatements), tooDeep);

    // Nesting that real scripts use is far from the limit.
    EXPECT_NO_THROW(
        compile("int x; x = " + std::string(100, '(') + "1" + std::string(100, ')') + ";", kStatements));
    EXPECT_NO_THROW(compile(std::string(300, '{') + "int x;" + std::string(300, '}'), kStatements));
}

TEST_F(CompilerTest, OverlongTokensAreAnError) {
    // The matcher cannot follow a letter run this long; that is a compile
    // error, not a crash.
    const std::string message = errorText(std::string(200000, 'a') + " = 1;", kStatements);
    EXPECT_EQ(message.rfind(prefixed(1, "Source text cannot be matched here: "), 0), 0u) << message;
}

TEST_F(CompilerTest, TheDotMatchesNewlines) {
    // Every pattern ends in (.*), which has to take the rest of a multi-line text.
    compile("int x;\n\nx =\n1\n;\n", kStatements);
    EXPECT_EQ(text(dumpWords(program->code)), "4 4 8 1 0 0 0 10 10");
}

TEST_F(CompilerTest, DisassemblyNamesEveryOperand) {
    compile("int x; Array a[2]; if (x < 3) a[0] = -x; else print(\"s\");", kStatements);
    EXPECT_EQ(text(disassemble(*program)), "0: declare int\n"
                                           "2: declareArray Array c0\n"
                                           "6: binary < t0 v0 c1\n"
                                           "14: jumpIfFalse t0 38\n"
                                           "18: element t1 v1 c2\n"
                                           "25: unary - t2 v0\n"
                                           "31: load t1 t2\n"
                                           "36: jump 44\n"
                                           "38: pushArg c4\n"
                                           "41: call -1 print\n"
                                           "44: return\n"
                                           "45: return\n");
}

TEST_F(CompilerTest, DisassemblyStopsAtTheEndOfBrokenCode) {
    Program broken;
    broken.dialect = dialect;
    const int words[] = {4, 4, 99, 8, 7, 0, 1, 7, 40, 3};
    for (int w : words)
        broken.code.add(w);
    EXPECT_EQ(text(disassemble(broken)), "0: declare int\n"
                                         "2: ?99\n"
                                         "3: load ?7 c1\n"
                                         "7: binary + t <end of code>\n");
}

// Compiled programs run on the machine: the words do what the source says.
class CompiledProgramTest : public CompilerTest {
protected:
    void SetUp() override {
        CompilerTest::SetUp();
        Console::getInstance()->clear();
    }
    // Runs on a machine of its own, so that nothing the machine keeps
    // between runs outlives the test.
    std::string run(const std::string& source, bool statementMode) {
        compile(source, statementMode);
        VirtualMachine machine;
        machine.execute(*program);
        return text(Console::getInstance()->text);
    }
};

TEST_F(CompiledProgramTest, ArithmeticGroupsAsCompiled) {
    EXPECT_EQ(run("int x; x = 10 - 4 - 3; print(x); print(\" \");"
                  "x = 2 * 3 + 4; print(x); print(\" \");"
                  "int y = -5; print(y); print(\" \"); x = - y; print(x);",
                  kStatements),
              "9 10 -5 5");
}

TEST_F(CompiledProgramTest, ControlFlowAndFunctions) {
    EXPECT_EQ(run("int fact(int n) { if (n < 2) return 1; else return n * fact(n - 1); }\n"
                  "void set(int a) { a = 5; }\n"
                  "void main(Array args) {\n"
                  "  int i; int s = 0;\n"
                  "  for (i = 0; i < 4; i = i + 1) s = s + i;\n"
                  "  print(s); print(\",\");\n"
                  "  while (s > 0) { s = s - 4; }\n"
                  "  print(s); print(\",\");\n"
                  "  print(fact(5)); print(\",\");\n"
                  "  set(i); print(i);\n"
                  "  int a[3]; a[1] = 7; print(a[1]); print(size(a));\n"
                  "}\n",
                  kFunctions),
              "6,-2,120,573");
}

TEST_F(CompiledProgramTest, RunTimeErrorsNameTheLineOfTheFailingStatement) {
    compile("int x;\nx = 1.5;\nx = 2;\n", kStatements);
    VirtualMachine machine;
    const Exception e = thrownBy([&] { machine.execute(*program); });
    EXPECT_EQ(text(e.message), "DrovelVM Runtime error at line 2:\nFailed type check on load");
}

// drovel [--statements] [--shader] [--check] FILE [ARG ...]
//
// Runs one Drovel script the way the engine runs object shaders, for people
// who write them. FILE is compiled in function mode against the standard
// dialect (--statements: statement mode; --shader: the shader dialect, whose
// parameter functions work on a database that starts empty and whose matrix
// getters give the identity, there being no GL context) and run once, main's
// Array holding the ARGs as Strings. The console text that print and cls left
// goes to standard output. --check only compiles.
//
// Exit status: 0 after a clean run (or compile, with --check); 1 after a
// compile or runtime error, whose message, exactly as the engine builds it
// with its line prefix, goes to standard error after the console text printed
// so far; 2 for bad usage or a file that cannot be read.
#include "Core/WinAppFramework/Exception.h"
#include "Core/platform/File.h"
#include "modules/DrovelScript/DSCompiler.h"
#include "modules/DrovelScript/Program.h"
#include "modules/DrovelScript/ShaderDialect.h"
#include "modules/DrovelScript/StandardDialect.h"
#include "modules/gui/Console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitScriptError = 1;
constexpr int kExitUsage = 2;

const char* const usageText = "usage: drovel [--statements] [--shader] [--check] FILE [ARG ...]\n";

struct Options {
    bool statementMode = false;
    bool shaderDialect = false;
    bool checkOnly = false;
    const char* file = nullptr;
    // The ARGs: argv from this index on.
    int firstArgument = 0;
};

int usage(const char* problem) {
    std::fprintf(stderr, "drovel: %s\n%s", problem, usageText);
    return kExitUsage;
}

// Options come before FILE; everything after FILE is an ARG, whatever it looks like.
bool parseOptions(int argc, char** argv, Options& options, std::string& problem) {
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        const std::string option = argv[i];
        if (option == "--statements") {
            options.statementMode = true;
        } else if (option == "--shader") {
            options.shaderDialect = true;
        } else if (option == "--check") {
            options.checkOnly = true;
        } else {
            problem = "unknown option " + option;
            return false;
        }
    }
    if (i >= argc) {
        problem = "no script file given";
        return false;
    }
    options.file = argv[i];
    options.firstArgument = i + 1;
    if (options.statementMode && options.firstArgument < argc) {
        problem = "a statement-mode script has no main to take arguments";
        return false;
    }
    return true;
}

// The script's text as the engine reads it (text mode: CR LF reads as LF).
bool readScript(const char* path, Vantor::String& source, std::string& problem) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        problem = std::string("cannot read ") + path + ": Is a directory";
        return false;
    }
    FILE* file = Vantor::platform::openFile(path, "rt");
    if (!file) {
        problem = std::string("cannot read ") + path + ": " + std::strerror(errno);
        return false;
    }
    source.readAll(file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        problem = std::string("cannot read ") + path;
        return false;
    }
    return true;
}

void writeConsoleText() {
    const Vantor::String& text = Vantor::Console::getInstance()->text;
    std::fwrite(text.c_str(), 1, size_t(text.length), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!parseOptions(argc, argv, options, problem))
        return usage(problem.c_str());
    Vantor::String source;
    if (!readScript(options.file, source, problem)) {
        std::fprintf(stderr, "drovel: %s\n", problem.c_str());
        return kExitUsage;
    }

    Vantor::Dialect* dialect = options.shaderDialect
                                   ? static_cast<Vantor::Dialect*>(Vantor::ShaderDialect::getInstance())
                                   : static_cast<Vantor::Dialect*>(Vantor::StandardDialect::getInstance());
    Vantor::Program program;
    try {
        Vantor::Compiler::getInstance()->compile(source, *dialect, program, options.statementMode);
        if (options.checkOnly)
            return kExitSuccess;
        if (options.statementMode) {
            program.run();
        } else {
            Vantor::ArrayList<Vantor::DSVarPtr> arguments;
            for (int i = options.firstArgument; i < argc; ++i) {
                Vantor::DSVarPtr cell = Vantor::newVariable();
                cell->setType(Vantor::dsStringType);
                *Vantor::DSString::getString(*cell) = argv[i];
                arguments.add(cell);
            }
            program.run(&arguments);
        }
    } catch (const Vantor::Exception& e) {
        writeConsoleText();
        std::fwrite(e.message.c_str(), 1, size_t(e.message.length), stderr);
        std::fputc('\n', stderr);
        return kExitScriptError;
    }
    writeConsoleText();
    return kExitSuccess;
}

// libFuzzer harness for the script language: compiles each input and runs it.
//
// The text is compiled against the shader dialect (the standard one plus the
// parameter functions) in function mode and, when that fails, in statement
// mode. A program that compiles runs twice on one machine, with two String
// arguments and then without, under an instruction budget so that no input
// runs for ever. Every input must end in a result or a Vantor::Exception;
// anything else that escapes, a sanitizer report, or a value cell still in use
// once the program and the machine are gone is a finding.
#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/DSCompiler.h"
#include "modules/DrovelScript/DSMemManager.h"
#include "modules/DrovelScript/Program.h"
#include "modules/DrovelScript/ShaderDialect.h"
#include "modules/DrovelScript/VirtualMachine.h"
#include "modules/ShaderManager/ParamDatabase.h"
#include "modules/gui/Console.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Instructions one run may execute: enough for every seed, small enough that
// an endless loop (which may print or set a parameter each time round) ends
// in milliseconds.
constexpr unsigned long long kInstructionBudget = 20000;
constexpr size_t kMaxInputSize = 1u << 16;

bool compile(const Vantor::String& source, Vantor::Program& program, bool statementMode) {
    try {
        Vantor::Compiler::getInstance()->compile(source, *Vantor::ShaderDialect::getInstance(), program,
                                                 statementMode);
    } catch (const Vantor::Exception&) {
        if (program.valid)
            std::abort();
        return false;
    }
    if (!program.valid)
        std::abort();
    return true;
}

void run(Vantor::VirtualMachine& machine, Vantor::Program& program, Vantor::ArrayList<Vantor::DSVarPtr>* arguments) {
    try {
        machine.execute(program, arguments);
    } catch (const Vantor::Exception&) {
    }
    // A run releases every frame, pending argument and the return register.
    if (!machine.stack.empty() || machine.size != 0 || machine.returnRegister)
        std::abort();
}

Vantor::DSVarPtr stringCell(const char* text) {
    Vantor::DSVarPtr cell = Vantor::newVariable();
    cell->setType(Vantor::dsStringType);
    *Vantor::DSString::getString(*cell) = text;
    return cell;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInputSize)
        return 0;
    Vantor::String source;
    source.assign(reinterpret_cast<const char*>(data), int(size));
    Vantor::Console::getInstance()->clear();
    Vantor::DSMemManager* memory = Vantor::DSMemManager::getInstance();
    {
        Vantor::Program program;
        if (compile(source, program, false) || compile(source, program, true)) {
            Vantor::VirtualMachine machine;
            machine.instructionBudget = kInstructionBudget;
            Vantor::ArrayList<Vantor::DSVarPtr> arguments;
            arguments.add(stringCell("first"));
            arguments.add(stringCell("second"));
            run(machine, program, &arguments);
            run(machine, program, nullptr);
        }
    }
    if (memory->freeCellCount() != Vantor::DSMemManager::kCellCount)
        std::abort();
    // Parameters set by one input must not pile up over millions of inputs.
    Vantor::ParamDatabase* database = Vantor::ParamDatabase::getInstance();
    database->floats.clear();
    database->vectors.clear();
    database->matrices.clear();
    Vantor::Console::getInstance()->clear();
    return 0;
}

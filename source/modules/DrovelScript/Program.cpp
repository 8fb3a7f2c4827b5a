// Programs: function records, constants, the line table, and running a
// program on a pooled machine.
#include "modules/DrovelScript/Program.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/VMManager.h"
#include "modules/DrovelScript/VirtualMachine.h"

namespace Vantor {

namespace {

const char* const sourceFile = "source\\modules\\DrovelScript\\Program";
constexpr int lineDuplicateFunction = 49;
constexpr int lineUndefinedFunction = 54;
constexpr int lineTooManyFunctions = 56;
constexpr int lineUndefinedConstant = 64;

bool sameParameters(const Function& a, const Function& b) {
    if (a.parameterTypes.size != b.parameterTypes.size)
        return false;
    for (unsigned i = 0; i < a.parameterTypes.size; ++i)
        if (a.parameterTypes[i] != b.parameterTypes[i])
            return false;
    return true;
}

} // namespace

Program& Program::operator=(const Program& other) {
    if (this == &other)
        return *this;
    statementMode = other.statementMode;
    valid = other.valid;
    dialect = other.dialect;
    start = other.start;
    code = other.code;
    lines = other.lines;
    constants = other.constants;
    functions = other.functions;
    functionTable = other.functionTable;
    relinkFunctions();
    return *this;
}

void Program::relinkFunctions() {
    for (unsigned i = 0; i < functionTable.functions.size && i < functions.size; ++i)
        functionTable.functions[i] = &functions[i];
}

String Program::typeNameOf(int typeId) const {
    if (dialect)
        return dialect->getType(typeId)->name;
    String number;
    number.appendFormat("%d", typeId);
    return number;
}

int Program::addFunction(const Function& signature, const String& name) {
    const int row = functionTable.findRow(name);
    if (row >= 0) {
        for (int index : functionTable.rows[unsigned(row)].functionIndices) {
            if (!sameParameters(*functionTable.functions[unsigned(index)], signature))
                continue;
            String message("Function ");
            message.append(name);
            message.append('(');
            for (unsigned i = 0; i < signature.parameterTypes.size; ++i) {
                if (i > 0)
                    message.append(", ");
                message.append(typeNameOf(signature.parameterTypes[i]));
            }
            message.append(") already declared");
            throw Exception(message, "Vantor::Program::addFunction", sourceFile, lineDuplicateFunction);
        }
    }
    if (functions.size >= unsigned(kMaxFunctions))
        throw Exception("Too many functions", "Vantor::Program::addFunction", sourceFile, lineTooManyFunctions);

    // Room for every record at once, so that the table's pointers stay valid.
    if (functions.capacity < unsigned(kMaxFunctions)) {
        functions.reserve(kMaxFunctions);
        relinkFunctions();
    }
    Function record;
    record.parameterTypes = signature.parameterTypes;
    record.returnType = signature.returnType;
    record.entry = signature.entry;
    functions.add(record);
    return functionTable.add(name, &functions[functions.size - 1]);
}

Function& Program::getFunction(int index) {
    if (unsigned(index) >= functions.size)
        throw Exception("Undefined local function", "Vantor::Program::getFunction", sourceFile,
                        lineUndefinedFunction);
    return functions[unsigned(index)];
}

DSVarPtr& Program::getConstant(int index) {
    if (unsigned(index) >= constants.size)
        throw Exception("Undefined constant", "Vantor::Program::getConstant", sourceFile, lineUndefinedConstant);
    return constants[unsigned(index)];
}

int Program::addConstant(const DSVarPtr& cell) {
    constants.add(cell);
    return int(constants.size - 1);
}

Function* Program::resolveCall(int row, const ArrayList<DSVarPtr>& arguments, bool& countMismatch,
                               bool& typeMismatch) {
    const int index = functionTable.resolve(row, arguments, countMismatch, typeMismatch);
    return index >= 0 ? functionTable.functions[unsigned(index)] : nullptr;
}

void Program::setLine(int position, int line) {
    if (line < 0)
        return;
    const unsigned l = unsigned(line);
    if (l < lines.size) {
        if (position > lines[l])
            lines[l] = position;
        return;
    }
    const int previous = lines.size > 0 ? lines[lines.size - 1] : 0;
    const unsigned oldSize = lines.size;
    lines.resize(l + 1);
    for (unsigned i = oldSize; i < l; ++i)
        lines[i] = previous;
    lines[l] = position;
}

int Program::lineOf(int position) const {
    if (lines.size == 0)
        return -1;
    for (unsigned i = 0; i < lines.size; ++i)
        if (lines[i] >= position)
            return int(i);
    return int(lines.size - 1);
}

// The machine goes back to the pool whether the run ends or throws, so that
// failed runs cannot use the pool up.
void Program::run(ArrayList<DSVarPtr>* arguments) {
    struct Borrowed {
        VMManager* pool;
        VirtualMachine* machine;
        ~Borrowed() { pool->releaseVM(machine); }
    };
    VMManager* pool = VMManager::getInstance();
    const Borrowed borrowed{pool, pool->getVM()};
    borrowed.machine->execute(*this, arguments);
}

} // namespace Vantor

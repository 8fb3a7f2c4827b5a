// Dialect tables, the function name table and call resolution.
#include "modules/DrovelScript/Dialect.h"

#include "Core/WinAppFramework/Exception.h"

namespace Vantor {

namespace {

const char* const sourceFile = "source\\modules\\DrovelScript\\Dialect";
constexpr int lineInvalidOperatorId = 27;
constexpr int lineWrongBinaryCount = 31;
constexpr int lineWrongUnaryCount = 33;
constexpr int lineInvalidTypeId = 187;

bool hasOperatorTable(int operatorId) {
    return operatorId >= kFirstOperatorId && operatorId < kFirstOperatorId + kOperatorTableCount;
}

} // namespace

int FunctionTable::add(const String& name, Function* function) {
    int objects = 0;
    for (int type : function->parameterTypes)
        if (type == kObjectTypeId)
            ++objects;
    function->objectParamCount = objects;

    const int index = int(functions.size);
    functions.add(function);
    const int row = findRow(name);
    if (row >= 0) {
        rows[unsigned(row)].functionIndices.add(index);
    } else {
        FuncName entry;
        entry.name = name;
        entry.functionIndices.add(index);
        entry.index = int(rows.size);
        rows.add(entry);
    }
    return index;
}

int FunctionTable::findRow(const String& name) const {
    for (unsigned i = 0; i < rows.size; ++i)
        if (rows[i].name == name)
            return int(i);
    return -1;
}

int FunctionTable::resolve(int row, const ArrayList<DSVarPtr>& arguments, bool& countMismatch,
                           bool& typeMismatch) const {
    if (row < 0 || unsigned(row) >= rows.size)
        return -1;
    const ArrayList<int>& candidates = rows[unsigned(row)].functionIndices;
    const unsigned argumentCount = arguments.size;
    for (unsigned pass = 0; pass <= argumentCount; ++pass) {
        for (int index : candidates) {
            if (index < 0 || unsigned(index) >= functions.size)
                continue;
            const Function& candidate = *functions[unsigned(index)];
            if (candidate.parameterTypes.size != argumentCount) {
                countMismatch = true;
                continue;
            }
            if (candidate.objectParamCount != int(pass))
                continue;
            bool matches = true;
            for (unsigned i = 0; i < argumentCount && matches; ++i) {
                const int wanted = candidate.parameterTypes[i];
                // An empty argument slot holds no value of any type.
                const DSVariable* argument = arguments[i].get();
                matches = argument && (wanted == kObjectTypeId || wanted == argument->typeId);
            }
            if (matches)
                return index;
            typeMismatch = true;
        }
    }
    return -1;
}

void DSFunctor::ensureSignature() {
    if (signatureDeclared)
        return;
    declareSignature();
    signatureDeclared = true;
}

Dialect::Dialect() {
    addType(dsVoidType);
    addType(dsObjectType);
}

int Dialect::addType(DSType& type) {
    type.typeId = int(types.size);
    types.add(&type);
    return type.typeId;
}

void Dialect::addOperator(int operatorId, DSFunctor& functor) {
    if (!hasOperatorTable(operatorId))
        throw Exception("Invalid operator id", "Vantor::Dialect::addOperator", sourceFile,
                        lineInvalidOperatorId);
    functor.ensureSignature();
    const unsigned parameters = functor.signature.parameterTypes.size;
    if (operatorId < kFirstBinaryOperator) {
        if (parameters != 1)
            throw Exception("Wrong number of parameters for unary operator", "Vantor::Dialect::addOperator",
                            sourceFile, lineWrongUnaryCount);
    } else if (parameters != 2) {
        throw Exception("Wrong number of parameters for binary operator", "Vantor::Dialect::addOperator",
                        sourceFile, lineWrongBinaryCount);
    }
    operators[operatorId - kFirstOperatorId].add(&functor);
}

int Dialect::addFunction(DSFunctor& functor) {
    functor.ensureSignature();
    const int index = functionTable.add(functor.getName(), &functor.signature);
    functors.add(&functor);
    return index;
}

void Dialect::addConversion(ConversionOp& conversion) {
    conversion.init();
    conversions.add(&conversion);
}

DSType* Dialect::getType(int typeId) const {
    if (unsigned(typeId) >= types.size)
        throw Exception("Invalid typeID", "Vantor::Dialect::getType", sourceFile, lineInvalidTypeId);
    return types[unsigned(typeId)];
}

DSType* Dialect::findType(const String& name) const {
    for (DSType* type : types)
        if (type->name == name)
            return type;
    return nullptr;
}

DSFunctor* Dialect::findOperator(int operatorId, int leftType, int rightType) const {
    if (!hasOperatorTable(operatorId))
        return nullptr;
    const bool unary = rightType == -1;
    for (DSFunctor* functor : operators[operatorId - kFirstOperatorId]) {
        const ArrayList<int>& parameters = functor->signature.parameterTypes;
        if (unary) {
            if (parameters.size == 1 && parameters[0] == leftType)
                return functor;
        } else if (parameters.size == 2 && parameters[0] == leftType && parameters[1] == rightType) {
            return functor;
        }
    }
    return nullptr;
}

int Dialect::findFunctionRow(const String& name) const { return functionTable.findRow(name); }

DSFunctor* Dialect::resolveCall(int row, const ArrayList<DSVarPtr>& arguments, bool& countMismatch,
                                bool& typeMismatch) const {
    const int index = functionTable.resolve(row, arguments, countMismatch, typeMismatch);
    return index >= 0 ? functors[unsigned(index)] : nullptr;
}

} // namespace Vantor

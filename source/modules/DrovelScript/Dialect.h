// Dialect: everything of the Drovel language that is not syntax. The value
// types, the operator functors per operator id and operand types, the
// conversions, and the built-in functions by name.
//
// A type's typeId is its index in the dialect's type list; "void" (0) and
// "object" (1) come first in every dialect. Functors are static objects that
// dialects share: a dialect copied from another holds the same functors and
// types. Lookups report "none" (null or -1); their callers raise the errors.
#pragma once

#include "Core/ArrayList.h"
#include "Core/String.h"
#include "modules/DrovelScript/DSMemManager.h"
#include "modules/DrovelScript/DSType.h"
#include "modules/DrovelScript/DSVariable.h"

#include <climits>
#include <type_traits>

namespace Vantor {

// Operator ids, shared by the compiler, the instruction code and the
// operator tables. Ids below kFirstBinaryOperator take one operand.
constexpr int kFirstOperatorId = 37;
constexpr int kOperatorTableCount = 32;
constexpr int kFirstBinaryOperator = 40;
constexpr int kOperatorNot = 37;
constexpr int kOperatorNegate = 38;
constexpr int kOperatorPlus = 40;
constexpr int kOperatorMinus = 41;
constexpr int kOperatorAnd = 42;
constexpr int kOperatorOr = 43;
constexpr int kOperatorEqual = 44;
constexpr int kOperatorGreater = 45;
constexpr int kOperatorNotEqual = 46;
constexpr int kOperatorLess = 47;
constexpr int kOperatorGreaterOrEqual = 48;
constexpr int kOperatorLessOrEqual = 49;
constexpr int kOperatorTimes = 50;
constexpr int kOperatorDivide = 51;

// A signature: built-in functors and compiled script functions alike.
struct Function {
    ArrayList<int> parameterTypes;
    int returnType = kVoidTypeId;
    // Parameters of type "object"; set when the signature joins a name table.
    int objectParamCount = 0;
    // First instruction of a script function's body; -1 until compiled.
    int entry = -1;
};

// A row of a function name table: one name and its overloads, in the order
// they were registered.
struct FuncName {
    String name;
    ArrayList<int> functionIndices;
    int index = -1;
};

// Names and signatures of a dialect's built-ins or of a program's own
// functions. The function list does not own the signatures.
struct FunctionTable {
    ArrayList<FuncName> rows;
    ArrayList<Function*> functions;

    // Counts the "object" parameters, appends the signature and files its
    // index under the name (a new row when the name is new). Returns the index.
    int add(const String& name, Function* function);
    // The row of that name, or -1.
    int findRow(const String& name) const;
    // Call resolution over the row's overloads: pass p accepts candidates with
    // exactly p "object" parameters, for p = 0 up to the argument count, so an
    // exact signature beats one that takes the arguments as "object" and the
    // earliest registered wins among equals. Only ever sets the two flags.
    // Returns the function index, or -1.
    int resolve(int row, const ArrayList<DSVarPtr>& arguments, bool& countMismatch,
                bool& typeMismatch) const;
};

// A built-in function or operator.
class DSFunctor {
public:
    Function signature;
    bool signatureDeclared = false;

    DSFunctor() = default;
    DSFunctor(const DSFunctor&) = delete;
    DSFunctor& operator=(const DSFunctor&) = delete;
    virtual ~DSFunctor() = default;

    // Appends the parameter type ids to the signature and sets returnType.
    virtual void declareSignature() = 0;
    // Reads the arguments (in call order), gives the result cell its type and
    // writes the value; functions without a result make it "void". The
    // arguments have been matched against the signature by the caller.
    virtual void execute(ArrayList<DSVarPtr>& arguments, DSVariable& result) = 0;
    virtual String getName() { return String(); }

    // Runs declareSignature the first time only.
    void ensureSignature();
};

// Converts a value of one type into a new cell of another. The language
// never applies conversions by itself.
class ConversionOp {
public:
    int fromType = -1;
    int toType = -1;

    ConversionOp() = default;
    ConversionOp(const ConversionOp&) = delete;
    ConversionOp& operator=(const ConversionOp&) = delete;
    virtual ~ConversionOp() = default;

    // Fills fromType and toType from the type objects' ids.
    virtual void init() = 0;
    // A new cell of the to-type holding the converted value of variable.
    virtual DSVarPtr convert(const DSVariable& variable) = 0;
};

// The value converted as C++ converts it, except that a float outside the
// int range saturates and NaN becomes 0 rather than being undefined.
template <class To, class From>
To convertValue(From value) {
    if constexpr (std::is_same<To, int>::value && std::is_floating_point<From>::value) {
        if (!(value == value))
            return 0;
        if (value >= From(INT_MAX))
            return INT_MAX;
        if (value <= From(INT_MIN))
            return INT_MIN;
    }
    return To(value);
}

template <class From, class To>
class TConversionOp : public ConversionOp {
public:
    void init() override {
        fromType = dsTypeOf<From>().typeId;
        toType = dsTypeOf<To>().typeId;
    }
    // int -> float, and float -> int truncating toward zero.
    DSVarPtr convert(const DSVariable& variable) override {
        const To converted = convertValue<To>(variable.get<From>());
        DSVarPtr cell = newVariable();
        cell->setType(dsTypeOf<To>());
        cell->set(converted);
        return cell;
    }
};

class Dialect {
public:
    ArrayList<DSType*> types;
    ArrayList<DSFunctor*> operators[kOperatorTableCount];
    ArrayList<ConversionOp*> conversions;
    FunctionTable functionTable;
    // The functor of each entry of functionTable.functions, at the same index.
    ArrayList<DSFunctor*> functors;

    // Registers "void" and "object".
    Dialect();
    // A copy shares the other's type and functor objects.
    Dialect(const Dialect& other) = default;
    Dialect& operator=(const Dialect& other) = default;
    virtual ~Dialect() = default;

    // Appends the type; its typeId becomes its index, which is returned.
    int addType(DSType& type);
    // Files the functor under the operator id after checking that it takes
    // one operand (ids below 40) or two (the others).
    void addOperator(int operatorId, DSFunctor& functor);
    // Files the functor's signature under its name; returns its function index.
    int addFunction(DSFunctor& functor);
    void addConversion(ConversionOp& conversion);

    // "Invalid typeID" for an id at or beyond the number of types (or negative).
    DSType* getType(int typeId) const;
    // The first type whose name is exactly name, or null.
    DSType* findType(const String& name) const;
    // Exact match on the operand type ids (rightType -1 for a unary operator),
    // first registered first; null when none matches or the id has no table.
    DSFunctor* findOperator(int operatorId, int leftType, int rightType) const;
    // The row of name in the function name table, or -1.
    int findFunctionRow(const String& name) const;
    // The functor whose signature call resolution picks, or null.
    DSFunctor* resolveCall(int row, const ArrayList<DSVarPtr>& arguments, bool& countMismatch,
                           bool& typeMismatch) const;
};

} // namespace Vantor

// DSType and its kinds: what a script value of each type is made of.
//
// One static object stands for each type; cells point at it. A type's typeId
// is its index in the dialect it was added to (-1 before that). "void" and
// "object" are shared by every dialect and always have the ids 0 and 1.
// String and Array values own a heap object whose pointer is the cell's
// value; every other kind is plain bytes that the base copyValue copies.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Matrix4.h"
#include "Core/String.h"
#include "Core/Vector4.h"
#include "modules/DrovelScript/DSVariable.h"

namespace Vantor {

constexpr int kVoidTypeId = 0;
constexpr int kObjectTypeId = 1;

class DSType {
public:
    String name;
    int typeId = -1;

    explicit DSType(const char* typeName) : name(typeName) {}
    DSType(const DSType&) = delete;
    DSType& operator=(const DSType&) = delete;
    virtual ~DSType() = default;

    // Gives the cell storage for this type and its initial value.
    virtual void init(DSVariable& variable) = 0;
    // Releases what the value owns.
    virtual void destroyValue(DSVariable& variable);
    // Raw copy: destination sized like the source, bytes, typeId and type copied.
    virtual void copyValue(DSVariable& destination, const DSVariable& source);
    // "[ " name " ]".
    virtual String toString(const DSVariable& variable);
};

class DSVoid : public DSType {
public:
    DSVoid() : DSType("void") {}
    void init(DSVariable& variable) override;
};

class DSObject : public DSType {
public:
    DSObject() : DSType("object") {}
    void init(DSVariable& variable) override;
};

// The "void" and "object" types that every dialect shares.
extern DSVoid dsVoidType;
extern DSObject dsObjectType;

template <class T>
struct DSTypeName;
template <> struct DSTypeName<bool> { static constexpr const char* value = "bool"; };
template <> struct DSTypeName<char> { static constexpr const char* value = "char"; };
template <> struct DSTypeName<int> { static constexpr const char* value = "int"; };
template <> struct DSTypeName<float> { static constexpr const char* value = "float"; };
// The dialect that adds these two gives them their script names.
template <> struct DSTypeName<Vector4> { static constexpr const char* value = "Vector4"; };
template <> struct DSTypeName<TMatrix4<float>> { static constexpr const char* value = "TMatrix4<float>"; };

// A plain value type: bool, char, int and float start with an unset (zeroed)
// value, Vector4 as (0, 0, 0, 1), the matrix as the identity.
template <class T>
class TDSType : public DSType {
public:
    TDSType() : DSType(DSTypeName<T>::value) {}
    void init(DSVariable& variable) override;
    String toString(const DSVariable& variable) override;
};

template <> void TDSType<bool>::init(DSVariable& variable);
template <> void TDSType<char>::init(DSVariable& variable);
template <> void TDSType<int>::init(DSVariable& variable);
template <> void TDSType<float>::init(DSVariable& variable);
template <> void TDSType<Vector4>::init(DSVariable& variable);
template <> void TDSType<TMatrix4<float>>::init(DSVariable& variable);
template <> String TDSType<bool>::toString(const DSVariable& variable);
template <> String TDSType<char>::toString(const DSVariable& variable);
template <> String TDSType<int>::toString(const DSVariable& variable);
template <> String TDSType<float>::toString(const DSVariable& variable);
template <> String TDSType<Vector4>::toString(const DSVariable& variable);
template <> String TDSType<TMatrix4<float>>::toString(const DSVariable& variable);

// The text of a float as default stream formatting gives it (6 significant digits).
String formatFloat(float f);

// A String value: the cell holds a pointer to its own String object.
class DSString : public DSType {
public:
    DSString() : DSType("String") {}
    void init(DSVariable& variable) override;
    void destroyValue(DSVariable& variable) override;
    // Copies the text into the destination's own String.
    void copyValue(DSVariable& destination, const DSVariable& source) override;

    // The String of a String cell; null for a cell of another kind.
    static String* getString(const DSVariable& variable);
};

// An Array value: the cell holds a pointer to a list of cell references, each
// element a cell of its own type.
class DSArray : public DSType {
public:
    using List = ArrayList<DSVarPtr>;

    DSArray() : DSType("Array") {}
    void init(DSVariable& variable) override;
    // Deletes the list, releasing the elements.
    void destroyValue(DSVariable& variable) override;
    // Deep copy: every element becomes a fresh cell holding a copy.
    void copyValue(DSVariable& destination, const DSVariable& source) override;

    // The element list of an Array cell; null for a cell of another kind.
    static List* getList(const DSVariable& variable);
    // Element count; 0 for a cell that is not an Array.
    static int count(const DSVariable& variable);
    // The index-th element; "Array index out of bounds" for a negative index,
    // one at or beyond the count, or a cell that is not an Array.
    static DSVarPtr& getElement(const DSVariable& variable, int index);
    // Drops every element and fills the array with n fresh "object" cells
    // (none for n <= 0). The cells are taken one at a time, so an n beyond
    // the pool ends with the pool's out-of-memory error, not a huge list.
    static void resize(DSVariable& variable, int n);
};

// The standard value types, one object each (the standard dialect registers
// them); dsTypeOf<T>() is the one that holds a T.
extern TDSType<bool> dsBoolType;
extern TDSType<char> dsCharType;
extern TDSType<int> dsIntType;
extern TDSType<float> dsFloatType;
extern DSArray dsArrayType;
extern DSString dsStringType;
extern TDSType<Vector4> dsVectorType;
extern TDSType<TMatrix4<float>> dsMatrixType;

// Whether the type's values are at most four plain bytes inside the cell
// (bool, char, int, float): nothing to destroy and never a block.
inline bool isSmallPlainType(const DSType* type) {
    return type == &dsIntType || type == &dsFloatType || type == &dsBoolType || type == &dsCharType;
}

template <class T>
DSType& dsTypeOf();
template <> inline DSType& dsTypeOf<bool>() { return dsBoolType; }
template <> inline DSType& dsTypeOf<char>() { return dsCharType; }
template <> inline DSType& dsTypeOf<int>() { return dsIntType; }
template <> inline DSType& dsTypeOf<float>() { return dsFloatType; }
template <> inline DSType& dsTypeOf<Vector4>() { return dsVectorType; }
template <> inline DSType& dsTypeOf<TMatrix4<float>>() { return dsMatrixType; }

} // namespace Vantor

// Value cells and the behaviour of each kind of type: storage, initial
// values, copies, destruction and text forms.
#include "modules/DrovelScript/DSType.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/DSMemManager.h"

namespace Vantor {

namespace {

const char* const standardDialectHeader = "source\\modules\\DrovelScript\\StandardDialect";
constexpr int lineArrayIndexOutOfBounds = 115;

} // namespace

DSVoid dsVoidType;
DSObject dsObjectType;
TDSType<bool> dsBoolType;
TDSType<char> dsCharType;
TDSType<int> dsIntType;
TDSType<float> dsFloatType;
DSArray dsArrayType;
DSString dsStringType;
TDSType<Vector4> dsVectorType;
TDSType<TMatrix4<float>> dsMatrixType;

void DSVariable::setSize(unsigned n) {
    if (n == size)
        return;
    if (block) {
        unsigned char* old = block;
        block = nullptr;
        DSMemManager::getInstance()->free(old);
    }
    if (n > kInlineSize)
        block = static_cast<unsigned char*>(DSMemManager::getInstance()->malloc(n));
    size = n;
    std::memset(value(), 0, n > kInlineSize ? n : kInlineSize);
}

void DSVariable::reset() {
    if (type)
        type->destroyValue(*this);
    type = nullptr;
    if (block) {
        unsigned char* old = block;
        block = nullptr;
        // After the memory manager is gone its regions are too.
        if (DSMemManager::exists())
            DSMemManager::getInstance()->free(old);
    }
    size = 0;
}

void DSVariable::assign(const DSVariable& source) {
    if (&source == this)
        return;
    if (!source.type) {
        setType(dsObjectType);
        return;
    }
    reset();
    type = source.type;
    typeId = source.typeId;
    type->init(*this);
    type->copyValue(*this, source);
}

void DSVariable::setType(DSType& t) {
    reset();
    type = &t;
    typeId = t.typeId;
    t.init(*this);
}

void DSType::destroyValue(DSVariable&) {}

void DSType::copyValue(DSVariable& destination, const DSVariable& source) {
    if (&destination == &source)
        return;
    destination.setSize(source.size);
    if (source.size > 0)
        std::memcpy(destination.value(), source.value(), source.size);
    destination.typeId = source.typeId;
    destination.type = source.type;
}

String DSType::toString(const DSVariable&) {
    String text("[ ");
    text.append(name);
    text.append(" ]");
    return text;
}

void DSVoid::init(DSVariable& variable) {
    variable.type = this;
    variable.typeId = typeId;
    variable.setSize(0);
}

void DSObject::init(DSVariable& variable) {
    variable.type = this;
    variable.typeId = typeId;
    variable.setSize(0);
}

template <> void TDSType<bool>::init(DSVariable& variable) { variable.setSize(1); }
template <> void TDSType<char>::init(DSVariable& variable) { variable.setSize(1); }
template <> void TDSType<int>::init(DSVariable& variable) { variable.setSize(sizeof(int)); }
template <> void TDSType<float>::init(DSVariable& variable) { variable.setSize(sizeof(float)); }

template <> void TDSType<Vector4>::init(DSVariable& variable) {
    variable.setSize(sizeof(Vector4));
    variable.set(Vector4(0.0f, 0.0f, 0.0f, 1.0f));
}

template <> void TDSType<TMatrix4<float>>::init(DSVariable& variable) {
    variable.setSize(sizeof(TMatrix4<float>));
    variable.set(TMatrix4<float>());
}

template <> String TDSType<bool>::toString(const DSVariable& variable) {
    return String(variable.get<bool>() ? "1" : "0");
}

template <> String TDSType<char>::toString(const DSVariable& variable) {
    String text;
    text.append(variable.get<char>());
    return text;
}

template <> String TDSType<int>::toString(const DSVariable& variable) {
    String text;
    text.appendFormat("%d", variable.get<int>());
    return text;
}

String formatFloat(float f) {
    String text;
    text.appendFormat("%g", double(f));
    return text;
}

template <> String TDSType<float>::toString(const DSVariable& variable) {
    return formatFloat(variable.get<float>());
}

template <> String TDSType<Vector4>::toString(const DSVariable& variable) {
    const Vector4 v = variable.get<Vector4>();
    String text("(");
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            text.append(',');
        text.append(formatFloat(v[i]));
    }
    text.append(')');
    return text;
}

template <> String TDSType<TMatrix4<float>>::toString(const DSVariable&) {
    return String("Matrix4 placeholder");
}

void DSString::init(DSVariable& variable) {
    variable.setSize(sizeof(String*));
    variable.set(new String());
}

void DSString::destroyValue(DSVariable& variable) {
    delete getString(variable);
    variable.set(static_cast<String*>(nullptr));
}

void DSString::copyValue(DSVariable& destination, const DSVariable& source) {
    if (&destination == &source)
        return;
    // A destination without a String of its own is given one first.
    if (destination.type != this)
        destination.setType(*this);
    String* to = getString(destination);
    const String* from = getString(source);
    if (to && from)
        *to = *from;
}

String* DSString::getString(const DSVariable& variable) {
    if (!dynamic_cast<DSString*>(variable.type))
        return nullptr;
    return variable.get<String*>();
}

void DSArray::init(DSVariable& variable) {
    variable.setSize(sizeof(List*));
    variable.set(new List());
}

void DSArray::destroyValue(DSVariable& variable) {
    List* list = getList(variable);
    variable.set(static_cast<List*>(nullptr));
    delete list;
}

void DSArray::copyValue(DSVariable& destination, const DSVariable& source) {
    if (&destination == &source)
        return;
    if (destination.type != this)
        destination.setType(*this);
    List* to = getList(destination);
    const List* from = getList(source);
    if (!to || !from)
        return;
    // Built aside, so that an element of the destination that is also read
    // from the source stays valid until the copy is complete.
    List copy;
    copy.resize(from->size);
    for (unsigned i = 0; i < from->size; ++i) {
        copy[i] = newVariable();
        const DSVariable* element = (*from)[i].get();
        if (element && element->type) {
            copy[i]->setType(*element->type);
            element->type->copyValue(*copy[i], *element);
        }
    }
    *to = std::move(copy);
}

DSArray::List* DSArray::getList(const DSVariable& variable) {
    if (!dynamic_cast<DSArray*>(variable.type))
        return nullptr;
    return variable.get<List*>();
}

int DSArray::count(const DSVariable& variable) {
    const List* list = getList(variable);
    return list ? int(list->size) : 0;
}

DSVarPtr& DSArray::getElement(const DSVariable& variable, int index) {
    List* list = getList(variable);
    if (!list || index < 0 || unsigned(index) >= list->size)
        throw Exception("Array index out of bounds", "Vantor::DSArray::getElement", standardDialectHeader,
                        lineArrayIndexOutOfBounds);
    return (*list)[unsigned(index)];
}

void DSArray::resize(DSVariable& variable, int n) {
    List* list = getList(variable);
    if (!list)
        return;
    list->clear();
    if (n <= 0)
        return;
    const int room = DSMemManager::getInstance()->freeCellCount();
    list->reserve(unsigned(n < room ? n : room));
    for (int i = 0; i < n; ++i)
        list->add(newVariable());
}

} // namespace Vantor

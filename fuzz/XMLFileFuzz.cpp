// libFuzzer harness for the XML reader: parses each input in memory.
//
// Malformed input must end in Vantor::Exception; anything else that escapes,
// a sanitizer report or a broken invariant of a parsed tree is a finding.
#include "Core/WinAppFramework/Exception.h"
#include "modules/xml/XMLFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Lookups take C strings, so names holding a zero byte cannot be looked up.
bool lookupable(const Vantor::String& name) { return std::strlen(name.c_str()) == size_t(name.length); }

// Checks what a successful parse promises (no element has an empty name, the
// depth stays bounded) and runs the lookups: each element's first and last
// child must be found by name, and the named iteration over the last child's
// name must end on it. Linear in the number of children, so wide trees stay fast.
void walk(Vantor::XMLElement& element, int depth) {
    if (element.getName().empty() || depth >= Vantor::XMLFile::maxNestingDepth)
        std::abort();
    for (const Vantor::XMLAttrib& attrib : element.getAttribs()) {
        (void)attrib.value.toFloat(1);
        (void)attrib.value.toInt(1);
    }
    if (element.getAttribs().size > 0) {
        const Vantor::String& first = element.getAttribs()[0].name;
        if (lookupable(first) && element.findAttrib(first.c_str()) != &element.getAttribs()[0].value)
            std::abort();
    }
    const Vantor::ArrayList<Vantor::XMLElement>& children = element.getChildren();
    if (children.size > 0) {
        const Vantor::String& firstName = children[0].getName();
        if (lookupable(firstName) && element.findChild(firstName.c_str()) != &children[0])
            std::abort();
        const Vantor::String& lastName = children[children.size - 1].getName();
        if (lookupable(lastName)) {
            const Vantor::XMLElement* last = nullptr;
            for (Vantor::XMLElement* c = element.findFirstChild(lastName.c_str()); c;
                 c = element.findNextChild())
                last = c;
            if (last != &children[children.size - 1])
                std::abort();
        }
    }
    (void)element.getChild("no such child").getAttrib("x").toFloat(1);
    // getChildren is read-only for readers; the tree itself is ours to walk.
    for (const Vantor::XMLElement& child : children)
        walk(const_cast<Vantor::XMLElement&>(child), depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    Vantor::String text;
    text.assign(reinterpret_cast<const char*>(data), int(size));
    Vantor::XMLFile file;
    try {
        file.parse(text, "fuzz input");
    } catch (const Vantor::Exception&) {
        return 0;
    }
    walk(file, 0);
    Vantor::XMLElement copy = file;
    if (copy.getChildCount() != file.getChildCount() || copy.getAttribs().size != file.getAttribs().size)
        std::abort();
    return 0;
}

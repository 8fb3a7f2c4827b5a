// The engine's XML reader: a whole file becomes a tree of XMLElements.
//
// Only elements and attributes are read. Text between tags is ignored, and
// attribute values are kept as the raw text between their double quotes
// (no entities, no character references). Lookups never fail: a missing child
// or attribute gives a shared empty one, so readers can chain
// getChild("light").getAttrib("range").toFloat(10) without checks.
// Children and attributes keep document order; duplicate attributes stay.
#pragma once

#include "Core/ArrayList.h"
#include "Core/String.h"

namespace Vantor {

struct XMLAttrib {
    String name;
    String value;
};

class XMLElement {
public:
    XMLElement() = default;
    XMLElement(const XMLElement&) = default;
    XMLElement(XMLElement&&) = default;
    XMLElement& operator=(const XMLElement&) = default;
    XMLElement& operator=(XMLElement&&) = default;
    virtual ~XMLElement() = default;

    const String& getName() const { return name; }
    const ArrayList<XMLElement>& getChildren() const { return children; }
    const ArrayList<XMLAttrib>& getAttribs() const { return attribs; }
    int getChildCount() const { return int(children.size); }

    // The first child with exactly this name, or null.
    XMLElement* findChild(const char* childName);
    const XMLElement* findChild(const char* childName) const;

    // The first child with this name; on a miss, the shared empty element,
    // emptied again on every miss. Do not hold it across another lookup.
    XMLElement& getChild(const char* childName);
    const XMLElement& getChild(const char* childName) const;

    // The value of the first attribute with this name, or null.
    String* findAttrib(const char* attribName);
    const String* findAttrib(const char* attribName) const;

    // The value of the first attribute with this name; on a miss, a shared
    // String set to "" on every miss.
    String& getAttrib(const char* attribName);
    const String& getAttrib(const char* attribName) const;

    // getAttrib(name) converted with String::toInt / String::toFloat.
    int getAttribInt(const char* attribName, int def) const { return getAttrib(attribName).toInt(def); }
    float getAttribFloat(const char* attribName, float def) const {
        return getAttrib(attribName).toFloat(def);
    }

    // Iteration over the children with one name: findFirstChild starts it and
    // returns the first match, findNextChild the following ones; both return
    // null when no more match. One such iteration per element at a time.
    XMLElement* findFirstChild(const char* childName);
    XMLElement* findNextChild();

protected:
    // Back to the state of a new element.
    void reset();

    String name;
    ArrayList<XMLElement> children;
    ArrayList<XMLAttrib> attribs;
    // One plus the index of the child the iteration returned last; 0 when none.
    int iterationCursor = 0;
    String iterationName;

    friend class XMLParser;
};

// The document's root element, filled by load or parse.
class XMLFile : public XMLElement {
public:
    // Elements nested deeper than this (the root being at depth 0) make the
    // parse fail, so a hostile file cannot exhaust the stack.
    static constexpr int maxNestingDepth = 256;

    // Reads and parses the file (an engine path, opened in text mode).
    // Throws Exception when the file cannot be opened or is not valid.
    void load(const char* filename);

    // Parses text into this object as its root element; nameForMessages
    // names the text in the exception thrown when it is not valid. text must
    // not live inside this object. The contents after a failed parse are
    // unspecified.
    void parse(const String& text, const char* nameForMessages);
};

} // namespace Vantor

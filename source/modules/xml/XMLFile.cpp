// XMLElement lookups and the parser behind XMLFile::load.
//
// The parser works on the whole text in memory by position. One scan over
// the root element's tags first checks their nesting and counts every
// element's direct children, so each children list is sized once before the
// children are parsed; then the tree is built. Each tag is read twice, so
// the cost is linear in the text. Any malformed input makes the parse return
// false, never read past the text.
#include "modules/xml/XMLFile.h"

#include "Core/WinAppFramework/Exception.h"
#include "Core/platform/File.h"

#include <cstdio>
#include <cstring>

namespace Vantor {

namespace {

// Where the load errors say they come from.
constexpr const char* loadFunction = "Vantor::XMLFile::load";
constexpr const char* loadSourceFile = "source\\modules\\xml\\XMLFile";
constexpr int openErrorLine = 29;
constexpr int parseErrorLine = 36;

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

} // namespace

class XMLParser {
public:
    explicit XMLParser(const String& source) : text(source.c_str()), length(source.length) {}

    // Reads the element at or after pos into element and moves pos just past
    // its end:  empty-tag | start-tag element* end-tag,  with text and
    // skipped tags ("<!...>", "<?...>") allowed anywhere between tags. End tag
    // names are not compared with the start tag. False when the text there is
    // not such an element or it lies at maxNestingDepth or deeper. Depth 0
    // is the root; the others are its descendants, read in document order.
    bool parseElement(int& pos, int depth, XMLElement& element);

private:
    enum class Tag { EndOfInput, Error, Skipped, Start, Empty, End };

    // What the scan found of one element.
    struct Extent {
        unsigned childCount;
        // Just past the element's end.
        int end;
    };

    // Scans the root element at or after pos: its start tag, every tag
    // inside it and its end (or its empty tag). Fills extents with the root
    // and every element inside it in document order. False when a tag is
    // malformed, a tag would open an element at maxNestingDepth, an end tag
    // comes first or the text ends before the root does.
    bool scanExtents(int pos);
    // Reads the next tag at or after pos: "<", its content, and the ">" that
    // balances the "<" (nested "<" ">" pairs and anything inside double
    // quotes are content). Content starting with "!" or "?" is skipped whole;
    // "/..." is an end tag, ".../" an empty element, anything else a start
    // tag. On success pos moves past the ">". When element is given, start
    // and empty tags also fill its name and attributes.
    Tag scanTag(int& pos, XMLElement* element) const;

    // Reads a tag's content between begin and end:
    //   name (ws* attribName ws* "=" ws* '"' value '"')* ws*
    // The name runs up to the first white space and must not be empty; an
    // attribName runs up to white space or "="; a value holds no '"'.
    bool readNameAndAttribs(int begin, int end, XMLElement& element) const;

    int skipWhite(int pos, int end) const {
        while (pos < end && isWhite(text[pos]))
            ++pos;
        return pos;
    }

    const char* text;
    int length;
    ArrayList<Extent> extents;
    // The extent of the next element parseElement reads.
    unsigned nextExtent = 0;
};

XMLParser::Tag XMLParser::scanTag(int& pos, XMLElement* element) const {
    const void* open = pos < length ? std::memchr(text + pos, '<', size_t(length - pos)) : nullptr;
    if (!open) {
        pos = length;
        return Tag::EndOfInput;
    }
    int begin = int(static_cast<const char*>(open) - text) + 1;
    int end = begin;
    int nesting = 1;
    bool quoted = false;
    for (; end < length; ++end) {
        char c = text[end];
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '<')
            ++nesting;
        else if (c == '>' && --nesting == 0)
            break;
    }
    if (end == length || end == begin)
        return Tag::Error;
    pos = end + 1;

    char first = text[begin];
    if (first == '!' || first == '?')
        return Tag::Skipped;
    Tag kind;
    if (text[end - 1] == '/') {
        if (first == '/')
            return Tag::Error;
        kind = Tag::Empty;
        --end;
    } else {
        kind = first == '/' ? Tag::End : Tag::Start;
    }
    if (!element || kind == Tag::End)
        return kind;
    return readNameAndAttribs(begin, end, *element) ? kind : Tag::Error;
}

bool XMLParser::readNameAndAttribs(int begin, int end, XMLElement& element) const {
    int p = begin;
    while (p < end && !isWhite(text[p]))
        ++p;
    if (p == begin)
        return false;
    element.name.assign(text + begin, p - begin);

    for (;;) {
        p = skipWhite(p, end);
        if (p == end)
            return true;
        int nameBegin = p;
        while (p < end && !isWhite(text[p]) && text[p] != '=')
            ++p;
        int nameEnd = p;
        p = skipWhite(p, end);
        if (p == end || text[p] != '=')
            return false;
        p = skipWhite(p + 1, end);
        if (p == end || text[p] != '"')
            return false;
        int valueBegin = ++p;
        while (p < end && text[p] != '"')
            ++p;
        if (p == end)
            return false;

        ArrayList<XMLAttrib>& attribs = element.attribs;
        attribs.resize(attribs.size + 1);
        XMLAttrib& attrib = attribs[attribs.size - 1];
        attrib.name.assign(text + nameBegin, nameEnd - nameBegin);
        attrib.value.assign(text + valueBegin, p - valueBegin);
        ++p;
    }
}

bool XMLParser::scanExtents(int pos) {
    extents.clear();
    ArrayList<unsigned> open;
    int scan = pos;
    for (;;) {
        const Tag tag = scanTag(scan, nullptr);
        switch (tag) {
        case Tag::Skipped:
            break;
        case Tag::Start:
        case Tag::Empty:
            // The level a start tag met now opens is the number of open elements.
            if (open.size > 0) {
                if (open.size >= unsigned(XMLFile::maxNestingDepth))
                    return false;
                ++extents[open[open.size - 1]].childCount;
            }
            extents.add(Extent{0, scan});
            if (tag == Tag::Start)
                open.add(extents.size - 1);
            else if (open.size == 0)
                return true;
            break;
        case Tag::End:
            if (open.size == 0)
                return false;
            extents[open[open.size - 1]].end = scan;
            open.resize(open.size - 1);
            if (open.size == 0)
                return true;
            break;
        case Tag::EndOfInput:
        case Tag::Error:
            return false;
        }
    }
}

bool XMLParser::parseElement(int& pos, int depth, XMLElement& element) {
    if (depth >= XMLFile::maxNestingDepth)
        return false;
    if (depth == 0) {
        if (!scanExtents(pos))
            return false;
        nextExtent = 0;
    }
    if (nextExtent >= extents.size)
        return false;
    const Extent extent = extents[nextExtent++];
    element.children.resize(extent.childCount);
    int own = pos;
    pos = extent.end;

    Tag tag;
    do
        tag = scanTag(own, &element);
    while (tag == Tag::Skipped);
    if (tag == Tag::Empty)
        return true;
    if (tag != Tag::Start)
        return false;

    for (XMLElement& child : element.children)
        if (!parseElement(own, depth + 1, child))
            return false;

    do
        tag = scanTag(own, nullptr);
    while (tag == Tag::Skipped);
    return tag == Tag::End;
}

void XMLElement::reset() {
    name = "";
    children.clear();
    attribs.clear();
    iterationCursor = 0;
    iterationName = "";
}

namespace {

// The element every getChild miss returns, emptied on each miss.
XMLElement& missingElement() {
    struct Missing : XMLElement {
        using XMLElement::reset;
    };
    static Missing element;
    element.reset();
    return element;
}

String& missingValue() {
    static String value;
    value = "";
    return value;
}

} // namespace

XMLElement* XMLElement::findChild(const char* childName) {
    for (XMLElement& child : children)
        if (child.name == childName)
            return &child;
    return nullptr;
}

const XMLElement* XMLElement::findChild(const char* childName) const {
    return const_cast<XMLElement*>(this)->findChild(childName);
}

XMLElement& XMLElement::getChild(const char* childName) {
    XMLElement* child = findChild(childName);
    return child ? *child : missingElement();
}

const XMLElement& XMLElement::getChild(const char* childName) const {
    return const_cast<XMLElement*>(this)->getChild(childName);
}

String* XMLElement::findAttrib(const char* attribName) {
    for (XMLAttrib& attrib : attribs)
        if (attrib.name == attribName)
            return &attrib.value;
    return nullptr;
}

const String* XMLElement::findAttrib(const char* attribName) const {
    return const_cast<XMLElement*>(this)->findAttrib(attribName);
}

String& XMLElement::getAttrib(const char* attribName) {
    String* value = findAttrib(attribName);
    return value ? *value : missingValue();
}

const String& XMLElement::getAttrib(const char* attribName) const {
    return const_cast<XMLElement*>(this)->getAttrib(attribName);
}

XMLElement* XMLElement::findFirstChild(const char* childName) {
    iterationCursor = 0;
    for (unsigned i = 0; i < children.size; ++i) {
        if (children[i].name == childName) {
            iterationCursor = int(i) + 1;
            iterationName = childName;
            return &children[i];
        }
    }
    return nullptr;
}

XMLElement* XMLElement::findNextChild() {
    for (unsigned i = unsigned(iterationCursor); i < children.size; ++i) {
        if (children[i].name == iterationName) {
            iterationCursor = int(i) + 1;
            return &children[i];
        }
    }
    return nullptr;
}

void XMLFile::load(const char* filename) {
    FILE* file = platform::openFile(filename, "rt");
    if (!file)
        throw Exception(String("Error opening XML file ").append(filename), loadFunction, loadSourceFile,
                        openErrorLine);
    String text;
    text.readAll(file);
    std::fclose(file);
    parse(text, filename);
}

void XMLFile::parse(const String& text, const char* nameForMessages) {
    reset();
    int pos = 0;
    XMLParser parser(text);
    if (!parser.parseElement(pos, 0, *this))
        throw Exception(
            String("Error parsing XML file ").append(nameForMessages).append("\nThe XML file is not valid"),
            loadFunction, loadSourceFile, parseErrorLine);
}

} // namespace Vantor

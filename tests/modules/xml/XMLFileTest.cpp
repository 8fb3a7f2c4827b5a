// The XML reader's behaviour as configuration readers see it: the accepted
// subset and its quirks, the parse and open errors, lookups that never fail,
// and loading from disk. Most inputs are parsed in memory.
#include "modules/xml/XMLFile.h"

#include "Core/WinAppFramework/Exception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

using Vantor::Exception;
using Vantor::String;
using Vantor::XMLElement;
using Vantor::XMLFile;

namespace {

XMLFile parsed(const std::string& text) {
    XMLFile file;
    String s;
    s.assign(text.data(), int(text.size()));
    file.parse(s, "test.xml");
    return file;
}

// depth nested <e> elements around inner.
std::string nested(int depth, const std::string& inner = "") {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    text += inner;
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    return text;
}

std::filesystem::path writeTemp(const std::string& name, const std::string& bytes) {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vantor_xml_" + std::to_string(getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

} // namespace

TEST(XMLFile, ReadsAttributesRawAndInOrder) {
    XMLFile a = parsed("<a x = \"1\"y=\"2\" x=\"3\" e=\"&amp;\" q=\"<b> c\n\"/>");
    EXPECT_EQ(a.getName(), "a");
    ASSERT_EQ(a.getAttribs().size, 5u);
    const char* expected[][2] = {{"x", "1"}, {"y", "2"}, {"x", "3"}, {"e", "&amp;"}, {"q", "<b> c\n"}};
    for (unsigned i = 0; i < 5; ++i) {
        EXPECT_EQ(a.getAttribs()[i].name, expected[i][0]);
        EXPECT_EQ(a.getAttribs()[i].value, expected[i][1]);
    }
    EXPECT_EQ(a.getAttrib("x"), "1") << "the first of duplicate attributes wins";
    EXPECT_EQ(a.getChildCount(), 0);
}

TEST(XMLFile, BuildsTheTreeAndCopiesIt) {
    XMLFile root = parsed("<?xml version=\"1.0\"?><!-- c --><root>text<k v=\"1\"/>"
                          "<g><m n=\"a\"><x/></m><m n=\"b\"/></g></root>trailing<other/>");
    EXPECT_EQ(root.getName(), "root");
    ASSERT_EQ(root.getChildCount(), 2);
    EXPECT_EQ(root.getChildren()[0].getName(), "k");
    const XMLElement& g = root.getChild("g");
    ASSERT_EQ(g.getChildCount(), 2);
    EXPECT_EQ(g.getChildren()[0].getAttrib("n"), "a");
    EXPECT_EQ(g.getChildren()[0].getChildren()[0].getName(), "x");
    EXPECT_EQ(g.getChildren()[1].getAttrib("n"), "b");

    XMLElement copy = root;
    copy.getChild("g").findChild("m")->getAttrib("n") = "changed";
    EXPECT_EQ(root.getChild("g").getChild("m").getAttrib("n"), "a");
    EXPECT_EQ(copy.getChild("g").getChild("m").getChildCount(), 1);
}

TEST(XMLFile, QuirksReadersRelyOn) {
    EXPECT_EQ(parsed("<a><b></c></a>").getChildCount(), 1) << "end tag names are not compared";
    // A comment with an odd number of quotes or unbalanced "<" swallows markup.
    XMLFile odd = parsed("<r><!-- \" --><hidden/><!-- \" --><k/></r>");
    ASSERT_EQ(odd.getChildCount(), 1);
    EXPECT_EQ(odd.getChildren()[0].getName(), "k");
    XMLFile open = parsed("<r><!-- a < b --><hidden/>--><k/></r>");
    ASSERT_EQ(open.getChildCount(), 1);
    EXPECT_EQ(open.getChildren()[0].getName(), "k");
    EXPECT_EQ(parsed(std::string("<a v=\"x\0y\"/>", 12)).getAttrib("v").length, 3);
}

TEST(XMLFile, MalformedInputThrowsTheParseError) {
    // clang-format off
    const char* broken[] = {
        // no element at all
        "", "just text", "<!-- only a comment -->", "</a>",
        // tags that never close, or levels that do not balance
        "<a>", "<a>text", "<a></a", "<a/", "<a><b></a>", "<a><</a>", "<a><b x=\"1></b></a>",
        // malformed tags
        "<>", "< a/>", "< />", "< x=\"1\"/>", "</a/>", "<a></a/>",
        // malformed attributes
        "<a x='1'/>", "<a x/>", "<a x=1/>", "<a x=\"1/>", "<a x=\"1\" y/>", "<a x=>", "<a b=\"1\"c></a>",
    };
    // clang-format on
    for (const char* text : broken) {
        try {
            parsed(text);
            ADD_FAILURE() << "parsed: " << text;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.message.c_str(), "Error parsing XML file test.xml\nThe XML file is not valid")
                << text;
            EXPECT_EQ(e.line, 36);
        }
    }
}

TEST(XMLFile, EveryCutOfADocumentFailsUntilItsRootCloses) {
    const std::string document = "<?xml version=\"1.0\"?>\n<!-- lights -->\n<config a=\"1\">\n"
                                 "  <light range=\"2200\" colour=\"x\"/>\n  <model>text</model>\n</config>\n";
    const size_t closed = document.rfind('>') + 1;
    for (size_t length = 0; length < closed; ++length)
        EXPECT_THROW(parsed(document.substr(0, length)), Exception) << length;
    const XMLFile whole = parsed(document.substr(0, closed));
    EXPECT_EQ(whole.getName(), "config");
    EXPECT_EQ(whole.getChildCount(), 2);
}

TEST(XMLFile, NestingDepthIsBounded) {
    EXPECT_NO_THROW(parsed(nested(XMLFile::maxNestingDepth)));
    EXPECT_THROW(parsed(nested(XMLFile::maxNestingDepth + 1)), Exception);
    EXPECT_NO_THROW(parsed(nested(XMLFile::maxNestingDepth - 1, "<e/>")));
    EXPECT_THROW(parsed(nested(XMLFile::maxNestingDepth, "<e/>")), Exception);
    EXPECT_THROW(parsed(nested(100000)), Exception);
}

TEST(XMLFile, LookupsNeverFail) {
    XMLFile f = parsed(
        "<f neg=\"-0\" empty=\"\" zero=\"0\" half=\"0.5\" on=\"1\"><light/><model/><light n=\"2\"/></f>");
    EXPECT_EQ(f.getAttrib("neg").toFloat(2), 2);
    EXPECT_EQ(f.getAttribFloat("empty", 2), 2);
    EXPECT_EQ(f.getAttrib("zero").toFloat(2), 0);
    EXPECT_EQ(f.getAttribFloat("half", 2), 0.5f);
    EXPECT_EQ(f.getAttribInt("on", 0), 1);
    EXPECT_EQ(f.findAttrib("none"), nullptr);
    EXPECT_EQ(f.findChild("Light"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(f.getChild("none").getAttrib("x").toFloat(1), 1);

    f.getChild("none") = f;
    f.getAttrib("none") = "junk";
    EXPECT_EQ(f.getChild("missing").getChildCount(), 0) << "the shared element is emptied on every miss";
    EXPECT_EQ(f.getChild("missing").getName(), "");
    EXPECT_EQ(f.getAttrib("missing"), "");

    EXPECT_EQ(f.findFirstChild("light"), &f.getChildren()[0]);
    EXPECT_EQ(f.findNextChild(), &f.getChildren()[2]);
    EXPECT_EQ(f.findNextChild(), nullptr);
    EXPECT_EQ(f.findNextChild(), nullptr);
    EXPECT_EQ(f.findFirstChild("model"), &f.getChildren()[1]);
    EXPECT_EQ(f.findNextChild(), nullptr);
    EXPECT_EQ(f.findFirstChild("none"), nullptr);
}

TEST(XMLFile, LoadReportsFilesThatCannotBeReadOrParsed) {
    try {
        XMLFile().load("no such dir\\missing.xml");
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.message.c_str(), "Error opening XML file no such dir\\missing.xml");
        EXPECT_STREQ(e.function.c_str(), "Vantor::XMLFile::load");
        EXPECT_STREQ(e.file.c_str(), "source\\modules\\xml\\XMLFile");
        EXPECT_EQ(e.line, 29);
    }
    for (const char* text : {"", "<!-- a --><!-- b -->\n"}) {
        std::string path = writeTemp("invalid.xml", text).string();
        try {
            XMLFile().load(path.c_str());
            ADD_FAILURE() << text;
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.message.c_str()),
                      "Error parsing XML file " + path + "\nThe XML file is not valid");
            EXPECT_STREQ(e.function.c_str(), "Vantor::XMLFile::load");
            EXPECT_STREQ(e.file.c_str(), "source\\modules\\xml\\XMLFile");
            EXPECT_EQ(e.line, 36);
        }
        std::filesystem::remove(path);
    }
}

TEST(XMLFile, LoadReadsCRLFAsLFAndReplacesEarlierContents) {
    std::string lf = "<scene>\n  <light range=\"1\nend\"/>\n  <model/>\n</scene>\n";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::filesystem::path lfPath = writeTemp("lf.xml", lf), crlfPath = writeTemp("crlf.xml", crlf);

    XMLFile file;
    file.load(crlfPath.string().c_str());
    XMLFile reference;
    reference.load(lfPath.string().c_str());
    file.load(crlfPath.string().c_str());
    EXPECT_EQ(file.getName(), reference.getName());
    ASSERT_EQ(file.getChildCount(), 2) << "a second load replaces the first";
    EXPECT_EQ(file.getChild("light").getAttrib("range"), "1\nend");
    EXPECT_EQ(reference.getChild("light").getAttrib("range"), "1\nend");
    std::filesystem::remove(lfPath);
    std::filesystem::remove(crlfPath);
}

#include "foundation/xml_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct TreeDeleter {
    void operator()(XmlNode* node) const { XmlFreeNode(node); }
};
using Tree = std::unique_ptr<XmlNode, TreeDeleter>;

Tree parse(const std::string& text) { return Tree(XmlParse(text.c_str())); }

// A compact picture of a tree: elements as name[attributes]{children}, text
// nodes quoted, siblings separated by blanks. Attributes appear in list order.
std::string dump(const XmlNode* node) {
    std::string out;
    for (; node; node = node->next) {
        if (!out.empty())
            out += ' ';
        if (node->kind == XmlNode::TEXT) {
            out += '"';
            out += node->name;
            out += '"';
            continue;
        }
        out += node->name;
        if (node->attributes) {
            out += '[';
            for (const XmlAttribute* a = node->attributes; a; a = a->next) {
                out += a->name;
                out += '=';
                out += a->value;
                if (a->next)
                    out += ',';
            }
            out += ']';
        }
        if (node->child)
            out += '{' + dump(node->child) + '}';
    }
    return out;
}

struct DocumentCase {
    const char* label;
    const char* text;
    const char* tree;
};

class XmlParseTable : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(XmlParseTable, XmlParse_GivesExpectedTree) {
    const DocumentCase& c = GetParam();
    Tree tree = parse(c.text);
    EXPECT_EQ(dump(tree.get()), c.tree) << c.text;
}

const DocumentCase kDocuments[] = {
    {"EmptyText", "", ""},
    {"OnlyBlanks", " \r\n\t ", ""},
    {"AttributesReverseOrder", "<a x=\"1\" y=\"2\"/>", "a[y=2,x=1]"},
    {"LeafChildren", "<r><v>1.8</v><w>2</w></r>", "r{v{\"1.8\"} w{\"2\"}}"},
    {"PrologSkipped",
     "<?xml version=\"1.0\"?>\n<!-- note -->\n<!DOCTYPE r>\n<r/>", "r"},
    {"EntitiesDecoded", "<t>a&lt;b&amp;c&gt;d&apos;e&quot;f</t>", "t{\"a<b&c>d'e\"f\"}"},
    {"UnknownEntityCopied", "<t>a&nbsp;b &amp x</t>", "t{\"a&nbsp;b &amp x\"}"},
    {"LeadingBlankSkippedTrailingKept", "<t> x </t>", "t{\"x \"}"},
    {"AttributeValueNotDecoded", "<a v=\"&amp;\"/>", "a[v=&amp;]"},
    {"AttributeWithoutValueIgnored", "<a x y=\"2\"/>", "a[y=2]"},
    {"UnquotedValue", "<a x=1 y=2/>", "a[y=2,x=1]"},
    {"UnquotedValueStopsAtTagEnd", "<a x=1><b/></a>", "a[x=1]{b}"},
    {"AttributeNameStopsAtTagEnd", "<a x><b/></a>", "a{b}"},
    {"AttributeNameStopsAtEmptyTagEnd", "<a x/><b/>", "a b"},
    {"BlankAfterEqualsGivesEmptyValue", "<a x= \"1\"/>", "a[x=]"},
    {"SingleQuotesNotSpecial", "<a x='1'/>", "a[x='1']"},
    {"UnclosedQuote", "<a x=\"1", "a[x=1]"},
    {"ByteOrderMarkSkipped", "\xEF\xBB\xBF<r><v>1</v></r>", "r{v{\"1\"}}"},
    {"EndTagNameNotCompared", "<a><b>x</c></a><d/>", "a{b{\"x\"}} d"},
    {"TopLevelSiblings", "<a/><b/>text", "a b \"text\""},
    {"MixedContentStaysInParent", "<r>text<a/>more</r><s/>", "r{\"text\" a \"more\"} s"},
    {"UnterminatedComment", "<a/><!-- never closed <b/>", "a"},
    {"UnterminatedInstruction", "<?xml <a/>", ""},
    {"StrayEndTagEndsParse", "</x><a/>", ""},
    {"EmptyName", "< a=1/>", "[a=1]"},
    {"NameCharacters", "<_a:b.c-1/>", "_a:b.c-1"},
    {"NestedCommentsInsideElement", "<r><!-- c --><v>1</v><!-- d --></r>", "r{v{\"1\"}}"},
    {"UnclosedElements", "<a><b><c>x", "a{b{c{\"x\"}}}"},
    {"HighBytesInText", "<t>\xC3\xA9t\xC3\xA9</t>", "t{\"\xC3\xA9t\xC3\xA9\"}"},
};

INSTANTIATE_TEST_SUITE_P(Documents, XmlParseTable, ::testing::ValuesIn(kDocuments),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) {
                             return std::string(info.param.label);
                         });

TEST(XmlReader, XmlParse_NullText) { EXPECT_EQ(XmlParse(nullptr), nullptr); }

TEST(XmlReader, XmlFindElement_SkipsTextAndDoesNotDescend) {
    Tree tree = parse("lead<r><g/></r><s a=\"1\"/><s a=\"2\"/>");
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->kind, XmlNode::TEXT);
    XmlNode* r = XmlFindElement(tree.get(), "r");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(XmlFindElement(tree.get(), "g"), nullptr);
    EXPECT_NE(XmlFindElement(r->child, "g"), nullptr);
    XmlNode* s = XmlFindElement(tree.get(), "s");
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(XmlGetAttribute(s->attributes, "a"), "1");
    EXPECT_STREQ(XmlGetAttribute(XmlFindElement(s->next, "s")->attributes, "a"), "2");
    EXPECT_EQ(XmlFindElement(tree.get(), "S"), nullptr);  // case matters
    EXPECT_EQ(XmlFindElement(tree.get(), nullptr), nullptr);
    EXPECT_EQ(XmlFindElement(nullptr, "r"), nullptr);
}

TEST(XmlReader, XmlGetAttribute_FirstMatchInList) {
    Tree tree = parse("<a k=\"first\" k=\"second\" K=\"upper\"/>");
    ASSERT_TRUE(tree);
    // The list is in reverse document order, so the later duplicate wins.
    EXPECT_STREQ(XmlGetAttribute(tree->attributes, "k"), "second");
    EXPECT_STREQ(XmlGetAttribute(tree->attributes, "K"), "upper");
    EXPECT_EQ(XmlGetAttribute(tree->attributes, "missing"), nullptr);
    EXPECT_EQ(XmlGetAttribute(nullptr, "k"), nullptr);
    EXPECT_EQ(XmlGetAttribute(tree->attributes, nullptr), nullptr);
}

TEST(XmlReader, XmlFreeNode_AcceptsNull) { XmlFreeNode(nullptr); }

const char kSample[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!-- options -->\r\n"
    "<!DOCTYPE options SYSTEM \"options.dtd\">\r\n"
    "<options version=\"2\" mode=fast>\r\n"
    "  <option name=\"a&amp;b\" value=\"1\"/>\r\n"
    "  <image url=\"https://localhost/x.jpg\" digest='abc'>caption &lt;1&gt; </image>\r\n"
    "  <list><item>1</item><item>2</item><empty></empty></list>\r\n"
    "  <?pi data?>\r\n"
    "</options>\r\n";

// Every cut of a document, as a download that ended early gives, must parse
// to some tree without reading past the end (the sanitizers check the rest).
TEST(XmlReader, XmlParse_EveryPrefixOfSample) {
    const std::string sample(kSample);
    for (size_t length = 0; length <= sample.size(); ++length) {
        const std::string prefix = sample.substr(0, length);
        Tree tree = parse(prefix);
        if (length == sample.size()) {
            EXPECT_EQ(dump(tree.get()),
                      "options[mode=fast,version=2]{option[value=1,name=a&amp;b] "
                      "image[digest='abc',url=https://localhost/x.jpg]{\"caption <1> \"} "
                      "list{item{\"1\"} item{\"2\"} empty}}");
        }
    }
}

TEST(XmlReader, XmlParse_MegabyteOfSiblings) {
    std::string text = "<r>";
    while (text.size() < 1024 * 1024)
        text += "<i v=\"1\">x</i>";
    text += "</r>";
    Tree tree = parse(text);
    ASSERT_TRUE(tree);
    size_t count = 0;
    for (XmlNode* n = tree->child; n; n = n->next)
        ++count;
    EXPECT_GT(count, 60000u);
}

TEST(XmlReader, XmlParse_MegabyteOfTopLevelTextAndElements) {
    std::string text;
    while (text.size() < 1024 * 1024)
        text += "<a/>t";
    Tree tree = parse(text);
    ASSERT_TRUE(tree);
    EXPECT_STREQ(tree->name, "a");
}

TEST(XmlReader, XmlParse_DepthIsCapped) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<d>";
    Tree tree = parse(deep);
    int depth = 0;
    for (XmlNode* n = tree.get(); n; n = n->child)
        ++depth;
    EXPECT_EQ(depth, kXmlMaxDepth);

    std::string fits;
    for (int i = 0; i < kXmlMaxDepth; ++i)
        fits += "<d>";
    fits += "x";
    Tree whole = parse(fits);
    depth = 0;
    const XmlNode* last = nullptr;
    for (const XmlNode* n = whole.get(); n; n = n->child) {
        ++depth;
        last = n;
    }
    EXPECT_EQ(depth, kXmlMaxDepth);  // the text is beyond the last element
    EXPECT_STREQ(last->name, "d");
}

}  // namespace

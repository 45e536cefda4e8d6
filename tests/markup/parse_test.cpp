#include <gtest/gtest.h>

#include <string>

#include "markup/markup_stl.h"
#include "markup_test_util.h"
#include "temp_dir.h"

namespace {

struct Failure {
    const char* text;
    const char* message;
};

TEST(MarkupParse, EachFailureSetsItsMessageAndLeavesNoRoot) {
    const Failure cases[] = {
        {"no markup at all", "Element tag not found"},
        {"<a>text", "Element tag not found"},
        {"<a><b/>", "Element tag not found"},
        {"<", "Abrupt end within tag"},
        {"<a>x<  \r\n", "Abrupt end within tag"},
        {"<\"a\"/>", "Tag starts with quote"},
        {"<a><'b'/></a>", "Tag starts with quote"},
        {"<?xml version='1.0'", "Invalid node"},
        {"<!-- never closed <a/>", "Invalid node"},
        {"<a><![CDATA[x</a>", "Invalid node"},
        {"<!DOCTYPE a [ <!ENTITY e 'v'> <a/>", "Invalid node"},
        {"<!", "Invalid node"},
        {"<a b='1'", "End of tag not found"},
        {"<a b=\"x>\"", "End of tag not found"},
        {"<a><b></a>", "End tag does not correspond to b"},
        {"<a></b>", "End tag does not correspond to a"},
        {"<Config></config>", "End tag does not correspond to Config"},
        {"<a></a", "End tag not completed for element a"},
        {"<a><b></b \"x\"", "End tag not completed for element b"},
    };
    for (const Failure& c : cases) {
        CMarkupSTL doc;
        EXPECT_FALSE(doc.ParseText(c.text)) << c.text;
        EXPECT_EQ(doc.LastError(), c.message) << c.text;
        EXPECT_FALSE(doc.HasRootElement());
        EXPECT_FALSE(doc.FindSibling()) << "a failed parse leaves nothing to navigate";
        EXPECT_EQ(doc.Text(), c.text) << "the text is kept, for writing it back unchanged";
    }
}

TEST(MarkupParse, MessageHoldsANameOfAnyLength) {
    const std::string name(5000, 'n');
    CMarkupSTL doc;
    EXPECT_FALSE(doc.ParseText("<" + name + "></m>"));
    EXPECT_EQ(doc.LastError(), "End tag does not correspond to " + name);
}

TEST(MarkupParse, EmptyTextsAndStrayEndTagsFailWithoutMessage) {
    CMarkupSTL doc;
    EXPECT_FALSE(doc.ParseText(""));
    EXPECT_FALSE(doc.ParseText(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(doc.ParseText("</a>"));
    EXPECT_EQ(doc.LastError(), "");
    EXPECT_FALSE(doc.HasRootElement());

    // A message stays until the next failure, through successful parses.
    EXPECT_FALSE(doc.ParseText("<a>"));
    EXPECT_TRUE(doc.ParseText("<a/>"));
    EXPECT_EQ(doc.LastError(), "Element tag not found");
}

TEST(MarkupParse, RowsHoldTagOffsetsAndLinks) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText("<r><a/><b>x</b><c/></r>"));
    ASSERT_EQ(doc.ElementCount(), 5);
    EXPECT_EQ(doc.Span(0).firstChild, 1);
    EXPECT_EQ(doc.Span(1), (ElementSpan{0, 2, 19, 22, 0, 2, 0}));
    EXPECT_EQ(doc.Span(2), (ElementSpan{3, 6, 5, 6, 1, 0, 3})) << "<a/> is empty-tagged";
    EXPECT_EQ(doc.Span(3), (ElementSpan{7, 9, 11, 14, 1, 0, 4}));
    EXPECT_EQ(doc.Span(4), (ElementSpan{15, 18, 17, 18, 1, 0, 0}));
}

TEST(MarkupParse, SkipsDeclarationsCommentsAndWhitespaceInTags) {
    CMarkupSTL doc;
    const std::string text =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n"
        "<!DOCTYPE r [ <!ENTITY gt \">\"> <!ELEMENT r ANY> ]>\n"
        "<!-- a comment with <tags> -->\n"
        "< r >< ?pi x? ><![CDATA[</r>]]><!----><c  /></r  >"
        "trailing < junk that is never read";
    ASSERT_TRUE(doc.ParseText(text)) << doc.LastError();
    ASSERT_TRUE(doc.FindSibling("r"));
    ASSERT_TRUE(doc.FindChild("c"));
    EXPECT_FALSE(doc.FindChild());
    EXPECT_EQ(doc.ElementCount(), 3);
    EXPECT_EQ(text.substr(doc.Span(1).endOpen), "</r  >trailing < junk that is never read");
}

TEST(MarkupParse, GreaterThanInsideQuotedValueDoesNotEndTheTag) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText("<a if=\"x > y\" then='b>c' q=it\"s><c/></a>")) << doc.LastError();
    ASSERT_TRUE(doc.FindSibling("a"));
    EXPECT_EQ(doc.AttributeValue("if"), "x > y");
    EXPECT_EQ(doc.AttributeValue("then"), "b>c");
    EXPECT_TRUE(doc.FindChild("c")) << "a quote inside a word opens no value";

    ASSERT_TRUE(doc.ParseText("<a t=\"1>2\">text</a>"));
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.ElementText(), "text");
    ASSERT_TRUE(doc.PutAttribute("n", "v"));
    EXPECT_EQ(doc.Text(), "<a t=\"1>2\" n=\"v\">text</a>");

    ASSERT_TRUE(doc.ParseText("<a v='/'><b v=\"/\"/></a>"));
    EXPECT_EQ(doc.Span(1).endOpen, 19) << "a slash in a value does not make the tag empty";
    EXPECT_EQ(doc.Span(2).endOpen, doc.Span(2).tagClose - 1);
}

TEST(MarkupParse, ManyAndDeeplyNestedElements) {
    std::string wide = "<r>";
    for (int i = 0; i < 5000; ++i) wide += "<e n='" + std::to_string(i) + "'/>";
    wide += "</r>";
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText(wide));
    ASSERT_TRUE(doc.FindSibling("r"));
    int count = 0;
    while (doc.FindChild("e")) EXPECT_EQ(doc.ChildAttributeValue("n"), std::to_string(count++));
    EXPECT_EQ(count, 5000);

    const int depth = 200000;
    std::string deep;
    for (int i = 0; i < depth; ++i) deep += "<d>";
    deep += "core";
    for (int i = 0; i < depth; ++i) deep += "</d>";
    ASSERT_TRUE(doc.ParseText(deep));
    ASSERT_TRUE(doc.FindSibling());
    for (int i = 1; i < depth; ++i) ASSERT_TRUE(doc.FindChild("d") && doc.Descend());
    EXPECT_EQ(doc.ElementText(), "core");
    EXPECT_EQ(doc.Span(doc.CurrentIndex()).endClose, 3 * depth + 7);
}

TEST(MarkupFile, LoadReadsBytesAsTheyAre) {
    testing_support::TempDir dir;
    const std::string bytes("\xEF\xBB\xBF<a>\r\nx\0y</a>", 15);
    CMarkupSTL doc;
    ASSERT_TRUE(doc.LoadFromFile(dir.Write("doc.xml", bytes)));
    EXPECT_EQ(doc.Text(), bytes) << "no byte-order mark removed, no line ends changed";
    ASSERT_TRUE(doc.FindSibling("a"));
    EXPECT_EQ(doc.ElementText(), std::string("\r\nx\0y", 5));
}

TEST(MarkupFile, LoadFailures) {
    testing_support::TempDir dir;
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText("<old/>"));
    EXPECT_FALSE(doc.LoadFromFile(dir / "missing.xml"));
    EXPECT_EQ(doc.Text(), "");
    EXPECT_FALSE(doc.HasRootElement());

    EXPECT_FALSE(doc.LoadFromFile(dir.Write("empty.xml", "")));
    EXPECT_FALSE(doc.LoadFromFile(dir.Write("bad.xml", "<a><b></a>")));
    EXPECT_EQ(doc.Text(), "<a><b></a>");
    EXPECT_EQ(doc.LastError(), "End tag does not correspond to b");
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "markup/markup_stl.h"

namespace {

const char* const kTree =
    "<root>\n"
    "  <item id=\"1\">one</item>\n"
    "  <group><item id=\"2\"/><leaf/><item id=\"3\">three</item></group>\n"
    "  <item id=\"4\" />\n"
    "</root>\n";

TEST(MarkupCursor, SiblingsAndChildrenByName) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText(kTree));
    EXPECT_FALSE(doc.FindSibling("item")) << "only the root is at the top";
    EXPECT_FALSE(doc.FindSibling("Root")) << "names compare case-sensitively";
    EXPECT_FALSE(doc.FindSibling("roo"));
    EXPECT_EQ(doc.CurrentIndex(), 0);
    ASSERT_TRUE(doc.FindSibling("root"));

    ASSERT_TRUE(doc.FindChild("item"));
    EXPECT_EQ(doc.ChildAttributeValue("id"), "1");
    EXPECT_EQ(doc.ChildText(), "one");
    ASSERT_TRUE(doc.FindChild("item")) << "the search goes on after the current child";
    EXPECT_EQ(doc.ChildAttributeValue("id"), "4");
    const int last = doc.ChildIndex();
    EXPECT_FALSE(doc.FindChild("item"));
    EXPECT_EQ(doc.ChildIndex(), last) << "a failed search leaves the cursor";
    EXPECT_EQ(doc.AttributeValue("id"), "") << "the current element is still the root";

    ASSERT_TRUE(doc.Descend());
    EXPECT_EQ(doc.AttributeValue("id"), "4") << "the child became the current element";
    EXPECT_EQ(doc.ElementText(), "");
    ASSERT_TRUE(doc.Ascend());
    EXPECT_EQ(doc.ChildIndex(), last) << "ascending makes the old element the current child";
    EXPECT_FALSE(doc.Ascend());
}

TEST(MarkupCursor, DescendIntoALevelAndRestartIt) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText(kTree));
    EXPECT_FALSE(doc.Descend()) << "no current element yet";
    ASSERT_TRUE(doc.FindChild()) << "finds the root first, then its first child";
    EXPECT_EQ(doc.ChildAttributeValue("id"), "1");

    EXPECT_FALSE(doc.FindSibling("root")) << "the root has no following sibling";
    doc.RestartLevel();
    ASSERT_TRUE(doc.FindSibling("root"));
    EXPECT_EQ(doc.ChildIndex(), 0);
    ASSERT_TRUE(doc.Descend());
    EXPECT_EQ(doc.CurrentIndex(), 0);
    EXPECT_FALSE(doc.Descend());
    EXPECT_FALSE(doc.PutAttribute("x", "y")) << "no element to edit";
    ASSERT_TRUE(doc.FindSibling("group"));
    ASSERT_TRUE(doc.Descend());
    ASSERT_TRUE(doc.FindSibling("item"));
    EXPECT_EQ(doc.AttributeValue("id"), "2");
    ASSERT_TRUE(doc.FindSibling("item"));
    EXPECT_EQ(doc.AttributeValue("id"), "3");
    EXPECT_EQ(doc.ElementText(), "three");
    EXPECT_FALSE(doc.FindSibling("item"));
    EXPECT_EQ(doc.AttributeValue("id"), "3");

    doc.RestartLevel();
    EXPECT_EQ(doc.AttributeValue("id"), "");
    ASSERT_TRUE(doc.FindSibling("item"));
    EXPECT_EQ(doc.AttributeValue("id"), "2");
    ASSERT_TRUE(doc.Ascend());
    EXPECT_TRUE(doc.FindSibling("item")) << "the search at root level goes on after group";
    EXPECT_EQ(doc.AttributeValue("id"), "4");
    ASSERT_TRUE(doc.Ascend());
    EXPECT_EQ(doc.ParentIndex(), 0);
    EXPECT_FALSE(doc.FindSibling());
}

std::string TextOf(const std::string& content) {
    CMarkupSTL doc;
    EXPECT_TRUE(doc.ParseText("<a>" + content + "</a>")) << content;
    EXPECT_TRUE(doc.FindSibling());
    return doc.ElementText();
}

TEST(MarkupRead, ElementTextRules) {
    EXPECT_EQ(TextOf("  x \n"), "  x \n");
    EXPECT_EQ(TextOf(""), "");
    EXPECT_EQ(TextOf("pre<b/>post"), "") << "mixed content is never returned";
    EXPECT_EQ(TextOf("<![CDATA[x<y&amp;]]>"), "x<y&amp;");
    EXPECT_EQ(TextOf("\n <![CDATA[kept]]>dropped"), "kept");
    EXPECT_EQ(TextOf("x<![CDATA[y]]>"), "x<![CDATA[y]]>") << "a section after text is text";
    EXPECT_EQ(TextOf("<!-- note -->v"), "<!-- note -->v");
}

TEST(MarkupRead, EntitiesAndCharacterReferences) {
    EXPECT_EQ(TextOf("&lt;&#65;&#x42;&amp;x&bogus;"), "<AB&x&bogus;");
    EXPECT_EQ(TextOf("&apos;&quot;&gt;&amp;amp;"), "'\">&amp;");
    EXPECT_EQ(TextOf("&#233;&#x20AC;"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(TextOf("&#x10000;&#x1F6F0;&#128752;&#x10FFFF;"),
              "\xF0\x90\x80\x80\xF0\x9F\x9B\xB0\xF0\x9F\x9B\xB0\xF4\x8F\xBF\xBF");
    // Not characters, or not references: copied as they stand.
    for (const char* kept : {"&#0;", "&#x0;", "&#xD800;", "&#xDFFF;", "&#x110000;", "&#1114112;",
                             "&#;", "&#x;", "&#X41;", "&#65", "&#12345678;", "&lt", "& amp;"}) {
        EXPECT_EQ(TextOf(kept), kept);
    }
    EXPECT_EQ(TextOf("&#1234567;&#x1234567;"), "&#1234567;&#x1234567;");
}

TEST(MarkupRead, UnescapeStaysInsideItsRange) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText("<a>x&amp;&#65;</a>"));
    EXPECT_EQ(doc.UnescapeRange(4, 7), "&amp") << "an entity cut by the range is not decoded";
    EXPECT_EQ(doc.UnescapeRange(9, 12), "&#65");
    EXPECT_EQ(doc.UnescapeRange(3, 13), "x&A");
    EXPECT_EQ(doc.UnescapeRange(5, 4), "");
}

TEST(MarkupRead, AttributeValues) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText(
        "<a x='1' y=\"2\" z=3 w = \"4\" X=\"5\" e=\"&lt;&#233;\" a=\"6\" n=''><b/></a>"));
    EXPECT_EQ(doc.AttributeValue("x"), "") << "no current element";
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.AttributeValue("x"), "1");
    EXPECT_EQ(doc.AttributeValue("y"), "2");
    EXPECT_EQ(doc.AttributeValue("z"), "") << "unquoted values read as absent";
    EXPECT_EQ(doc.AttributeValue("w"), "4");
    EXPECT_EQ(doc.AttributeValue("X"), "5");
    EXPECT_EQ(doc.AttributeValue("e"), "<\xC3\xA9");
    EXPECT_EQ(doc.AttributeValue("a"), "6") << "the tag name is not an attribute";
    EXPECT_EQ(doc.AttributeValue("n"), "");
    EXPECT_EQ(doc.AttributeValue("missing"), "");
    EXPECT_EQ(doc.ChildAttributeValue("x"), "");

    ASSERT_TRUE(doc.ParseText("<a / b=\"1\"><?x c=\"2\"?></a>"));
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.AttributeValue("b"), "") << "a slash ends the attributes";
}

}  // namespace

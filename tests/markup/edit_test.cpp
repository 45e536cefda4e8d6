#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "markup/markup_stl.h"
#include "markup_test_util.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace {

const char* const kConfig =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<ConfigInfo>\r\n"
    "  <AGPS><element isSupported=\"Y\"/></AGPS>\r\n"
    "  <Path><element name=\"/opt/gps/tool\"></element></Path>\r\n"
    "  <Type><element name='GPS'/></Type>\r\n"
    "  <APN><element name=\"cmnet\" note=\"n\"><sub a=\"1\">t&amp;t</sub></element></APN>\r\n"
    "  <SUPL><element /></SUPL>\r\n"
    "  <Scenario><element name=\"High speed\"/>tail</Scenario>\r\n"
    "</ConfigInfo>\r\n";

// Puts the cursor on the n-th element in document order (n from 1), which is row n.
bool GoToElement(CMarkupSTL& doc, int n) {
    if (!doc.FindSibling()) return false;
    for (int seen = 1; seen < n; ++seen) {
        if (doc.FindChild()) {
            doc.Descend();
            continue;
        }
        while (!doc.FindSibling()) {
            if (!doc.Ascend()) return false;
        }
    }
    return true;
}

TEST(MarkupEdit, EveryEditKeepsTheIndexOfAFreshParse) {
    CMarkupSTL probe;
    ASSERT_TRUE(probe.ParseText(kConfig));
    const int rows = probe.ElementCount();
    ASSERT_EQ(rows, 15);
    struct Edit {
        const char* name;
        const char* value;
    };
    const Edit edits[] = {{"name", ""},         {"name", "a much longer value than before"},
                          {"isSupported", "y"}, {"new", "x<y & \"z\" 'w'"},
                          {"a", "2"},           {"note", ""}};
    for (int row = 1; row < rows; ++row) {
        for (const Edit& edit : edits) {
            CMarkupSTL doc;
            ASSERT_TRUE(doc.ParseText(kConfig));
            ASSERT_TRUE(GoToElement(doc, row));
            ASSERT_EQ(doc.CurrentIndex(), row);
            ASSERT_TRUE(doc.PutAttribute(edit.name, edit.value));
            EXPECT_EQ(doc.AttributeValue(edit.name), edit.value);
            SCOPED_TRACE(std::to_string(row) + " " + edit.name);
            ExpectIndexMatchesFreshParse(doc);
        }
    }
}

TEST(MarkupEdit, ShorteningAValueKeepsLaterReadsAndEndTags) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText(kConfig));
    ASSERT_TRUE(doc.FindSibling("ConfigInfo") && doc.Descend());
    ASSERT_TRUE(doc.FindSibling("Path") && doc.FindChild("element"));
    ASSERT_TRUE(doc.PutChildAttribute("name", "/b"));
    EXPECT_EQ(doc.ChildAttributeValue("name"), "/b");
    ASSERT_TRUE(doc.FindSibling("Type") && doc.FindChild("element"));
    EXPECT_EQ(doc.ChildAttributeValue("name"), "GPS");
    ASSERT_TRUE(doc.FindSibling("APN") && doc.FindChild("element") && doc.Descend());
    EXPECT_EQ(doc.AttributeValue("note"), "n");
    ASSERT_TRUE(doc.FindChild("sub"));
    EXPECT_EQ(doc.ChildText(), "t&t");
    ASSERT_TRUE(doc.Ascend());
    ASSERT_TRUE(doc.FindSibling("Scenario") && doc.FindChild("element"));
    EXPECT_EQ(doc.ChildAttributeValue("name"), "High speed");
    ASSERT_TRUE(doc.Ascend() && doc.Ascend() == false);
    const ElementSpan& root = doc.Span(doc.CurrentIndex());
    EXPECT_EQ(doc.Text().substr(root.endOpen, root.endClose - root.endOpen + 1), "</ConfigInfo>");
}

std::string AfterPut(const std::string& text, const char* name, const char* value) {
    CMarkupSTL doc;
    EXPECT_TRUE(doc.ParseText(text));
    EXPECT_TRUE(doc.FindSibling());
    EXPECT_TRUE(doc.PutAttribute(name, value));
    return doc.Text();
}

TEST(MarkupEdit, WhereValuesGoAndHowTheyAreEscaped) {
    EXPECT_EQ(AfterPut("<x/>", "n", "v"), "<x n=\"v\"/>");
    EXPECT_EQ(AfterPut("<x />", "n", "v"), "<x  n=\"v\"/>");
    EXPECT_EQ(AfterPut("<x>t</x>", "n", "v"), "<x n=\"v\">t</x>");
    EXPECT_EQ(AfterPut("<x n='old'/>", "n", "a<b"), "<x n='a&lt;b'/>");
    EXPECT_EQ(AfterPut("<x n=\"\"/>", "n", "\"it's\""), "<x n=\"&quot;it&apos;s&quot;\"/>");
    EXPECT_EQ(AfterPut("<x n=bare/>", "n", "q"), "<x n=bare n=\"q\"/>");
    EXPECT_EQ(CMarkupSTL::EscapeText("<&>'\"plain"), "&lt;&amp;&gt;&apos;&quot;plain");

    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText("<x n=\"1\"/>"));
    EXPECT_FALSE(doc.PutAttribute("n", "2")) << "no current element";
    EXPECT_FALSE(doc.PutChildAttribute("n", "2"));
    EXPECT_EQ(doc.Text(), "<x n=\"1\"/>");
}

TEST(MarkupEdit, ShiftCanLeaveChildrenAlone) {
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText("<r><a><b/></a><c/></r>"));
    const ElementSpan r = doc.Span(1), a = doc.Span(2), b = doc.Span(3), c = doc.Span(4);
    doc.ShiftPositions(2, 5, true);
    EXPECT_EQ(doc.Span(2), a);
    EXPECT_EQ(doc.Span(3), b);
    EXPECT_EQ(doc.Span(4).tagOpen, c.tagOpen + 5);
    EXPECT_EQ(doc.Span(4).endClose, c.endClose + 5);
    EXPECT_EQ(doc.Span(1).tagClose, r.tagClose);
    EXPECT_EQ(doc.Span(1).endOpen, r.endOpen + 5);
    doc.ShiftPositions(2, -5, false);
    EXPECT_EQ(doc.Span(3).tagOpen, b.tagOpen - 5);
    EXPECT_EQ(doc.Span(4), c);
    EXPECT_EQ(doc.Span(1), r);
}

TEST(MarkupSave, WritesExactlyTheDocument) {
    testing_support::TempDir dir;
    CMarkupSTL doc;
    ASSERT_TRUE(doc.LoadFromFile(dir.Write("c.xml", kConfig)));
    ASSERT_TRUE(doc.FindSibling() && doc.FindChild("Type") && doc.Descend() && doc.FindChild());
    ASSERT_TRUE(doc.PutChildAttribute("name", "AGPS"));
    ASSERT_TRUE(doc.SaveToFile(dir / "c.xml"));
    EXPECT_EQ(platform::ReadWholeFile(dir / "c.xml"), doc.Text());

    ASSERT_FALSE(doc.ParseText("<broken>"));
    ASSERT_TRUE(doc.SaveToFile(dir / "broken.xml")) << "an unparsed text is written back as is";
    EXPECT_EQ(platform::ReadWholeFile(dir / "broken.xml"), "<broken>");

    CMarkupSTL empty;
    ASSERT_TRUE(empty.SaveToFile(dir / "empty.xml"));
    EXPECT_EQ(platform::ReadWholeFile(dir / "empty.xml"), "");
}

TEST(MarkupSave, RefusesReadOnlyFilesAndLeavesThemAlone) {
    testing_support::TempDir dir;
    const std::string path = dir.Write("plugins.xml", "<main/>");
    ::chmod(path.c_str(), 0444);
    CMarkupSTL doc;
    ASSERT_TRUE(doc.ParseText("<main><plugin/></main>"));
    EXPECT_FALSE(doc.SaveToFile(path));
    EXPECT_EQ(platform::ReadWholeFile(path), "<main/>");
    EXPECT_FALSE(doc.SaveToFile(dir / "no/such/folder/plugins.xml"));
    ASSERT_TRUE(platform::ClearReadOnly(path));
    EXPECT_TRUE(doc.SaveToFile(path));
    EXPECT_EQ(platform::ReadWholeFile(path), "<main><plugin/></main>");
}

}  // namespace

// Parses any input, checks the index it built, walks and reads the whole document, then edits
// one attribute and checks that the moved index equals a fresh parse of the edited text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "markup/markup_stl.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckRows(const CMarkupSTL& doc) {
    const std::string& text = doc.Text();
    const int size = static_cast<int>(text.size());
    for (int i = 1; i < doc.ElementCount(); ++i) {
        const ElementSpan& s = doc.Span(i);
        Check(s.tagOpen >= 0 && s.tagOpen < s.tagClose && s.endClose < size);
        Check(text[s.tagOpen] == '<' && text[s.tagClose] == '>' && text[s.endClose] == '>');
        if (s.tagClose == s.endOpen + 1) {
            Check(s.endClose == s.tagClose && text[s.endOpen] == '/');
        } else {
            Check(s.tagClose < s.endOpen && s.endOpen < s.endClose && text[s.endOpen] == '<');
        }
        Check(s.parent >= 0 && s.parent < i && s.firstChild >= 0 && s.nextSibling >= 0);
        Check(s.firstChild == 0 || (s.firstChild > i && doc.Span(s.firstChild).parent == i));
        Check(s.nextSibling == 0 ||
              (s.nextSibling > i && doc.Span(s.nextSibling).parent == s.parent));
    }
}

// Visits every element in document order through the cursor, reading all it can. Returns the
// number visited, and leaves the cursor on the element numbered `stopAt` when it is reached.
int Walk(CMarkupSTL& doc, int stopAt) {
    int visited = 0;
    if (!doc.FindSibling()) return 0;
    for (;;) {
        ++visited;
        Check(doc.CurrentIndex() == visited);
        if (visited == stopAt) return visited;
        volatile size_t sink = doc.ElementText().size() + doc.AttributeValue("a").size() +
                               doc.AttributeValue("id").size() + doc.ChildText().size();
        (void)sink;
        if (doc.FindChild()) {
            sink = doc.ChildAttributeValue("name").size();
            Check(doc.Descend());
            continue;
        }
        while (!doc.FindSibling()) {
            if (!doc.Ascend()) return visited;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CMarkupSTL doc;
    if (!doc.ParseText(input)) {
        Check(!doc.HasRootElement() && !doc.FindSibling() && !doc.FindChild());
        return 0;
    }
    CheckRows(doc);
    const int elements = doc.ElementCount() - 1;
    Check(Walk(doc, -1) == elements);
    if (size > 0) (void)doc.UnescapeRange(0, static_cast<int>(size) - 1);

    // Edit one attribute of an element chosen by the input, with a value taken from it.
    const int target = 1 + static_cast<int>(data[size - 1]) % elements;
    const char* const names[] = {"a", "id", "name", "x"};
    const std::string value(input.substr(size > 12 ? size - 12 : 0));
    const char* const name = names[data[0] % 4];
    doc.RestartLevel();  // the walk ended at the top level
    Check(Walk(doc, target) == target);
    const bool hadValue = !doc.AttributeValue(name).empty();
    Check(doc.PutAttribute(name, value));
    Check(!hadValue || doc.AttributeValue(name) == value);

    CMarkupSTL fresh;
    Check(fresh.ParseText(doc.Text()));
    Check(fresh.ElementCount() == doc.ElementCount());
    for (int i = 1; i < doc.ElementCount(); ++i) Check(fresh.Span(i) == doc.Span(i));
    CheckRows(doc);
    return 0;
}

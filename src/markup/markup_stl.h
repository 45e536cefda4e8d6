// CMarkupSTL: the XML document of both deliverables.
//
// The document is kept as one byte string. One left-to-right pass of the parser fills a table
// of ElementSpan rows (offsets into the string and links between rows); nothing is decoded
// until a value is read. A cursor of three row indexes (parent, current element, current child)
// moves over the table. Row 0 is the document node, so index 0 also means "no element".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "markup/element_table.h"

// One row per element. Offsets index the document text; links index the table (0: none).
struct ElementSpan {
    int32_t tagOpen = 0;      // the '<' of the start tag
    int32_t tagClose = 0;     // the '>' that ends the start tag
    int32_t endOpen = 0;      // the '<' of the end tag, or the '/' of "/>" (tagClose - 1)
    int32_t endClose = 0;     // the '>' that ends the element (tagClose for "/>")
    int32_t parent = 0;       // parent row, 0 for the root element
    int32_t firstChild = 0;   // first child row, 0 if none
    int32_t nextSibling = 0;  // next sibling row, 0 if none

    bool operator==(const ElementSpan&) const = default;
};

class CMarkupSTL {
  public:
    CMarkupSTL();
    virtual ~CMarkupSTL();
    CMarkupSTL(const CMarkupSTL&) = default;
    CMarkupSTL& operator=(const CMarkupSTL&) = default;

    // Replaces the document with `text` and indexes it. True when a root element was parsed;
    // on failure the document has no root and LastError() usually says why. A null pointer
    // means an empty text.
    bool ParseText(std::string_view text);
    bool ParseText(const char* text);
    // Reads the whole file and parses it. False when the file cannot be read (the document is
    // then empty) or does not parse (the document keeps the file's text, with no root).
    bool LoadFromFile(const std::string& path);
    // Replaces the file with the document's bytes, atomically. False, with the file left as it
    // was, when it cannot be written (a read-only file included).
    bool SaveToFile(const std::string& path) const;

    bool HasRootElement() const;
    // The message of the last failed parse; a later successful parse does not clear it.
    std::string LastError() const { return lastError_; }

    // Cursor. An empty name matches any element.
    bool FindSibling(std::string_view name = {});
    bool FindChild(std::string_view name = {});
    bool Descend();
    bool Ascend();
    void RestartLevel();

    // Reading. Values are decoded on the way out; missing values read as empty.
    std::string ElementText() const { return TextOf(currentIndex_); }
    std::string ChildText() const { return TextOf(childIndex_); }
    std::string AttributeValue(std::string_view name) const {
        return AttributeOf(currentIndex_, name);
    }
    std::string ChildAttributeValue(std::string_view name) const {
        return AttributeOf(childIndex_, name);
    }
    // Decodes entity and character references in text[first..last] (inclusive offsets).
    std::string UnescapeRange(int first, int last) const;

    // Editing. Sets (or adds) an attribute of the current element or the current child, and
    // moves the offsets of everything after the edit. False when there is no such element.
    bool PutAttribute(std::string_view name, std::string_view value) {
        return PutAttributeOf(currentIndex_, name, value);
    }
    bool PutChildAttribute(std::string_view name, std::string_view value) {
        return PutAttributeOf(childIndex_, name, value);
    }
    // Replaces < & > ' " by their entities.
    static std::string EscapeText(std::string_view text);
    // Moves by `distance` the offsets of every element after `index` in document order (its
    // children too, unless `skipChildren`) and the end tags of all of its ancestors. The row
    // `index` itself is left alone.
    void ShiftPositions(int index, int distance, bool skipChildren);

    // Inspection, for callers that need the raw document or the index.
    const std::string& Text() const { return text_; }
    int ElementCount() const { return nextFreeIndex_; }  // rows in use, row 0 included
    const ElementSpan& Span(int index) const;
    int ParentIndex() const { return parentIndex_; }
    int CurrentIndex() const { return currentIndex_; }
    int ChildIndex() const { return childIndex_; }

  private:
    bool IndexText();
    int ParseElements();
    int NewRow();
    bool FinishElement(int row);
    int Fail(std::string_view format, std::string_view name = {});
    void ResetCursor();

    bool TagNameMatches(int index, std::string_view name) const;
    int FindAmong(int first, std::string_view name) const;
    std::string TextOf(int index) const;
    std::string AttributeOf(int index, std::string_view name) const;
    bool FindAttribute(int index, std::string_view name, int& first, int& last) const;
    bool PutAttributeOf(int index, std::string_view name, std::string_view value);

    std::string text_;
    std::string lastError_;
    ElementTable<ElementSpan> elements_;
    int32_t parentIndex_ = 0;
    int32_t currentIndex_ = 0;
    int32_t childIndex_ = 0;
    int32_t nextFreeIndex_ = 1;
    int32_t onElement_ = 0;
};

// Parsing: one pass over the text fills the element table; loading a file.
#include <cstring>
#include <limits>

#include "markup/markup_stl.h"
#include "markup/tag_scanner.h"
#include "platform/files.h"

using markup_detail::IsSpace;
using markup_detail::NameMatches;
using markup_detail::ScanToken;
using markup_detail::TagToken;

namespace {

// Offsets are 32-bit; a longer text cannot be indexed.
constexpr size_t kMaxTextSize = std::numeric_limits<int32_t>::max() - 1;

int FindByte(std::string_view text, char c, int from) {
    if (from >= static_cast<int>(text.size())) return -1;
    const void* at = std::memchr(text.data() + from, c, text.size() - static_cast<size_t>(from));
    return at == nullptr ? -1 : static_cast<int>(static_cast<const char*>(at) - text.data());
}

// Offset just after the first `closing` found from `from`, or -1.
int EndAfter(std::string_view text, std::string_view closing, int from) {
    size_t at = text.find(closing, static_cast<size_t>(from));
    return at == std::string_view::npos ? -1 : static_cast<int>(at + closing.size());
}

// Skips a processing instruction, CDATA section, comment or document type declaration whose
// '<' is at `open`. Returns the offset just after it, or -1 when it is not closed.
int SkipMarkupNode(std::string_view text, int open) {
    if (open + 2 >= static_cast<int>(text.size())) return -1;
    const char c1 = text[open + 1];
    const char c2 = text[open + 2];
    if (c1 == '?') return EndAfter(text, "?>", open);
    if (c1 == '!' && c2 == '[') return EndAfter(text, "]]>", open);
    if (c1 == '!' && c2 == '-') return EndAfter(text, "-->", open);
    // A declaration: ends at the first '>' outside brackets and quoted strings.
    TagToken token;
    token.next = open;
    int depth = 0;
    while (ScanToken(text, token)) {
        if (token.quoted) continue;
        const char first = token.First(text);
        if (first == '[') {
            ++depth;
        } else if (first == ']') {
            --depth;
        } else if (first == '>' && depth == 0) {
            return token.next;
        }
    }
    return -1;
}

// The '>' that ends a start tag whose name ends before `from`: the first '>' that is not inside
// a quoted value. A quote opens a value only where a token may begin (after whitespace, a
// delimiter or another value), as the token scanner sees it. -1 when there is none.
int FindTagClose(std::string_view text, int from) {
    using markup_detail::kClasses;
    using markup_detail::kDelimiter;
    using markup_detail::kQuote;
    using markup_detail::kSpace;
    const int size = static_cast<int>(text.size());
    bool atTokenStart = true;
    for (int pos = from; pos < size; ++pos) {
        const char c = text[pos];
        const uint8_t cls = kClasses[static_cast<unsigned char>(c)];
        if (cls == markup_detail::kPlain) {
            atTokenStart = false;
        } else if (c == '>') {
            return pos;
        } else if (cls == kQuote) {
            if (atTokenStart) {
                pos = FindByte(text, c, pos + 1);
                if (pos < 0) return -1;
            }
            // after a closing quote the next token begins; a quote inside a word is plain
        } else {
            atTokenStart = (cls & (kSpace | kDelimiter)) != 0;
        }
    }
    return -1;
}

// The element's tag name: the first token after its '<'.
std::string_view TagName(std::string_view text, int tagOpen) {
    TagToken token;
    token.next = tagOpen + 1;
    if (!ScanToken(text, token) || token.quoted) return {};
    return token.View(text);
}

}  // namespace

CMarkupSTL::CMarkupSTL() : elements_(8) {}

CMarkupSTL::~CMarkupSTL() = default;

const ElementSpan& CMarkupSTL::Span(int index) const {
    static const ElementSpan kNone;
    if (index < 0 || index >= static_cast<int>(elements_.size())) return kNone;
    return elements_[static_cast<size_t>(index)];
}

void CMarkupSTL::ResetCursor() {
    parentIndex_ = 0;
    currentIndex_ = 0;
    childIndex_ = 0;
    onElement_ = 0;
}

bool CMarkupSTL::HasRootElement() const {
    return !elements_.empty() && elements_[0].firstChild != 0;
}

bool CMarkupSTL::ParseText(const char* text) {
    return ParseText(text == nullptr ? std::string_view() : std::string_view(text));
}

bool CMarkupSTL::ParseText(std::string_view text) {
    text_.assign(text.data(), text.size());
    return IndexText();
}

bool CMarkupSTL::LoadFromFile(const std::string& path) {
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes) return ParseText(std::string_view());
    text_ = std::move(*bytes);
    return IndexText();
}

bool CMarkupSTL::SaveToFile(const std::string& path) const {
    return platform::WriteFileAtomic(path, text_);
}

bool CMarkupSTL::IndexText() {
    nextFreeIndex_ = 1;
    ResetCursor();
    const size_t rows = text_.size() / 64 + 8;
    if (elements_.size() < rows) elements_.resize(rows);
    if (!text_.empty()) {
        elements_[0] = ElementSpan{};
        if (text_.size() > kMaxTextSize) {
            lastError_ = "Document too large";
        } else if (int root = ParseElements(); root > 0) {
            elements_[0].firstChild = root;
            ResetCursor();
            return true;
        }
    }
    elements_[0] = ElementSpan{};
    nextFreeIndex_ = 1;
    ResetCursor();
    return false;
}

int CMarkupSTL::NewRow() {
    if (nextFreeIndex_ == static_cast<int>(elements_.size())) {
        elements_.resize(elements_.size() + elements_.size() / 2);
    }
    return nextFreeIndex_++;
}

int CMarkupSTL::Fail(std::string_view format, std::string_view name) {
    // The message is built in a growable string, so a name of any length fits whole.
    std::string message(format);
    if (size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, name);
    lastError_ = std::move(message);
    return -1;
}

// Parses the root element and everything inside it, depth first. Each open element keeps the
// offset its content has been scanned to in `endOpen`; while it is open, its `nextSibling`
// holds its last child so far, to link the next one. Works without recursion, so nesting depth
// is bounded only by the text. Returns the root's row, 0 when an end tag stands where the root
// should be, or -1 on failure with lastError_ set.
int CMarkupSTL::ParseElements() {
    const std::string_view text = text_;
    int parent = 0;
    for (;;) {
        int row = NewRow();
        int pos = elements_[parent].endOpen;
        elements_[row] = ElementSpan{};
        elements_[row].parent = parent;

        // Find the next tag, skipping declarations, comments and the like.
        TagToken token;
        for (;;) {
            pos = FindByte(text, '<', pos);
            if (pos < 0) return Fail("Element tag not found");
            elements_[parent].endOpen = pos;
            token.next = pos + 1;
            if (!ScanToken(text, token)) return Fail("Abrupt end within tag");
            if (token.quoted) return Fail("Tag starts with quote");
            const char first = token.First(text);
            if (first != '?' && first != '!') break;
            pos = SkipMarkupNode(text, pos);
            if (pos < 0) return Fail("Invalid node");
        }

        if (token.First(text) == '/') {
            // The end tag of `parent`: no new element here; `parent` is complete.
            --nextFreeIndex_;
            if (parent == 0) return 0;
            if (!FinishElement(parent)) return -1;
            row = parent;
        } else {
            const int close = FindTagClose(text, token.next);
            if (close < 0) return Fail("End of tag not found");
            ElementSpan& span = elements_[row];
            span.tagOpen = pos;
            span.tagClose = close;
            if (text[close - 1] == '/') {
                span.endOpen = close - 1;
                span.endClose = close;
            } else {
                span.endOpen = close + 1;
                parent = row;  // parse its content next
                continue;
            }
        }

        // `row` is complete: link it as the last child of its parent.
        const int up = elements_[row].parent;
        if (up == 0) return row;
        ElementSpan& owner = elements_[up];
        if (owner.firstChild == 0) {
            owner.firstChild = row;
        } else {
            elements_[owner.nextSibling].nextSibling = row;
        }
        owner.nextSibling = row;
        owner.endOpen = elements_[row].endClose + 1;
        parent = up;
    }
}

// Reads the end tag of `row`, whose content has been parsed up to the '<' of that tag.
bool CMarkupSTL::FinishElement(int row) {
    const std::string_view text = text_;
    ElementSpan& span = elements_[row];
    span.nextSibling = 0;  // held the last child while the element was open
    const std::string_view name = TagName(text, span.tagOpen);

    const int open = FindByte(text, '<', span.endOpen);
    if (open < 0) return Fail("End tag of %s element not found", name), false;
    span.endOpen = open;

    TagToken token;
    token.next = open + 1;
    int count = 0;
    while (ScanToken(text, token)) {
        ++count;
        if (token.quoted) continue;
        if (count == 1 && !token.Is(text, '/')) {
            return Fail("Expecting end tag of element %s", name), false;
        }
        if (count == 2 && !NameMatches(token.View(text), name)) {
            return Fail("End tag does not correspond to %s", name), false;
        }
        if (token.Is(text, '>')) {
            span.endClose = token.start;
            return true;
        }
    }
    return Fail("End tag not completed for element %s", name), false;
}

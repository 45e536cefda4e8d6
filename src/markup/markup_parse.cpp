// Parsing: one pass over the text fills the element table; loading a file.
#include <algorithm>
#include <cstring>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "markup/markup_stl.h"
#include "markup/tag_scanner.h"
#include "platform/files.h"

using markup_detail::IsSpace;
using markup_detail::NameMatches;
using markup_detail::ScanToken;
using markup_detail::TagToken;

namespace {

// Offsets are 32-bit; a longer text cannot be indexed. The margin keeps offset arithmetic near
// the end of the text (a few bytes of look-ahead) within range.
constexpr size_t kMaxTextSize = std::numeric_limits<int32_t>::max() - 4096;

[[gnu::noinline]] int FindByteFar(std::string_view text, char c, int from) {
    if (from >= static_cast<int>(text.size())) return -1;
    const void* at = std::memchr(text.data() + from, c, text.size() - static_cast<size_t>(from));
    return at == nullptr ? -1 : static_cast<int>(static_cast<const char*>(at) - text.data());
}

// The first `c` in [pos, limit); `limit` when there is none. Inline, for short spans.
[[gnu::always_inline]] inline int ScanFor(const char* data, int pos, int limit, char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; pos + 16 <= limit; pos += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted)); mask != 0) {
            return pos + __builtin_ctz(mask);
        }
    }
#endif
    while (pos < limit && data[pos] != c) ++pos;
    return pos;
}

// The first `c` at or after `from`, or -1. Tags mostly follow each other closely, so the first
// bytes are searched inline before memchr takes over.
[[gnu::always_inline]] inline int FindByte(std::string_view text, char c, int from) {
    const int near = std::min(static_cast<int>(text.size()), from + 64);
    if (const int at = ScanFor(text.data(), from, near, c); at < near) return at;
    return FindByteFar(text, c, near);
}

// Whether the `n` bytes at `a` and `b` are equal; inline, for names.
[[gnu::always_inline]] inline bool SameBytes(const char* a, const char* b, int n) {
    for (; n >= 8; a += 8, b += 8, n -= 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x != y) return false;
    }
    for (; n > 0; ++a, ++b, --n) {
        if (*a != *b) return false;
    }
    return true;
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
// a quoted value. A quote opens a value only where a token may begin (right after the name,
// after whitespace, a delimiter or another value), as the token scanner sees it; a quote inside
// a word is a plain character. -1 when there is no such '>'.
int FindTagClose(std::string_view text, int from) {
    using markup_detail::kClasses;
    using markup_detail::kDelimiter;
    using markup_detail::kSpace;
    const char* data = text.data();
    const int size = static_cast<int>(text.size());
    if (from < size && data[from] == '>') return from;  // a tag without attributes
    char quote = 0;     // the quote of the value being passed over, 0 outside values
    int valueEnd = -1;  // just after the last value
    // Returns true when the '>' at `at` ends the tag.
    auto special = [&](int at) {
        const char c = data[at];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
                valueEnd = at + 1;
            }
            return false;
        }
        if (c == '>') return true;
        if (at == from || at == valueEnd ||
            (kClasses[static_cast<unsigned char>(data[at - 1])] & (kSpace | kDelimiter)) != 0) {
            quote = c;
        }
        return false;
    };
    int pos = from;
#if defined(__SSE2__)
    // Sixteen bytes at a time: every '>' and quote of the block, in order.
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i dq = _mm_set1_epi8('"');
    const __m128i sq = _mm_set1_epi8('\'');
    for (; pos + 16 <= size; pos += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_cmpeq_epi8(v, dq)),
                                         _mm_cmpeq_epi8(v, sq));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0;
             mask &= mask - 1) {
            const int at = pos + __builtin_ctz(mask);
            if (special(at)) return at;
        }
    }
#endif
    for (; pos < size; ++pos) {
        const char c = data[pos];
        if ((c == '>' || c == '"' || c == '\'') && special(pos)) return pos;
    }
    return -1;
}

}  // namespace

// The table is sized at the first parse; until then the document has no rows at all.
CMarkupSTL::CMarkupSTL() = default;

CMarkupSTL::~CMarkupSTL() = default;

const ElementSpan& CMarkupSTL::Span(int index) const {
    static const ElementSpan kNone;
    if (index < 0 || index >= nextFreeIndex_ || elements_.empty()) return kNone;
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
    const bool tooLarge = text_.size() > kMaxTextSize;
    elements_.GrowTo((tooLarge ? 0 : text_.size() / 64) + 8);
    if (!text_.empty()) {
        elements_[0] = ElementSpan{};
        if (tooLarge) {
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

namespace {

[[gnu::noinline]] void GrowTable(ElementTable<ElementSpan>& elements) {
    elements.GrowTo(elements.size() + elements.size() / 2);
}

}  // namespace

inline int CMarkupSTL::NewRow() {
    if (nextFreeIndex_ == static_cast<int>(elements_.size())) [[unlikely]] {
        GrowTable(elements_);
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

// Parses the root element and everything inside it, depth first, without recursion, so nesting
// depth is bounded only by the text. While an element is open, its `nextSibling` holds its last
// child so far (to link the next one) and its `endClose` the length of its name; its `endOpen`
// is set once its end tag is found. Returns the root's row, 0 when an end tag stands where the
// root should be, or -1 on failure with lastError_ set.
int CMarkupSTL::ParseElements() {
    using markup_detail::EndsToken;
    using markup_detail::kClasses;
    constexpr uint8_t kStop =
        markup_detail::kSpace | markup_detail::kDelimiter | markup_detail::kNul;
    const std::string_view text = text_;
    const char* data = text.data();
    const int size = static_cast<int>(text.size());
    int parent = 0;
    int pos = 0;  // where the scan of the parent's content goes on
    for (;;) {
        // Find the next tag, skipping declarations, comments and the like. The usual cases, a
        // name or a '/' right after the '<', take a short way to the same result.
        int nameStart = 0;
        int nameEnd = 0;
        bool endTag = false;
        for (;;) {
            pos = FindByte(text, '<', pos);
            if (pos < 0) return Fail("Element tag not found");
            const int at = pos + 1;
            if (at < size && kClasses[static_cast<unsigned char>(data[at])] == 0) {
                nameStart = at;
                // The text ends with a zero byte (std::string), which stops the loop; a zero
                // byte inside the text is a plain character of the name.
                nameEnd = at + 1;
                for (;;) {
                    while ((kClasses[static_cast<unsigned char>(data[nameEnd])] & kStop) == 0) {
                        ++nameEnd;
                    }
                    if (nameEnd >= size || data[nameEnd] != '\0') break;
                    ++nameEnd;
                }
                break;
            }
            if (at < size && data[at] == '/') {
                endTag = true;
                break;
            }
            TagToken token;
            token.next = at;
            if (!ScanToken(text, token)) return Fail("Abrupt end within tag");
            if (token.quoted) return Fail("Tag starts with quote");
            const char first = token.First(text);
            if (first == '/') {
                endTag = true;
                break;
            }
            if (first != '?' && first != '!') {
                nameStart = token.start;
                nameEnd = token.next;
                break;
            }
            pos = SkipMarkupNode(text, pos);
            if (pos < 0) return Fail("Invalid node");
        }

        int row = 0;
        if (endTag) {
            // The end tag of `parent`: `parent` is complete.
            if (parent == 0) return 0;
            ElementSpan& span = elements_[parent];
            span.endOpen = pos;
            // The usual "</name>" is checked here; anything else goes the long way.
            const int nameLength = span.endClose;
            const int close = pos + 2 + nameLength;
            const char* name = data + span.tagOpen + 1;
            if (close < size && data[close] == '>' && data[pos + 1] == '/' && !EndsToken(name[0]) &&
                SameBytes(data + pos + 2, name, nameLength)) {
                span.nextSibling = 0;
                span.endClose = close;
            } else if (!FinishElement(parent)) {
                return -1;
            }
            row = parent;
        } else {
            const int close = FindTagClose(text, nameEnd);
            if (close < 0) return Fail("End of tag not found");
            row = NewRow();
            ElementSpan& span = elements_[row];
            span.tagOpen = pos;
            span.tagClose = close;
            span.parent = parent;
            span.firstChild = 0;
            span.nextSibling = 0;
            if (data[close - 1] == '/') {
                span.endOpen = close - 1;
                span.endClose = close;
            } else {
                span.endClose = nameEnd - nameStart;
                parent = row;  // parse its content next
                pos = close + 1;
                continue;
            }
        }

        // `row` is complete: link it as the last child of its parent.
        const ElementSpan& done = elements_[row];
        pos = done.endClose + 1;
        const int up = done.parent;
        if (up == 0) return row;
        ElementSpan& owner = elements_[up];
        if (owner.firstChild == 0) {
            owner.firstChild = row;
        } else {
            elements_[owner.nextSibling].nextSibling = row;
        }
        owner.nextSibling = row;
        parent = up;
    }
}

// Reads the end tag of `row`, whose content has been parsed up to the '<' of that tag.
bool CMarkupSTL::FinishElement(int row) {
    const std::string_view text = text_;
    ElementSpan& span = elements_[row];
    span.nextSibling = 0;  // held the last child while the element was open
    int nameStart = span.tagOpen + 1;
    while (IsSpace(text[nameStart])) ++nameStart;
    const std::string_view name =
        text.substr(static_cast<size_t>(nameStart), static_cast<size_t>(span.endClose));

    int open = span.endOpen;  // normally already on the end tag's '<'
    if (open >= static_cast<int>(text.size()) || text[open] != '<') {
        open = FindByte(text, '<', open);
        if (open < 0) return Fail("End tag of %s element not found", name), false;
        span.endOpen = open;
    }

    // The usual "</name>": the tokens '/', the name and '>' with nothing between them.
    const size_t after = static_cast<size_t>(open) + 2 + name.size();
    if (after < text.size() && text[after] == '>' && text[static_cast<size_t>(open) + 1] == '/' &&
        !markup_detail::EndsToken(name[0])) {
        const char* tag = text.data() + open + 2;
        size_t i = 0;
        while (i < name.size() && tag[i] == name[i]) ++i;
        if (i == name.size()) {
            span.endClose = static_cast<int>(after);
            return true;
        }
    }

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

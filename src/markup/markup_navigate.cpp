// The cursor and the reading of element texts and attribute values.
#include <cstring>

#include "markup/markup_stl.h"
#include "markup/tag_scanner.h"

using markup_detail::IsSpace;
using markup_detail::NameMatches;
using markup_detail::ScanToken;
using markup_detail::TagToken;

namespace {

void AppendUtf8(std::string& out, uint32_t v) {
    if (v < 0x80) {
        out += static_cast<char>(v);
    } else if (v < 0x800) {
        out += static_cast<char>(0xC0 | (v >> 6));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        out += static_cast<char>(0xE0 | (v >> 12));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (v >> 18));
        out += static_cast<char>(0x80 | ((v >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    }
}

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes the character reference whose '&' is at `amp` and that must end by `last`. Returns
// the offset after its ';', or -1 when it is no reference to a character (no ';' within seven
// characters, a value of 0, a surrogate or a value above U+10FFFF).
int DecodeCharRef(std::string_view text, int amp, int last, std::string& out) {
    int digits = amp + 2;
    int base = 10;
    if (digits <= last && text[digits] == 'x') {
        base = 16;
        ++digits;
    }
    int semicolon = -1;
    for (int i = digits; i <= last && i <= digits + 7; ++i) {
        if (text[i] == ';') {
            semicolon = i;
            break;
        }
    }
    if (semicolon < 0) return -1;
    uint32_t v = 0;
    for (int i = digits; i < semicolon; ++i) {
        const int d = DigitValue(text[i], base);
        if (d < 0) break;
        v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);  // at most 7 digits
    }
    if (v == 0 || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) return -1;
    AppendUtf8(out, v);
    return semicolon + 1;
}

struct Entity {
    std::string_view name;  // after the '&', with its ';'
    char value;
};
constexpr Entity kEntities[] = {
    {"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'}};

}  // namespace

bool CMarkupSTL::TagNameMatches(int index, std::string_view name) const {
    if (name.empty()) return true;
    TagToken token;
    token.next = elements_[index].tagOpen + 1;
    return ScanToken(text_, token) && !token.quoted && NameMatches(token.View(text_), name);
}

// The first of `first` and its following siblings whose tag name matches, or 0.
int CMarkupSTL::FindAmong(int first, std::string_view name) const {
    for (int i = first; i != 0; i = elements_[i].nextSibling) {
        if (TagNameMatches(i, name)) return i;
    }
    return 0;
}

bool CMarkupSTL::FindSibling(std::string_view name) {
    if (elements_.empty()) return false;  // never parsed
    const int start = currentIndex_ != 0 ? elements_[currentIndex_].nextSibling
                                         : elements_[parentIndex_].firstChild;
    const int found = FindAmong(start, name);
    if (found == 0) return false;
    parentIndex_ = elements_[found].parent;
    currentIndex_ = found;
    childIndex_ = 0;
    onElement_ = 1;
    return true;
}

bool CMarkupSTL::FindChild(std::string_view name) {
    if (currentIndex_ == 0 && !FindSibling()) return false;
    const int start =
        childIndex_ != 0 ? elements_[childIndex_].nextSibling : elements_[currentIndex_].firstChild;
    const int found = FindAmong(start, name);
    if (found == 0) return false;
    childIndex_ = found;
    currentIndex_ = elements_[found].parent;
    parentIndex_ = elements_[currentIndex_].parent;
    onElement_ = 1;
    return true;
}

bool CMarkupSTL::Descend() {
    if (currentIndex_ == 0 || onElement_ == 0) return false;
    parentIndex_ = currentIndex_;
    currentIndex_ = childIndex_;
    childIndex_ = 0;
    onElement_ = currentIndex_ != 0 ? 1 : 0;
    return true;
}

bool CMarkupSTL::Ascend() {
    if (parentIndex_ == 0) return false;
    childIndex_ = currentIndex_;
    currentIndex_ = parentIndex_;
    parentIndex_ = elements_[currentIndex_].parent;
    onElement_ = 1;
    return true;
}

void CMarkupSTL::RestartLevel() {
    currentIndex_ = 0;
    childIndex_ = 0;
    onElement_ = 0;
}

std::string CMarkupSTL::TextOf(int index) const {
    if (index == 0) return {};
    const ElementSpan& span = elements_[index];
    if (span.firstChild != 0 || span.tagClose == span.endOpen + 1) return {};
    int pos = span.tagClose + 1;
    while (pos < span.endOpen && IsSpace(text_[pos])) ++pos;
    constexpr std::string_view kCdataOpen = "<![CDATA[";
    if (pos + 11 < span.endOpen && text_.compare(pos, kCdataOpen.size(), kCdataOpen) == 0) {
        const int from = pos + static_cast<int>(kCdataOpen.size());
        const std::string_view inside(text_.data() + from,
                                      static_cast<size_t>(span.endOpen - from));
        if (size_t close = inside.find("]]>"); close != std::string_view::npos) {
            return std::string(inside.substr(0, close));
        }
    }
    return UnescapeRange(span.tagClose + 1, span.endOpen - 1);
}

bool CMarkupSTL::FindAttribute(int index, std::string_view name, int& first, int& last) const {
    TagToken token;
    token.next = elements_[index].tagOpen + 1;
    int number = 0;
    int matched = -1;
    for (; ScanToken(text_, token); ++number) {
        if (token.quoted) {
            if (matched >= 0 && number == matched + 2) {
                first = token.start;
                last = token.end;
                return true;
            }
            continue;
        }
        const char c = token.First(text_);
        if (c == '/' || c == '>' || c == '?') return false;
        if (c == '=' || matched >= 0 || number == 0) continue;
        if (NameMatches(token.View(text_), name)) matched = number;
    }
    return false;
}

std::string CMarkupSTL::AttributeOf(int index, std::string_view name) const {
    int first = 0;
    int last = -1;
    if (index == 0 || onElement_ != 1 || !FindAttribute(index, name, first, last)) return {};
    return UnescapeRange(first, last);
}

std::string CMarkupSTL::UnescapeRange(int first, int last) const {
    std::string out;
    if (first < 0) first = 0;
    if (last >= static_cast<int>(text_.size())) last = static_cast<int>(text_.size()) - 1;
    if (last < first) return out;
    out.reserve(static_cast<size_t>(last - first + 1));
    const std::string_view text = text_;
    int pos = first;
    while (pos <= last) {
        const void* amp = std::memchr(text.data() + pos, '&', static_cast<size_t>(last - pos + 1));
        const int at = amp == nullptr
                           ? last + 1
                           : static_cast<int>(static_cast<const char*>(amp) - text.data());
        out.append(text.data() + pos, static_cast<size_t>(at - pos));
        if (at > last) break;
        pos = at + 1;  // unless a reference is decoded, the '&' stays as it is
        if (at + 1 <= last && text[at + 1] == '#') {
            if (int after = DecodeCharRef(text, at, last, out); after > 0) {
                pos = after;
                continue;
            }
        } else {
            bool decoded = false;
            for (const Entity& e : kEntities) {
                const int end = at + static_cast<int>(e.name.size());
                if (end <= last && text.compare(at + 1, e.name.size(), e.name) == 0) {
                    out += e.value;
                    pos = end + 1;
                    decoded = true;
                    break;
                }
            }
            if (decoded) continue;
        }
        out += '&';
    }
    return out;
}

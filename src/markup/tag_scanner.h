// The token scanner that walks through tags, and the character classes it uses. Internal to
// the markup document.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace markup_detail {

// kNul marks the zero byte, which is a plain character but also ends the stored text.
enum CharClass : uint8_t { kPlain = 0, kSpace = 1, kDelimiter = 2, kQuote = 4, kNul = 8 };

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> classes{};
    for (unsigned char c : std::string_view(" \t\n\r")) classes[c] = kSpace;
    for (unsigned char c : std::string_view("<>=\\/?!")) classes[c] = kDelimiter;
    classes['"'] = kQuote;
    classes['\''] = kQuote;
    classes[0] = kNul;
    return classes;
}
inline constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

inline bool IsSpace(char c) {
    return kClasses[static_cast<unsigned char>(c)] == kSpace;
}
// A token ends at whitespace or at one of the delimiters.
inline bool EndsToken(char c) {
    return (kClasses[static_cast<unsigned char>(c)] & (kSpace | kDelimiter)) != 0;
}

// A token of a tag: offsets of its first and last character (last < first when empty), where
// the next scan begins, and whether it was a quoted string (then without its quotes).
struct TagToken {
    int start = 0;
    int end = -1;
    int next = 0;
    bool quoted = false;

    int Length() const { return end - start + 1; }
    char First(std::string_view text) const { return text[start]; }
    std::string_view View(std::string_view text) const {
        return text.substr(static_cast<size_t>(start), static_cast<size_t>(Length()));
    }
    bool Is(std::string_view text, char c) const {
        return !quoted && Length() == 1 && text[start] == c;
    }
};

// Scans the token that begins at or after `token.next`. False when only whitespace is left.
inline bool ScanToken(std::string_view text, TagToken& token) {
    const int size = static_cast<int>(text.size());
    int pos = token.next;
    while (pos < size && IsSpace(text[pos])) ++pos;
    token.quoted = false;
    if (pos >= size) {
        token.start = token.end = token.next = size;
        return false;
    }
    const char c = text[pos];
    if (c == '"' || c == '\'') {
        token.quoted = true;
        token.start = pos + 1;
        const void* close =
            std::memchr(text.data() + pos + 1, c, static_cast<size_t>(size - pos - 1));
        if (close == nullptr) {
            token.end = size - 1;
            token.next = size;
        } else {
            int at = static_cast<int>(static_cast<const char*>(close) - text.data());
            token.end = at - 1;
            token.next = at + 1;
        }
        return true;
    }
    token.start = pos;
    while (pos < size && !EndsToken(text[pos])) ++pos;
    if (pos == token.start) ++pos;  // a lone delimiter is a token of its own
    token.end = pos - 1;
    token.next = pos;
    return true;
}

// A token matches a name when its characters begin the name and the name's next character is
// its end or one of ' ', '=', '/', '['.
inline bool NameMatches(std::string_view token, std::string_view name) {
    if (token.empty() || token.size() > name.size()) return false;
    if (std::memcmp(token.data(), name.data(), token.size()) != 0) return false;
    if (token.size() == name.size()) return true;
    const char after = name[token.size()];
    return after == ' ' || after == '=' || after == '/' || after == '[';
}

}  // namespace markup_detail

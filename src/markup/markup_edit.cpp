// Editing in place: setting an attribute, escaping values and moving the offsets after an edit.
#include "markup/markup_stl.h"

std::string CMarkupSTL::EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 10);
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

bool CMarkupSTL::PutAttributeOf(int index, std::string_view name, std::string_view value) {
    if (index == 0 || onElement_ != 1) return false;
    ElementSpan& span = elements_[index];
    int first = 0;
    int last = -1;
    std::string replacement;
    int at = 0;
    int replaced = 0;
    if (FindAttribute(index, name, first, last)) {
        replacement = EscapeText(value);
        at = first;
        replaced = last - first + 1;
    } else {
        replacement.reserve(name.size() + value.size() + 4);
        replacement += ' ';
        replacement += name;
        replacement += "=\"";
        replacement += EscapeText(value);
        replacement += '"';
        const bool emptyTagged = span.tagClose == span.endOpen + 1;
        at = emptyTagged ? span.tagClose - 1 : span.tagClose;
    }
    text_.replace(static_cast<size_t>(at), static_cast<size_t>(replaced), replacement);
    const int distance = static_cast<int>(replacement.size()) - replaced;
    span.tagClose += distance;
    span.endOpen += distance;
    span.endClose += distance;
    ShiftPositions(index, distance, false);
    return true;
}

void CMarkupSTL::ShiftPositions(int index, int distance, bool skipChildren) {
    if (index <= 0 || index >= nextFreeIndex_ || distance == 0) return;
    auto shiftAll = [&](ElementSpan& span) {
        span.tagOpen += distance;
        span.tagClose += distance;
        span.endOpen += distance;
        span.endClose += distance;
    };
    // Walk on in document order from `index`. `depth` counts the levels entered from above;
    // climbing at depth 0 reaches an ancestor of `index`, whose end tag alone lies after the
    // edit.
    int i = index;
    int depth = 0;
    bool descend = !skipChildren;
    for (;;) {
        if (descend && elements_[i].firstChild != 0) {
            i = elements_[i].firstChild;
            ++depth;
        } else {
            while (elements_[i].nextSibling == 0) {
                i = elements_[i].parent;
                if (i == 0) return;
                if (depth > 0) {
                    --depth;
                } else {
                    elements_[i].endOpen += distance;
                    elements_[i].endClose += distance;
                }
            }
            i = elements_[i].nextSibling;
        }
        shiftAll(elements_[i]);
        descend = true;
    }
}

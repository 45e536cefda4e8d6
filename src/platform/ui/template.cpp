#include "platform/ui/template.h"

#include <set>

namespace ui {

const ControlTemplate* DialogTemplate::Find(int id) const {
    if (id == kIdStatic) return nullptr;
    for (const ControlTemplate& control : controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

std::vector<int> RadioGroup(const DialogTemplate& dialog, int id) {
    const auto& controls = dialog.controls;
    size_t at = 0;
    while (at < controls.size() && (controls[at].id != id || id == kIdStatic)) ++at;
    if (at == controls.size() || controls[at].kind != ControlKind::RadioButton) return {};
    size_t first = at;
    while (first > 0 && !(controls[first].styles & kStyleGroup)) --first;
    std::vector<int> group;
    for (size_t i = first; i < controls.size(); ++i) {
        if (i > first && (controls[i].styles & kStyleGroup)) break;
        if (controls[i].kind == ControlKind::RadioButton) group.push_back(controls[i].id);
    }
    return group;
}

Rect VisibleRect(const ControlTemplate& control) {
    Rect r = control.rect;
    if (control.kind == ControlKind::DropDownList || control.kind == ControlKind::DropDownCombo) {
        r.height = kComboClosedHeight;
    }
    return r;
}

namespace {

bool Overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

bool Contains(const Rect& outer, const Rect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

std::string Name(const ControlTemplate& control) {
    std::string text(control.text.begin(), control.text.end());
    for (char& c : text) {
        if (static_cast<unsigned char>(c) > 0x7e) c = '?';
    }
    return "control " + std::to_string(control.id) + " \"" + text + "\"";
}

}  // namespace

std::vector<std::string> CheckLayout(const DialogTemplate& dialog) {
    std::vector<std::string> problems;
    std::set<int> seen;
    const Rect whole{0, 0, dialog.width, dialog.height};
    const auto& controls = dialog.controls;
    for (const ControlTemplate& control : controls) {
        if (control.id != kIdStatic && !seen.insert(control.id).second) {
            problems.push_back("duplicate id " + std::to_string(control.id));
        }
        Rect r = VisibleRect(control);
        if (r.width <= 0 || r.height <= 0 || !Contains(whole, r)) {
            problems.push_back(Name(control) + " lies outside the dialog");
        }
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const ControlTemplate& a = controls[i];
            const ControlTemplate& b = controls[j];
            if ((a.styles & kStyleHidden) || (b.styles & kStyleHidden)) continue;
            Rect ra = VisibleRect(a);
            Rect rb = VisibleRect(b);
            if (!Overlap(ra, rb)) continue;
            bool boxed = (a.kind == ControlKind::GroupBox && Contains(ra, rb)) ||
                         (b.kind == ControlKind::GroupBox && Contains(rb, ra));
            if (!boxed) problems.push_back(Name(a) + " overlaps " + Name(b));
        }
    }
    return problems;
}

}  // namespace ui

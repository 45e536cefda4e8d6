#include "platform/ui/controls.h"

#include "platform/ui/detail/control_state.h"
#include "platform/ui/dialog.h"

namespace ui {

using detail::ControlState;
using Lock = std::lock_guard<std::mutex>;

namespace {

bool InRange(int index, size_t size) {
    return index >= 0 && static_cast<size_t>(index) < size;
}

// An insertion index: past the end (or negative) appends.
int InsertAt(int index, size_t size) {
    return index < 0 || static_cast<size_t>(index) > size ? static_cast<int>(size) : index;
}

}  // namespace

// ---- combo boxes ----

ControlState* ComboBox::Find() const {
    ControlState* c = dialog_.FindLocked(id_);
    return c != nullptr && c->IsCombo() ? c : nullptr;
}

int ComboBox::AddString(std::wstring_view text) {
    int index;
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return -1;
        c->items.emplace_back(text);
        index = static_cast<int>(c->items.size()) - 1;
    }
    dialog_.Changed(id_);
    return index;
}

bool ComboBox::ResetContent() {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return false;
        c->items.clear();
        c->selection = -1;
        c->text.clear();
    }
    dialog_.Changed(id_);
    return true;
}

int ComboBox::Count() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? static_cast<int>(c->items.size()) : -1;
}

std::vector<std::wstring> ComboBox::Items() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->items : std::vector<std::wstring>();
}

std::wstring ComboBox::ItemText(int index) const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c && InRange(index, c->items.size()) ? c->items[index] : std::wstring();
}

bool ComboBox::SetCurSel(int index) {
    bool valid;
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return false;
        valid = InRange(index, c->items.size());
        c->selection = valid ? index : -1;
        c->text = valid ? c->items[index] : std::wstring();
    }
    dialog_.Changed(id_);
    return valid || index == -1;
}

int ComboBox::GetCurSel() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->selection : -1;
}

std::wstring ComboBox::CurrentText() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->text : std::wstring();
}

// ---- list views ----

ControlState* ListView::Find() const {
    ControlState* c = dialog_.FindLocked(id_);
    return c != nullptr && c->kind() == ControlKind::ListView ? c : nullptr;
}

std::uint32_t ListView::SetExtendedStyle(std::uint32_t styles) {
    std::uint32_t previous;
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return 0;
        previous = c->extendedStyle;
        c->extendedStyle = styles;
    }
    dialog_.Changed(id_);
    return previous;
}

std::uint32_t ListView::ExtendedStyle() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->extendedStyle : 0;
}

int ListView::InsertColumn(int index, std::wstring_view text, int width, ColumnAlign align) {
    int at;
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return -1;
        at = InsertAt(index, c->columns.size());
        // Cells move right with their columns; the first column of a list that had none
        // takes over the rows' item texts.
        if (!c->columns.empty()) {
            for (auto& row : c->rows) {
                if (row.size() >= static_cast<size_t>(at)) row.insert(row.begin() + at, L"");
            }
        }
        c->columns.insert(c->columns.begin() + at, ListColumn{std::wstring(text), width, align});
    }
    dialog_.Changed(id_);
    return at;
}

bool ListView::DeleteColumn(int index) {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr || !InRange(index, c->columns.size())) return false;
        c->columns.erase(c->columns.begin() + index);
        for (auto& row : c->rows) {
            if (InRange(index, row.size())) row.erase(row.begin() + index);
            if (row.empty()) row.emplace_back();
        }
    }
    dialog_.Changed(id_);
    return true;
}

int ListView::ColumnCount() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? static_cast<int>(c->columns.size()) : -1;
}

std::vector<ListColumn> ListView::Columns() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? c->columns : std::vector<ListColumn>();
}

int ListView::InsertItem(int index, std::wstring_view text) {
    int at;
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return -1;
        at = InsertAt(index, c->rows.size());
        c->rows.insert(c->rows.begin() + at, std::vector<std::wstring>{std::wstring(text)});
    }
    dialog_.Changed(id_);
    return at;
}

bool ListView::DeleteItem(int index) {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr || !InRange(index, c->rows.size())) return false;
        c->rows.erase(c->rows.begin() + index);
    }
    dialog_.Changed(id_);
    return true;
}

bool ListView::DeleteAllItems() {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr) return false;
        c->rows.clear();
    }
    dialog_.Changed(id_);
    return true;
}

int ListView::ItemCount() const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    return c ? static_cast<int>(c->rows.size()) : -1;
}

bool ListView::SetItemText(int row, int column, std::wstring_view text) {
    {
        Lock lock(dialog_.mutex_);
        ControlState* c = Find();
        if (c == nullptr || !InRange(row, c->rows.size()) || column < 0) return false;
        if (column > 0 && !InRange(column, c->columns.size())) return false;
        auto& cells = c->rows[row];
        if (cells.size() <= static_cast<size_t>(column)) cells.resize(column + 1);
        cells[column] = text;
    }
    dialog_.Changed(id_);
    return true;
}

std::wstring ListView::GetItemText(int row, int column) const {
    Lock lock(dialog_.mutex_);
    ControlState* c = Find();
    if (c == nullptr || !InRange(row, c->rows.size()) || !InRange(column, c->rows[row].size())) {
        return std::wstring();
    }
    return c->rows[row][column];
}

}  // namespace ui

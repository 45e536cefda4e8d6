// Combo boxes and list views of a dialog, addressed by control id. These are light handles
// on the dialog's table (like the dialog's own control operations, safe from any thread);
// they answer -1, false or empty when the control is missing or of another kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class Dialog;
namespace detail {
struct ControlState;
}

class ComboBox {
  public:
    ComboBox(Dialog& dialog, int id) : dialog_(dialog), id_(id) {}
    // Appends an item; its index.
    int AddString(std::wstring_view text);
    bool ResetContent();
    int Count() const;
    std::vector<std::wstring> Items() const;
    std::wstring ItemText(int index) const;
    // Selects item `index` (-1: none) without notifying the dialog.
    bool SetCurSel(int index);
    int GetCurSel() const;
    // The chosen item's text, or what the user typed into a combo box's edit field.
    std::wstring CurrentText() const;

  private:
    // The combo box in the table; the caller holds the dialog's lock.
    detail::ControlState* Find() const;
    Dialog& dialog_;
    int id_;
};

enum class ColumnAlign { Left, Centre, Right };

struct ListColumn {
    std::wstring text;
    int width = 0;  // pixels
    ColumnAlign align = ColumnAlign::Left;
    friend bool operator==(const ListColumn&, const ListColumn&) = default;
};

// Extended list view styles.
inline constexpr std::uint32_t kListGridLines = 0x1;
inline constexpr std::uint32_t kListFullRowSelect = 0x20;

class ListView {
  public:
    ListView(Dialog& dialog, int id) : dialog_(dialog), id_(id) {}
    // Sets the extended styles; answers the previous ones.
    std::uint32_t SetExtendedStyle(std::uint32_t styles);
    std::uint32_t ExtendedStyle() const;
    // Inserts a column before `index` (at the end when past it); its index, -1 on failure.
    int InsertColumn(int index, std::wstring_view text, int width,
                     ColumnAlign align = ColumnAlign::Left);
    // Removes a column and the cells under it; the rows stay.
    bool DeleteColumn(int index);
    int ColumnCount() const;
    std::vector<ListColumn> Columns() const;
    // Inserts a row before `index` (at the end when past it) with `text` in column 0.
    int InsertItem(int index, std::wstring_view text);
    bool DeleteItem(int index);
    bool DeleteAllItems();
    int ItemCount() const;
    // Column 0 always exists; other columns must have been inserted.
    bool SetItemText(int row, int column, std::wstring_view text);
    std::wstring GetItemText(int row, int column) const;

  private:
    // The list view in the table; the caller holds the dialog's lock.
    detail::ControlState* Find() const;
    Dialog& dialog_;
    int id_;
};

}  // namespace ui

#include "platform/ui/terminal/boxes.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/detail/open_boxes.h"
#include "platform/ui/dialog.h"
#include "platform/ui/kit.h"
#include "platform/ui/terminal/text.h"

namespace ui::terminal {

namespace {

using K = ControlKind;

// Dialog units of `cols` cells and `rows` rows; a one-line control at row r sits at 8 r.
int Du(int cols) {
    return cols * 4;
}
int Dv(int rows) {
    return rows * 8;
}

class MessageBoxDialog : public Dialog {
  public:
    MessageBoxDialog(DialogTemplate t, bool escapeAnswers, int escapeAnswer)
        : Dialog(std::move(t)), escapeAnswers_(escapeAnswers), escapeAnswer_(escapeAnswer) {
        for (int id : {kIdYes, kIdNo}) OnClicked(id, [this, id] { EndDialog(id); });
    }
    ~MessageBoxDialog() override { DestroyWindow(); }

  protected:
    // Escape answers Cancel where there is one, OK where that is the only button, and does
    // nothing in a Yes/No box.
    void OnCancel() override {
        if (escapeAnswers_) EndDialog(escapeAnswer_);
    }
    void OnClose() override { OnCancel(); }

  private:
    bool escapeAnswers_;
    int escapeAnswer_;
};

detail::OpenBoxes<MessageBoxDialog>& OpenMessageBoxes() {
    static detail::OpenBoxes<MessageBoxDialog> boxes;
    return boxes;
}

}  // namespace

int RunMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                  unsigned style, int screenCols) {
    struct Button {
        int id;
        std::wstring text;
    };
    const OwnTexts own = CurrentOwnTexts();
    std::vector<Button> buttons;
    switch (style & 0xF) {
        case kMbOkCancel:
            buttons = {{kIdOk, own.ok}, {kIdCancel, own.cancel}};
            break;
        case kMbYesNo:
            buttons = {{kIdYes, own.yes}, {kIdNo, own.no}};
            break;
        default:
            buttons = {{kIdOk, own.ok}};
    }
    const wchar_t* mark = nullptr;
    switch (style & 0xF0) {
        case kMbIconError:
            mark = L"(X)";
            break;
        case kMbIconWarning:
            mark = L"(!)";
            break;
        case kMbIconInformation:
            mark = L"(i)";
            break;
    }
    int indent = mark ? 6 : 2;
    int maxText = std::clamp(screenCols - indent - 6, 20, 60);
    std::vector<std::wstring> lines = Wrap(text, maxText);
    int textCols = 0;
    for (const auto& line : lines) textCols = std::max(textCols, Columns(line));
    const int buttonCols = 10;
    int allButtons = static_cast<int>(buttons.size()) * (buttonCols + 2);
    int cols = std::max({indent + textCols + 2, allButtons + 2, Columns(caption) + 10, 24});
    int rows = static_cast<int>(lines.size()) + 4;

    DialogTemplate t;
    t.id = 0x7F01;
    t.title = caption;
    t.width = Du(cols);
    t.height = Dv(rows);
    t.styles = kDialogCaption | kDialogSysMenu | kDialogModalFrame;
    if (mark) t.controls.push_back({kIdStatic, K::Static, mark, {Du(1), Dv(1), Du(4), 8}, 0});
    for (size_t i = 0; i < lines.size(); ++i) {
        t.controls.push_back({kIdStatic,
                              K::Static,
                              lines[i],
                              {Du(indent), Dv(static_cast<int>(i) + 1), Du(cols - indent - 1), 8},
                              kStyleNoPrefix});
    }
    int x = (cols - allButtons) / 2 + 1;
    for (size_t i = 0; i < buttons.size(); ++i) {
        std::uint32_t styles = i == 0 ? kStyleDefault | kStyleGroup : 0;
        t.controls.push_back({buttons[i].id,
                              K::PushButton,
                              buttons[i].text,
                              {Du(x), Dv(rows - 2), Du(buttonCols), 8},
                              styles});
        x += buttonCols + 2;
    }
    bool hasCancel = (style & 0xF) == kMbOkCancel;
    bool okOnly = (style & 0xF) == kMbOk || (style & 0xF) > kMbYesNo;
    MessageBoxDialog box(std::move(t), hasCancel || okOnly, hasCancel ? kIdCancel : kIdOk);
    detail::OpenBoxes<MessageBoxDialog>::Listed listed(OpenMessageBoxes(), owner, &box);
    int answer = box.DoModal(owner);
    return answer < 0 ? (hasCancel ? kIdCancel : buttons.back().id) : answer;
}

bool EndOpenMessageBox(WindowHandle owner, int answer) {
    MessageBoxDialog* box = OpenMessageBoxes().Newest(owner);
    if (box != nullptr) box->EndDialog(answer);
    return box != nullptr;
}

namespace {

namespace fs = std::filesystem;

constexpr int kFolder = 10;
constexpr int kEntries = 11;
constexpr int kName = 12;
constexpr int kTypes = 13;

// "EXE File|*.exe||": description and pattern pairs.
std::vector<std::pair<std::wstring, std::wstring>> Filters(const std::wstring& filter) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = filter.find(L'|', start);
        parts.push_back(filter.substr(start, bar == std::wstring::npos ? bar : bar - start));
        if (bar == std::wstring::npos) break;
        start = bar + 1;
    }
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].empty() || !parts[i + 1].empty()) pairs.emplace_back(parts[i], parts[i + 1]);
    }
    if (pairs.empty()) pairs.emplace_back(L"*", L"*");
    return pairs;
}

// Whether `name` matches one of the ';'-separated patterns, without regard to case.
bool Matches(const std::string& name, const std::wstring& patterns) {
    std::string all = platform::WideToUtf8(patterns);
    size_t start = 0;
    for (;;) {
        size_t semi = all.find(';', start);
        std::string pattern = all.substr(start, semi == std::string::npos ? semi : semi - start);
        if (!pattern.empty() && ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
            return true;
        }
        if (semi == std::string::npos) return false;
        start = semi + 1;
    }
}

class FileDialog : public Dialog {
  public:
    FileDialog(DialogTemplate t, const FileDialogRequest& request)
        : Dialog(std::move(t)), request_(request), filters_(Filters(request.filter)) {
        std::error_code error;
        fs::path initial(platform::WideToUtf8(request.initialName));
        folder_ = fs::current_path(error);
        if (!initial.empty() && initial.has_parent_path() &&
            fs::is_directory(initial.parent_path(), error)) {
            folder_ = initial.parent_path();
            name_ = initial.filename().wstring();
        } else {
            name_ = request.initialName;
        }
        OnSelectionChanged(kEntries, [this] { Entered(); });
        OnSelectionChanged(kTypes, [this] {
            type_ = std::max(0, Combo(kTypes).GetCurSel());
            Fill();
        });
    }
    ~FileDialog() override { DestroyWindow(); }

    std::optional<std::wstring> chosen;

  protected:
    bool OnInitDialog() override {
        for (const auto& [description, pattern] : filters_) Combo(kTypes).AddString(description);
        Combo(kTypes).SetCurSel(0);
        SetItemText(kName, name_);
        Fill();
        SetFocus(kName);
        return false;
    }
    void OnOK() override {
        std::wstring typed = ItemText(kName);
        if (typed.empty()) return;
        fs::path path = fs::path(platform::WideToUtf8(typed));
        if (path.is_relative()) path = folder_ / path;
        std::error_code error;
        if (fs::is_directory(path, error)) {
            folder_ = fs::canonical(path, error);
            SetItemText(kName, L"");
            Fill();
            return;
        }
        std::wstring extension = request_.defaultExtension;
        if (extension.rfind(L"*.", 0) == 0) extension.erase(0, 2);
        if (!path.has_extension() && !extension.empty()) {
            path.replace_extension(platform::WideToUtf8(extension));
        }
        if ((request_.flags & kFileMustExist) && !fs::exists(path, error)) return;
        chosen = platform::Utf8ToWide(path.lexically_normal().string());
        EndDialog(kIdOk);
    }

  private:
    // Lists the folder: ".." and the folders first, then the files the filter takes (with
    // kFileExecutables, the files the user may execute).
    void Fill() {
        SetItemText(kFolder, platform::Utf8ToWide(folder_.string()));
        entries_.clear();
        std::vector<std::wstring> folders, files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder_, error)) {
            std::string name = entry.path().filename().string();
            std::error_code kindError;
            if (entry.is_directory(kindError)) {
                folders.push_back(platform::Utf8ToWide(name) + L"/");
            } else if (request_.flags & kFileExecutables
                           ? platform::IsExecutableFile(entry.path().string())
                           : Matches(name, filters_[type_].second)) {
                files.push_back(platform::Utf8ToWide(name));
            }
        }
        std::sort(folders.begin(), folders.end());
        std::sort(files.begin(), files.end());
        if (folder_.has_parent_path() && folder_ != folder_.root_path()) entries_.push_back(L"../");
        entries_.insert(entries_.end(), folders.begin(), folders.end());
        entries_.insert(entries_.end(), files.begin(), files.end());
        ComboBox list = Combo(kEntries);
        list.ResetContent();
        for (const auto& entry : entries_) list.AddString(entry);
    }
    // A folder chosen from the list is opened; a file goes into the name field.
    void Entered() {
        int index = Combo(kEntries).GetCurSel();
        if (index < 0 || index >= static_cast<int>(entries_.size())) return;
        std::wstring entry = entries_[index];
        if (!entry.empty() && entry.back() == L'/') {
            std::error_code error;
            fs::path next =
                entry == L"../" ? folder_.parent_path() : folder_ / platform::WideToUtf8(entry);
            folder_ = fs::canonical(next, error);
            if (error) folder_ = next;
            Fill();
            return;
        }
        SetItemText(kName, entry);
        SetFocus(kName);
    }

    FileDialogRequest request_;
    std::vector<std::pair<std::wstring, std::wstring>> filters_;
    fs::path folder_;
    std::wstring name_;
    std::vector<std::wstring> entries_;
    int type_ = 0;
};

}  // namespace

std::optional<std::wstring> RunFileDialog(const FileDialogRequest& request, int screenCols) {
    int cols = std::clamp(screenCols - 4, 40, 72);
    int rows = 9;
    DialogTemplate t;
    t.id = 0x7F02;
    const OwnTexts own = CurrentOwnTexts();
    t.title = own.open;
    t.width = Du(cols);
    t.height = Dv(rows);
    t.styles = kDialogCaption | kDialogSysMenu | kDialogModalFrame;
    int field = cols - 14;
    t.controls = {
        {kIdStatic, K::Static, own.folder, {Du(1), Dv(1), Du(11), 8}, 0},
        {kFolder, K::Static, L"", {Du(13), Dv(1), Du(field), 8}, 0},
        {kIdStatic, K::Static, own.lookIn, {Du(1), Dv(2), Du(11), 8}, 0},
        {kEntries, K::DropDownList, L"", {Du(13), Dv(2), Du(field), Dv(12)}, kStyleGroup},
        {kIdStatic, K::Static, own.fileName, {Du(1), Dv(4), Du(11), 8}, 0},
        {kName, K::Edit, L"", {Du(13), Dv(4), Du(field), 8}, kStyleAutoHScroll | kStyleGroup},
        {kIdStatic, K::Static, own.type, {Du(1), Dv(5), Du(11), 8}, 0},
        {kTypes, K::DropDownList, L"", {Du(13), Dv(5), Du(field), Dv(6)}, kStyleGroup},
        {kIdOk,
         K::PushButton,
         own.open,
         {Du(cols - 25), Dv(7), Du(10), 8},
         kStyleDefault | kStyleGroup},
        {kIdCancel, K::PushButton, own.cancel, {Du(cols - 13), Dv(7), Du(10), 8}, 0},
    };
    FileDialog dialog(std::move(t), request);
    if (dialog.DoModal(request.owner) != kIdOk) return std::nullopt;
    return dialog.chosen;
}

}  // namespace ui::terminal

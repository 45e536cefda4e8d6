#include "framework/config/setting_store.h"

#include <initializer_list>
#include <mutex>

#include "markup/markup_stl.h"
#include "platform/files.h"
#include "platform/user_files.h"

namespace framework {
namespace {

constexpr const char* kRoot = "plxadoc";
constexpr const char* kDefaultAttribute = "default";
constexpr const char* kNewDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<plxadoc>\r\n</plxadoc>\r\n";

// Writers of one process take turns, so that no read-modify-write loses another's change.
std::mutex& WriteMutex() {
    static std::mutex mutex;
    return mutex;
}

bool IsEmptyTagged(const ElementSpan& span) {
    return span.tagClose == span.endOpen + 1;
}

// The row of the element at plxadoc/path..., 0 when one of them is missing. The cursor is left
// on that element.
int IndexOf(CMarkupSTL& doc, std::initializer_list<const std::string*> path) {
    while (doc.Ascend()) {
    }
    doc.RestartLevel();
    if (!doc.HasRootElement() || !doc.FindSibling(kRoot)) return 0;
    for (const std::string* name : path) {
        if (!doc.FindChild(*name)) return 0;
        doc.Descend();
    }
    return doc.CurrentIndex();
}

// The document text with "<name></name>" added as the last child of the element `parent`
// (called `parentName`). The new element gets a line of its own, one tab deeper than the
// parent's end tag, when that end tag starts its own line.
std::string WithChild(const CMarkupSTL& doc, int parent, const std::string& parentName,
                      const std::string& name) {
    const ElementSpan& span = doc.Span(parent);
    const std::string element = "<" + name + "></" + name + ">";
    std::string text = doc.Text();
    const auto endTag = static_cast<size_t>(span.endOpen);
    if (IsEmptyTagged(span)) {  // "<parent/>" becomes "<parent><name></name></parent>"
        text.replace(endTag, 2, ">" + element + "</" + parentName + ">");
        return text;
    }
    size_t lineEnd = text.rfind('\n', endTag);
    if (lineEnd != std::string::npos && lineEnd > static_cast<size_t>(span.tagClose)) {
        std::string indent = text.substr(lineEnd + 1, endTag - lineEnd - 1);
        if (indent.find_first_not_of(" \t") == std::string::npos) {
            text.insert(lineEnd + 1, indent + "\t" + element + "\r\n");
            return text;
        }
    }
    text.insert(endTag, element);
    return text;
}

// The document text with the content of the element `index` (called `name`) replaced by
// `value`, escaped.
std::string WithContent(const CMarkupSTL& doc, int index, const std::string& name,
                        const std::string& value) {
    const ElementSpan& span = doc.Span(index);
    std::string text = doc.Text();
    std::string escaped = CMarkupSTL::EscapeText(value);
    if (IsEmptyTagged(span)) {
        text.replace(static_cast<size_t>(span.endOpen), 2, ">" + escaped + "</" + name + ">");
    } else {
        text.replace(static_cast<size_t>(span.tagClose + 1),
                     static_cast<size_t>(span.endOpen - span.tagClose - 1), escaped);
    }
    return text;
}

}  // namespace

SettingStore::SettingStore(std::string directory) : directory_(std::move(directory)) {}

std::string SettingStore::Path() const {
    return platform::UserFilePath(directory_, kSettingFileName);
}

bool SettingStore::IsPlainName(const std::string& name) {
    if (name.empty()) return false;
    auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    if (!letter(name[0])) return false;
    for (char c : name) {
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
    }
    return true;
}

std::optional<std::string> SettingStore::Read(const std::string& section, const std::string& key,
                                              bool current) const {
    if (!IsPlainName(section) || !IsPlainName(key)) return std::nullopt;
    CMarkupSTL doc;
    if (!doc.LoadFromFile(Path()) || IndexOf(doc, {&section, &key}) == 0) return std::nullopt;
    return current ? doc.ElementText() : doc.AttributeValue(kDefaultAttribute);
}

bool SettingStore::Write(const std::string& section, const std::string& key,
                         const std::string& value, bool current) const {
    if (!IsPlainName(section) || !IsPlainName(key)) return false;
    std::lock_guard<std::mutex> lock(WriteMutex());
    const std::string path = Path();
    CMarkupSTL doc;
    if (!doc.LoadFromFile(path)) {
        if (platform::FileExists(path)) return false;  // there, but unreadable or not XML
        if (!doc.ParseText(kNewDocument)) return false;
    }
    const int root = IndexOf(doc, {});
    if (root == 0) return false;

    // Each change is parsed again at once, so the index always matches the text.
    int sectionIndex = IndexOf(doc, {&section});
    if (sectionIndex == 0) {
        if (!doc.ParseText(WithChild(doc, root, kRoot, section))) return false;
        sectionIndex = IndexOf(doc, {&section});
    }
    if (sectionIndex == 0) return false;
    int keyIndex = IndexOf(doc, {&section, &key});
    if (keyIndex == 0) {
        if (!doc.ParseText(WithChild(doc, sectionIndex, section, key))) return false;
        keyIndex = IndexOf(doc, {&section, &key});
    }
    if (keyIndex == 0) return false;

    if (current) {
        if (doc.Span(keyIndex).firstChild != 0) return false;  // not a value: leave it alone
        if (!doc.ParseText(WithContent(doc, keyIndex, key, value))) return false;
    } else if (!doc.PutAttribute(kDefaultAttribute, value)) {
        return false;
    }
    return doc.SaveToFile(path);
}

}  // namespace framework

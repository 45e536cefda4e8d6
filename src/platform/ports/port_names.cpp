#include "port_names.h"

#include <charconv>

#include "markup/markup_stl.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/user_files.h"
#include "port_trace.h"

namespace platform::ports_detail {

std::optional<unsigned> ParseHex(const std::string& text) {
    const std::string_view trimmed = platform::TrimBlanks(text);
    if (trimmed.empty() || trimmed.size() > 8) return std::nullopt;
    unsigned value = 0;
    auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value, 16);
    if (ec != std::errc() || end != trimmed.data() + trimmed.size()) return std::nullopt;
    return value;
}

PortNameTable PortNameTable::Load(const std::string& path) {
    PortNameTable table;
    if (!FileExists(path)) return table;
    CMarkupSTL doc;
    if (!doc.LoadFromFile(path) || !doc.FindSibling("PortNames") || !doc.Descend()) {
        TraceOnce("cannot read the port-name file " + path);
        return table;
    }
    while (doc.FindSibling("Port")) {
        auto vendor = ParseHex(doc.AttributeValue("vendor"));
        auto product = ParseHex(doc.AttributeValue("product"));
        auto interfaceNumber = ParseHex(doc.AttributeValue("interface"));
        std::string text(platform::TrimBlanks(doc.ElementText()));
        if (!vendor || !product || !interfaceNumber || text.empty()) {
            TraceOnce("skipped a malformed Port row in " + path);
            continue;
        }
        table.Add(*vendor, *product, *interfaceNumber, std::move(text));
    }
    return table;
}

PortNameTable PortNameTable::LoadDefault() {
    std::string dir = ProgramDirectory();
    if (dir.empty()) return {};
    // A user of an installed program lists their own cards in their copy of the file.
    return Load(UserFilePath(dir, "config/ports.xml"));
}

void PortNameTable::Add(unsigned vendor, unsigned product, unsigned interfaceNumber,
                        std::string text) {
    rows_.push_back({vendor, product, interfaceNumber, std::move(text)});
}

std::optional<std::string> PortNameTable::Find(const std::string& vendor,
                                               const std::string& product,
                                               const std::string& interfaceNumber) const {
    auto v = ParseHex(vendor);
    auto p = ParseHex(product);
    auto i = ParseHex(interfaceNumber);
    if (!v || !p || !i) return std::nullopt;
    for (const Row& row : rows_) {
        if (row.vendor == *v && row.product == *p && row.interfaceNumber == *i) return row.text;
    }
    return std::nullopt;
}

}  // namespace platform::ports_detail

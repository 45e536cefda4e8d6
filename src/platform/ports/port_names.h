// The port-name file: interface texts for the ports of known USB devices, by USB vendor id,
// product id and interface number. It lives in the program directory as config/ports.xml:
//   <PortNames>
//     <Port vendor="1234" product="5678" interface="02">TARVEK Wendrix - 3G GPS Interface</Port>
//   </PortNames>
// The three numbers are hexadecimal, as udev writes them; letter case does not matter.
#pragma once

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace platform::ports_detail {

class PortNameTable {
  public:
    // Reads the file; a missing or unreadable file gives an empty table, and rows without
    // three valid numbers or without a text are skipped with a trace.
    static PortNameTable Load(const std::string& path);
    // The program directory's config/ports.xml.
    static PortNameTable LoadDefault();

    void Add(unsigned vendor, unsigned product, unsigned interfaceNumber, std::string text);
    // The text for a port, from the udev attributes as written (hex text); nothing when no row
    // matches or a number does not parse.
    std::optional<std::string> Find(const std::string& vendor, const std::string& product,
                                    const std::string& interfaceNumber) const;
    size_t Size() const { return rows_.size(); }

  private:
    struct Row {
        unsigned vendor, product, interfaceNumber;
        std::string text;
    };
    std::vector<Row> rows_;
};

// Parses a hexadecimal udev attribute ("12d1", "0A", " 02\n"); nothing when it is not one.
std::optional<unsigned> ParseHex(const std::string& text);

}  // namespace platform::ports_detail

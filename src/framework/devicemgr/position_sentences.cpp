#include "framework/devicemgr/position_sentences.h"

#include "framework/devicemgr/nmea_fields.h"

namespace devicemgr {
namespace {

std::string_view Field(const std::vector<std::string_view>& fields, size_t index) {
    return index < fields.size() ? fields[index] : std::string_view();
}

}  // namespace

bool ReportsNoFix(std::string_view sentence) {
    if (sentence.empty() || sentence.front() != '$') return false;
    std::string_view body = sentence.substr(1, sentence.find('*') - 1);
    std::vector<std::string_view> fields = nmea::Split(body);
    std::string_view address = fields.empty() ? std::string_view() : fields[0];
    if (address.size() < 5) return false;
    std::string_view type = address.substr(address.size() - 3);
    if (type == "GGA") {
        std::string_view quality = Field(fields, 6);
        return quality.empty() || quality == "0";
    }
    if (type == "RMC") return Field(fields, 2) != "A" || Field(fields, 12) == "N";
    if (type == "GLL") return Field(fields, 6) != "A" || Field(fields, 7) == "N";
    if (type == "GNS") return Field(fields, 6).find_first_not_of('N') == std::string_view::npos;
    return false;
}

}  // namespace devicemgr

#include "framework/devicemgr/gps_commands.h"

#include <algorithm>
#include <charconv>

#include "platform/text.h"

namespace devicemgr {
namespace {

enum class Arg { kNone, kText, kNumber };

struct Row {
    GpsCommand command;
    std::string_view name;
    Arg arg;
    std::string_view before;  // written between the name and the argument
    std::string_view after;   // written after the argument
};

// The command set. A set command's fixed fields are in `before`, up to its argument's comma.
constexpr Row kCommands[] = {
    {GpsCommand::kGpsType, "AT^GPSTYPE", Arg::kNone, "?", ""},
    {GpsCommand::kGpsStart, "AT^GPSSTART", Arg::kNone, "", ""},
    {GpsCommand::kGpsStop, "AT^GPSSTOP", Arg::kNone, "", ""},
    {GpsCommand::kApn, "AT^SOCKETCONT", Arg::kText, "=1,\"IP\",\"", "\""},
    {GpsCommand::kSuplServer, "AT^WPURL", Arg::kText, "=", ""},
    {GpsCommand::kPositionMode, "AT^WPDOM", Arg::kNumber, "=", ""},
    {GpsCommand::kFixInterval, "AT^WPDFR", Arg::kNumber, "=65536,", ""},
    {GpsCommand::kSecTime, "AT^SECTIME", Arg::kText, "=\"", "\""},
    {GpsCommand::kProbe, "AT^WPDGP", Arg::kNone, "", ""},
};

const Row& RowOf(GpsCommand command) {
    return *std::find_if(std::begin(kCommands), std::end(kCommands),
                         [&](const Row& row) { return row.command == command; });
}

// The offers of the type query's answers, in the order they are looked for.
constexpr struct {
    int type;
    GpsOffer offer;
} kOffers[] = {
    {0, GpsOffer::kNone},
    {1, GpsOffer::kGpsOnly},
    {2, GpsOffer::kAgps},
    {3, GpsOffer::kAgps},
};

}  // namespace

std::string GpsLine(const GpsRequest& request) {
    const Row& row = RowOf(request.command);
    std::string line(row.name);
    line += row.before;
    if (row.arg == Arg::kText) line += request.text;
    if (row.arg == Arg::kNumber) line += std::to_string(request.number);
    line += row.after;
    return line + "\r\n";
}

std::optional<GpsRequest> ReadGpsLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (!line.empty() && (line.back() == ' ' || line.back() == '\t')) return std::nullopt;
    std::string_view name = line.substr(0, line.find_first_of("=?"));
    std::string_view rest = line.substr(name.size());
    auto row = std::find_if(std::begin(kCommands), std::end(kCommands), [&](const Row& r) {
        return platform::EqualIgnoringAsciiCase(r.name, name);
    });
    if (row == std::end(kCommands)) return std::nullopt;
    GpsRequest request{.command = row->command};
    if (row->arg == Arg::kNone) {
        if (rest != row->before) return std::nullopt;
        return request;
    }
    if (!rest.starts_with('=')) return std::nullopt;
    request.value = std::string(rest.substr(1));
    // The argument follows as many commas as the table writes before it.
    std::string_view argument = request.value;
    for (auto fields = std::count(row->before.begin(), row->before.end(), ','); fields > 0;
         --fields) {
        size_t comma = argument.find(',');
        if (comma == std::string_view::npos) return std::nullopt;
        argument.remove_prefix(comma + 1);
    }
    if (argument.empty()) return std::nullopt;
    if (row->arg == Arg::kNumber) {
        const char* end = argument.data() + argument.size();
        auto [stop, ec] = std::from_chars(argument.data(), end, request.number);
        if (ec != std::errc() || stop != end) return std::nullopt;
        return request;
    }
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"') {
        argument = argument.substr(1, argument.size() - 2);
    }
    request.text = std::string(argument);
    return request;
}

std::string GpsTypeLine(int type) {
    return "^GPSTYPE:" + std::to_string(type);
}

GpsOffer GpsOfferOf(std::string_view answer) {
    for (const auto& row : kOffers) {
        if (answer.find(GpsTypeLine(row.type)) != std::string_view::npos) return row.offer;
    }
    return GpsOffer::kNone;
}

}  // namespace devicemgr

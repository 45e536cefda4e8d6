#include "framework/devicemgr/mm_location.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <iterator>
#include <sstream>

#include "platform/files.h"
#include "platform/runtime_folder.h"

namespace devicemgr {
namespace {

constexpr size_t kMaxChangesFile = 512;

bool ReadNumber(const std::string& text, uint32_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

StartPlan PlanStart(const LocationSetup& now, uint32_t wanted, const LocationChanges& earlier) {
    StartPlan plan;
    plan.changes = earlier;
    plan.setup = now;
    plan.setup.sources |= wanted;
    plan.setup.signals = true;
    plan.changes.sources |= wanted & ~now.sources;
    if (!now.signals) plan.changes.signals = true;
    if (now.refreshRate != 0) {
        plan.setRefresh = true;
        plan.setup.refreshRate = 0;
        // A rate already 0 from an earlier change keeps the rate from before that one.
        if (!plan.changes.refreshBefore) plan.changes.refreshBefore = now.refreshRate;
    }
    return plan;
}

StopPlan PlanStop(const LocationSetup& now, const LocationChanges& changes) {
    StopPlan plan;
    LocationSetup after = now;
    after.sources &= ~changes.sources;
    if (changes.signals) after.signals = false;
    if (after.sources != now.sources || after.signals != now.signals) plan.setup = after;
    if (changes.refreshBefore && now.refreshRate == 0) plan.refreshRate = changes.refreshBefore;
    return plan;
}

TakenAway NoteSetup(const LocationSetup& now, LocationChanges& changes) {
    TakenAway away;
    away.sources = changes.sources & ~now.sources;
    changes.sources &= now.sources;
    if (changes.signals && !now.signals) {
        away.signals = true;
        changes.signals = false;
    }
    if (changes.refreshBefore && now.refreshRate != 0) {
        away.refreshRate = true;
        changes.refreshBefore.reset();
    }
    return away;
}

bool InForce(const LocationSetup& now, const LocationChanges& changes) {
    return (now.sources & changes.sources) == changes.sources &&
           (!changes.signals || now.signals) && (!changes.refreshBefore || now.refreshRate == 0);
}

std::string SourceNames(uint32_t sources) {
    static const char* const kNames[] = {"3gpp-lac-ci",   "gps-raw",  "gps-nmea", "cdma-bs",
                                         "gps-unmanaged", "agps-msa", "agps-msb"};
    std::string names;
    for (uint32_t bit = 0; bit < 32; ++bit) {
        if (!(sources & (1u << bit))) continue;
        if (!names.empty()) names += "|";
        names += bit < std::size(kNames) ? kNames[bit] : "source " + std::to_string(1u << bit);
    }
    return names.empty() ? "none" : names;
}

std::string ChangesPath(const std::string& folder, const std::string& modem) {
    std::string name;
    for (char c : modem) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.';
        name += plain ? c : '_';
    }
    if (name.empty() || name.front() == '.') name.insert(0, "m");
    return folder + "/" + name + ".location";
}

std::optional<LocationChanges> LoadChanges(const std::string& path) {
    std::optional<std::string> text = platform::ReadSmallFileAt(AT_FDCWD, path, kMaxChangesFile);
    if (!text) return std::nullopt;
    LocationChanges changes;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        uint32_t value = 0;
        if (!ReadNumber(line.substr(eq + 1), value)) continue;
        if (key == "sources") changes.sources = value;
        if (key == "signals") changes.signals = value != 0;
        if (key == "refresh") changes.refreshBefore = value;
    }
    return changes;
}

bool SaveChanges(const std::string& path, const LocationChanges& changes) {
    if (changes.Empty()) return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    std::string folder = path.substr(0, path.rfind('/'));
    // Below the runtime folder, that folder is made (and checked) first.
    if (folder.substr(0, folder.rfind('/')) == platform::RuntimeDirectoryPath()) {
        platform::RuntimeDirectory();
    }
    if (!platform::MakeOwnFolder(folder, platform::FolderAccess::Private)) return false;
    std::string text = "sources=" + std::to_string(changes.sources) +
                       "\nsignals=" + (changes.signals ? "1" : "0") + "\n";
    if (changes.refreshBefore) text += "refresh=" + std::to_string(*changes.refreshBefore) + "\n";
    return platform::WriteFileAtomic(path, text);
}

std::string DefaultChangesFolder() {
    return platform::RuntimeDirectoryPath() + "/modemmanager";
}

}  // namespace devicemgr

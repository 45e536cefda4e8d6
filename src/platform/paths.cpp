#include "paths.h"

#include <strings.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

std::string ProgramDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    return exe.parent_path().string();
}

std::string JoinPath(const std::string& head, const std::string& tail) {
    if (head.empty() || (!tail.empty() && tail.front() == '/')) return tail;
    if (tail.empty()) return head;
    std::string joined = head;
    while (joined.size() > 1 && joined.back() == '/') joined.pop_back();
    size_t start = 0;
    while (start < tail.size() && tail[start] == '/') ++start;
    if (joined != "/") joined += '/';
    return joined + tail.substr(start);
}

std::string ResolveNoCase(const std::string& directory, const std::string& relative) {
    fs::path current(directory);
    std::string rest = relative;
    for (char& c : rest) {
        if (c == '\\') c = '/';
    }
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t slash = rest.find('/', pos);
        std::string part =
            rest.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        pos = slash == std::string::npos ? rest.size() + 1 : slash + 1;
        if (part.empty() || part == ".") continue;
        std::error_code ec;
        fs::path exact = current / part;
        if (!fs::exists(exact, ec) && part != "..") {
            for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
                std::string name = it->path().filename().string();
                if (strcasecmp(name.c_str(), part.c_str()) == 0) {
                    exact = it->path();
                    break;
                }
            }
        }
        current = exact;
    }
    return current.string();
}

std::string RealPathOr(const std::string& path) {
    std::error_code error;
    auto real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

}  // namespace platform

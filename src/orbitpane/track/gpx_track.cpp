#include "orbitpane/track/gpx_track.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "markup/markup_stl.h"
#include "platform/paths.h"
#include "platform/runtime_folder.h"
#include "platform/user_files.h"

namespace track {
namespace {

constexpr const char* kClosing = kGpxClosing;
constexpr const char* kWaiting = "Waiting for the first fix";
// Where the closing tags move on to the next page: a processing instruction after the
// document, then the end of the comment that the old closing tags become.
constexpr const char* kBridge = "<?satview -->";
constexpr const char* kAfterBridge = "<?satview?>";

constexpr const char* kHeadStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"Satview\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
    "<metadata><desc>";

std::string Number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The description as XML text, `width` characters at least (blanks after it).
std::string DescriptionText(const std::string& text, size_t width) {
    std::string out = CMarkupSTL::EscapeText(text);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

}  // namespace

std::string GpxHead(std::time_t start, const std::string& description, size_t descriptionWidth) {
    std::string time = GpxTime(start);
    return kHeadStart + DescriptionText(description, descriptionWidth) + "</desc><time>" + time +
           "</time></metadata>\n<trk><name>" + time + "</name><trkseg>\n";
}

std::string GpxPoint(const TrackPoint& p) {
    // GPX 1.1's order: ele, time, ..., fix, sat, hdop, vdop, pdop.
    std::string text = "<trkpt lat=\"" + Number("%.7f", p.latitude) + "\" lon=\"" +
                       Number("%.7f", p.longitude) + "\">";
    if (p.elevation && std::isfinite(*p.elevation)) {
        text += "<ele>" + Number("%.1f", *p.elevation) + "</ele>";
    }
    text += "<time>" + GpxTime(p.utc, p.milliseconds) + "</time>";
    if (p.fixMode == 2 || p.fixMode == 3)
        text += p.fixMode == 2 ? "<fix>2d</fix>" : "<fix>3d</fix>";
    if (p.satellites && *p.satellites >= 0) {
        text += "<sat>" + std::to_string(*p.satellites) + "</sat>";
    }
    auto dop = [&](const char* name, const std::optional<double>& value) {
        if (!value || !std::isfinite(*value) || *value < 0) return;
        text += std::string("<") + name + ">" + Number("%.1f", *value) + "</" + name + ">";
    };
    dop("hdop", p.hdop);
    dop("vdop", p.vdop);
    dop("pdop", p.pdop);
    return text + "</trkpt>\n";
}

namespace {

// Writes all of `bytes` at `offset`; false on the first failure.
bool WriteAt(int fd, const std::string& bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                             offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A complete file under `path`, never replacing one: written unnamed and then linked in where
// the file system allows, otherwise created exclusively and written at once. The descriptor,
// or -1 with errno (EEXIST: the name is taken).
int CreateComplete(const std::string& folder, const std::string& path, const std::string& text) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (!WriteAt(fd, text, 0) ||
            ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            int error = errno;
            ::close(fd);
            errno = error;
            return -1;
        }
        return fd;
    }
    fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (!WriteAt(fd, text, 0)) {
        int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

std::string GpxTime(std::time_t utc, int milliseconds) {
    std::tm t{};
    gmtime_r(&utc, &t);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::string out = text;
    if (milliseconds > 0 && milliseconds < 1000) {
        std::snprintf(text, sizeof text, ".%03d", milliseconds);
        out += text;
    }
    return out + "Z";
}

std::string TrackFileName(std::time_t start) {
    std::string name = GpxTime(start);
    name.pop_back();  // the Z
    for (char& c : name) {
        if (c == ':') c = '-';
    }
    return name + ".gpx";
}

std::string TracksFolder() {
    std::string data = platform::UserDataDirectory();
    return data.empty() ? std::string() : platform::JoinPath(data, "tracks");
}

bool MakeTracksFolder(const std::string& folder, std::string* why) {
    std::filesystem::path path(folder);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path().parent_path(), ec);
    return platform::MakeOwnFolder(path.parent_path().string(), platform::FolderAccess::Private,
                                   why) &&
           platform::MakeOwnFolder(folder, platform::FolderAccess::Private, why);
}

GpxTrack::~GpxTrack() {
    Close();
    {
        std::lock_guard<std::mutex> lock(syncMutex_);
        ending_ = true;
    }
    syncWake_.notify_all();
    if (syncer_.joinable()) syncer_.join();
}

void GpxTrack::SyncAndClose(int fd) {
    std::lock_guard<std::mutex> lock(syncMutex_);
    if (!syncer_.joinable()) {
        try {
            syncer_ = std::thread([this] {
                std::unique_lock<std::mutex> lock(syncMutex_);
                while (true) {
                    syncWake_.wait(lock, [this] { return ending_ || !toSync_.empty(); });
                    if (toSync_.empty()) return;
                    int next = toSync_.front();
                    toSync_.pop_front();
                    lock.unlock();
                    ::fdatasync(next);
                    ::close(next);
                    lock.lock();
                }
            });
        } catch (const std::system_error&) {
            // No thread: this one waits for the disk instead.
            ::fdatasync(fd);
            ::close(fd);
            return;
        }
    }
    toSync_.push_back(fd);
    syncWake_.notify_all();
}

bool GpxTrack::Open(const std::string& folder, std::time_t start, std::string* why) {
    Close();
    if (!MakeTracksFolder(folder, why)) return false;
    const std::string header = GpxHead(start, kWaiting, kDescriptionWidth);
    const std::string name = TrackFileName(start);
    for (int n = 1; n < 100; ++n) {
        std::string file =
            n == 1 ? name : name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".gpx";
        std::string path = platform::JoinPath(folder, file);
        int fd = CreateComplete(folder, path, header + kClosing);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            if (why) *why = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        fd_ = fd;
        path_ = path;
        end_ = static_cast<off_t>(header.size());
        description_ = static_cast<off_t>(std::strlen(kHeadStart));
        points_ = 0;
        unsynced_ = true;
        lastSync_ = std::chrono::steady_clock::now();
        return true;
    }
    if (why) *why = "every name for " + name + " is taken in " + folder;
    return false;
}

bool GpxTrack::Append(const TrackPoint& point, std::string* why) {
    if (fd_ < 0) {
        if (why) *why = "no track is open";
        return false;
    }
    // The kernel copies a write into the file a page at a time and may stop between two pages
    // when the process is killed. So every write here lies within one page, and each leaves a
    // complete document.
    const std::string text = GpxPoint(point);
    const off_t closing = static_cast<off_t>(std::strlen(kClosing));
    const off_t page = static_cast<off_t>(::sysconf(_SC_PAGESIZE));
    const off_t pageEnd = (end_ / page + 1) * page;
    off_t next;  // where the closing tags start afterwards
    bool written;
    if (end_ + static_cast<off_t>(text.size()) + closing <= pageEnd) {
        // Longer than the closing tags it replaces: one complete document to the next.
        written = WriteAt(fd_, text + kClosing, end_);
        next = end_ + static_cast<off_t>(text.size());
    } else {
        // The closing tags move to the next page in three single-page writes:
        // 1. blanks after them up to the page's end;
        // 2. on the next page, after the document, a processing instruction that holds
        //    "-->", the point and the new closing tags, then a second, empty one;
        // 3. the old closing tags become "<!--": a comment inside the track segment that the
        //    first instruction's "-->" ends, so the new closing tags end the document and the
        //    empty instruction follows it; it is cut off last.
        const std::string bridge = std::string(kBridge) + text + kClosing;
        written = WriteAt(fd_, std::string(static_cast<size_t>(pageEnd - end_ - closing), ' '),
                          end_ + closing) &&
                  WriteAt(fd_, bridge + kAfterBridge, pageEnd) &&
                  WriteAt(fd_, "<!--" + std::string(static_cast<size_t>(closing) - 4, ' '), end_) &&
                  ::ftruncate(fd_, pageEnd + static_cast<off_t>(bridge.size())) == 0;
        next = pageEnd + static_cast<off_t>(std::strlen(kBridge) + text.size());
    }
    if (!written) {
        if (why) *why = "cannot write " + path_ + ": " + std::strerror(errno);
        // A part written is taken back: the file ends as it did.
        if (::ftruncate(fd_, end_) == 0) WriteAt(fd_, kClosing, end_);
        return false;
    }
    end_ = next;
    ++points_;
    unsynced_ = true;
    auto now = std::chrono::steady_clock::now();
    if (now - lastSync_ >= syncInterval_) {
        // The sync thread gets a descriptor of its own: this one goes on writing.
        int copy = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        if (copy >= 0) SyncAndClose(copy);
        unsynced_ = false;
        lastSync_ = now;
    }
    return true;
}

bool GpxTrack::Describe(const std::string& text, std::string* why) {
    if (fd_ < 0) {
        if (why) *why = "no track is open";
        return false;
    }
    std::string shown = DescriptionText(text, kDescriptionWidth);
    if (shown.size() > kDescriptionWidth) {
        if (why) *why = "the description is too long: " + text;
        return false;
    }
    if (!WriteAt(fd_, shown, description_)) {
        if (why) *why = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    unsynced_ = true;
    return true;
}

void GpxTrack::Close() {
    if (fd_ < 0) return;
    if (unsynced_) {
        SyncAndClose(fd_);
    } else {
        ::close(fd_);
    }
    fd_ = -1;
    path_.clear();
    end_ = 0;
    points_ = 0;
    unsynced_ = false;
}

}  // namespace track

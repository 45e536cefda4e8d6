// A GPS session written as a GPX 1.1 track: one trk with one trkseg, a trkpt per fix with
// the fix's quality (GPX's fix, sat, hdop, vdop, pdop), and the track's description in its
// metadata (the time to the first fix).
//
// The file is a whole GPX document at every moment: it is made complete (header and closing
// tags) before it gets its name, and each point is written, together with the closing tags,
// over the closing tags that were there, in one write. A process killed at any moment leaves
// a file that GPX readers accept with every point written before. The data reaches the disk
// (fdatasync) when the track is closed and at most once per sync interval while points come,
// so that a power loss costs at most that interval. The syncs run on a thread of the track's
// own: the writing thread (the window's) never waits for the disk.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace track {

struct TrackPoint {
    std::time_t utc = 0;  // seconds since the epoch, UTC
    int milliseconds = 0;
    double latitude = 0;              // degrees, negative: south
    double longitude = 0;             // degrees, negative: west
    std::optional<double> elevation;  // metres above mean sea level
    std::optional<int> fixMode;       // 2 or 3 (framework::kGpsFix2D, kGpsFix3D)
    std::optional<int> satellites;    // used in the fix
    std::optional<double> hdop, vdop, pdop;
};

// The pieces of a GPX document: its start up to the first point (the description padded with
// blanks to `descriptionWidth` characters), a point, the closing tags.
std::string GpxHead(std::time_t start, const std::string& description, size_t descriptionWidth = 0);
std::string GpxPoint(const TrackPoint& point);
inline constexpr const char* kGpxClosing = "</trkseg></trk></gpx>\n";

// "2026-12-08T20:15:03Z" (with ".250" before the Z when there are milliseconds).
std::string GpxTime(std::time_t utc, int milliseconds = 0);
// The file name of a session started at `start` (UTC): "2026-12-08T20-15-03.gpx".
std::string TrackFileName(std::time_t start);
// The tracks folder: "tracks" in the user's data folder; empty without a home.
std::string TracksFolder();
// Creates `folder` and its parents; the last two levels (satview/tracks) are made 0700 and
// checked to be this user's. False with the reason in `why`.
bool MakeTracksFolder(const std::string& folder, std::string* why);

class GpxTrack {
  public:
    GpxTrack() = default;
    ~GpxTrack();
    GpxTrack(const GpxTrack&) = delete;
    GpxTrack& operator=(const GpxTrack&) = delete;

    // Starts the track of a session started at `start` in `folder` (made when missing), under
    // TrackFileName(start), or with "-2", "-3", ... before ".gpx" when that name is taken.
    // False with the reason in `why`.
    bool Open(const std::string& folder, std::time_t start, std::string* why = nullptr);
    // Adds a point; false (with the reason) when it could not be written: the file then still
    // ends where it ended before.
    bool Append(const TrackPoint& point, std::string* why = nullptr);
    // Replaces the description in the metadata (up to kDescriptionWidth characters, in one
    // write of the same length); false with the reason.
    bool Describe(const std::string& text, std::string* why = nullptr);
    static constexpr size_t kDescriptionWidth = 40;
    // Ends the track; it reaches the disk soon after. Nothing happens without an open track.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    int Points() const { return points_; }
    void SetSyncInterval(std::chrono::milliseconds interval) { syncInterval_ = interval; }

  private:
    // Hands `fd` to the sync thread, which puts the file on the disk and closes `fd`.
    void SyncAndClose(int fd);

    int fd_ = -1;
    std::string path_;
    off_t end_ = 0;          // where the closing tags start
    off_t description_ = 0;  // where the description's text starts
    int points_ = 0;
    bool unsynced_ = false;
    std::chrono::milliseconds syncInterval_ = std::chrono::seconds(30);
    std::chrono::steady_clock::time_point lastSync_{};

    // The sync thread, started with the first sync and ended with the track object, after
    // the syncs handed to it.
    std::mutex syncMutex_;
    std::condition_variable syncWake_;
    std::deque<int> toSync_;
    bool ending_ = false;
    std::thread syncer_;
};

}  // namespace track

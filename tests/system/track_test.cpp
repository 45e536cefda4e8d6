// GPX tracks read back by gpsbabel: a whole session, sessions whose writer was killed with
// SIGKILL at random moments, file names and the folder they go to.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "orbitpane/track/gpx_track.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct Point {
    double latitude, longitude;
};

// What gpsbabel reads from `path` ("lat, lon, " lines); nothing when it refuses the file.
std::optional<std::vector<Point>> Babel(const std::string& path) {
    std::string out = path + ".csv";
    std::string line = "gpsbabel -i gpx -f '" + path + "' -o csv -F '" + out + "' 2>/dev/null";
    if (std::system(line.c_str()) != 0) return std::nullopt;
    std::vector<Point> points;
    std::istringstream lines(platform::ReadWholeFile(out).value_or(""));
    for (std::string row; std::getline(lines, row);) {
        Point p{};
        if (std::sscanf(row.c_str(), "%lf, %lf", &p.latitude, &p.longitude) == 2) {
            points.push_back(p);
        }
    }
    fs::remove(out);
    return points;
}

std::string Text(const std::string& path) {
    return platform::ReadWholeFile(path).value_or("");
}

// Where track_writer puts point `i`.
Point Expected(long i) {
    return {35.0 + static_cast<double>(i % 9000) / 10000.0,
            -139.0 - static_cast<double>(i % 9000) / 10000.0};
}

// Runs the writer; with `killAfterUs`, kills it that long after its first point.
int RunWriter(const std::string& folder, long start, long count, long killAfterUs = -1) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::execl(TRACK_WRITER, TRACK_WRITER, folder.c_str(), std::to_string(start).c_str(),
                std::to_string(count).c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    char first = 0;
    bool started = ::read(out[0], &first, 1) == 1;
    ::close(out[0]);
    if (started && killAfterUs >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(killAfterUs));
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Track : public testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v gpsbabel >/dev/null") != 0) GTEST_SKIP() << "no gpsbabel";
    }
    testing_support::TempDir dir_;
};

TEST_F(Track, AWholeSessionIsReadBackPointForPointInAPrivateFolderNamedByItsStart) {
    const std::string folder = dir_.path() + "/data/satview/tracks";
    const long start = 1796760903;  // 2026-12-08T20:15:03Z
    ASSERT_EQ(RunWriter(folder, start, 500), 0);
    // A second session started in the same second does not take the first one's file.
    ASSERT_EQ(RunWriter(folder, start, 3), 0);

    const std::string path = folder + "/2026-12-08T20-15-03.gpx";
    auto points = Babel(path);
    ASSERT_TRUE(points) << platform::ReadWholeFile(path).value_or("<missing>");
    ASSERT_EQ(points->size(), 500u);
    for (long i = 0; i < 500; ++i) {
        ASSERT_NEAR((*points)[i].latitude, Expected(i).latitude, 1e-5) << i;
        ASSERT_NEAR((*points)[i].longitude, Expected(i).longitude, 1e-5) << i;
    }
    auto second = Babel(folder + "/2026-12-08T20-15-03-2.gpx");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size(), 3u);

    // What the points carry beyond the position, in the order GPX wants it.
    std::string text = platform::ReadWholeFile(path).value_or("");
    EXPECT_NE(text.find("<trkpt lat=\"35.0000000\" lon=\"-139.0000000\"><ele>35.2</ele>"
                        "<time>2026-12-08T20:15:03Z</time><fix>3d</fix><sat>0</sat>"
                        "<hdop>0.8</hdop><vdop>1.2</vdop><pdop>1.5</pdop></trkpt>\n"
                        "<trkpt lat=\"35.0001000\" lon=\"-139.0001000\">"
                        "<time>2026-12-08T20:15:04Z</time><fix>2d</fix><sat>1</sat></trkpt>"),
              std::string::npos)
        << text.substr(0, 600);
    // The time to the first fix, written over the description it had when it began.
    EXPECT_NE(text.find("<metadata><desc>First fix after 4.2 s                   </desc>"
                        "<time>2026-12-08T20:15:03Z</time></metadata>"),
              std::string::npos)
        << text.substr(0, 400);
    EXPECT_NE(Text(folder + "/2026-12-08T20-15-03-2.gpx").find("First fix after"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 22), "</trkseg></trk></gpx>\n");

    for (const std::string& p : {dir_.path() + "/data/satview", folder, path}) {
        struct stat st;
        ASSERT_EQ(::stat(p.c_str(), &st), 0) << p;
        EXPECT_EQ(st.st_mode & 0077, 0u) << p << " is open to others";
    }
}

TEST_F(Track, ATrackWhoseWriterWasKilledHoldsEveryPointUpToTheLastWritten) {
    const std::string folder = dir_.path() + "/tracks";
    std::mt19937 random(23);
    const int kKills = 36;
    size_t fewest = SIZE_MAX, most = 0;
    for (int round = 0; round < kKills; ++round) {
        const long start = 1796760903 + round * 100000;
        // Mostly within the first milliseconds, some later: the file keeps growing meanwhile.
        long after = round % 4 == 0 ? static_cast<long>(random() % 40000)
                                    : static_cast<long>(random() % 2000);
        ASSERT_EQ(RunWriter(folder, start, 0, after), -SIGKILL);
        std::string path = folder + "/" + track::TrackFileName(start);
        auto points = Babel(path);
        ASSERT_TRUE(points) << "gpsbabel refused the track of round " << round << ":\n"
                            << platform::ReadWholeFile(path).value_or("<missing>").substr(0, 400);
        ASSERT_GE(points->size(), 1u) << "the first point was written before the kill";
        ASSERT_NEAR(points->front().latitude, Expected(0).latitude, 1e-5);
        ASSERT_NEAR(points->front().longitude, Expected(0).longitude, 1e-5);
        long last = static_cast<long>(points->size()) - 1;
        ASSERT_NEAR(points->back().latitude, Expected(last).latitude, 1e-5) << round;
        ASSERT_NEAR(points->back().longitude, Expected(last).longitude, 1e-5) << round;
        fewest = std::min(fewest, points->size());
        most = std::max(most, points->size());
        fs::remove(path);
    }
    EXPECT_LT(fewest, most) << "the kills landed at different points of the session";
    // Nothing but the tracks is left in the folder: no half-made files.
    EXPECT_TRUE(fs::is_empty(folder));
}

// A full disk, as a file size limit (the writer ignores SIGXFSZ, as a process does that gets
// ENOSPC instead): the point that does not fit fails, and the file keeps every point before it,
// a whole GPX document, wherever the limit cuts (within a point, at a page's end, ...).
TEST_F(Track, ATrackOnAFullDiskKeepsEveryPointWrittenBeforeAsAWholeFile) {
    const std::string folder = dir_.path() + "/tracks";
    const long start = 1796760903;
    for (int blocks : {3, 8, 9, 16, 17, 40}) {  // of 512 bytes; 8 and 16: at a page's end
        SCOPED_TRACE(std::to_string(blocks) + " blocks");
        const std::string err = dir_.path() + "/err";
        std::string line = "sh -c 'trap \"\" XFSZ; ulimit -f " + std::to_string(blocks) +
                           "; exec " TRACK_WRITER " " + folder + " " + std::to_string(start) +
                           " 100000' >/dev/null 2>" + err;
        int status = std::system(line.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_NE(platform::ReadWholeFile(err).value_or("").find("cannot write"),
                  std::string::npos);
        const std::string path = folder + "/" + track::TrackFileName(start);
        EXPECT_LE(fs::file_size(path), static_cast<uintmax_t>(blocks) * 512);
        auto points = Babel(path);
        ASSERT_TRUE(points) << platform::ReadWholeFile(path).value_or("<missing>").substr(0, 400);
        ASSERT_GE(points->size(), 1u);
        for (size_t i = 0; i < points->size(); ++i) {
            ASSERT_NEAR((*points)[i].latitude, Expected(static_cast<long>(i)).latitude, 1e-5) << i;
        }
        std::string text = platform::ReadWholeFile(path).value_or("");
        EXPECT_EQ(text.substr(text.size() - 22), "</trkseg></trk></gpx>\n");
        fs::remove(path);
    }
}

TEST(TrackNames, TimesAndFileNamesAreUtc) {
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    struct Case {
        std::time_t utc;
        int ms;
        const char* time;
        const char* file;
    } cases[] = {
        {0, 0, "1970-01-01T00:00:00Z", "1970-01-01T00-00-00.gpx"},
        {1796760903, 250, "2026-12-08T20:15:03.250Z", "2026-12-08T20-15-03.gpx"},
        {1798761599, 5, "2026-12-31T23:59:59.005Z", "2026-12-31T23-59-59.gpx"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(track::GpxTime(c.utc, c.ms), c.time);
        EXPECT_EQ(track::TrackFileName(c.utc), c.file);
    }
    ::unsetenv("TZ");
    ::tzset();
}

}  // namespace

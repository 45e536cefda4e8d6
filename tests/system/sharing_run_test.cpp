// Sharing the position, in one terminal run on the simulated card replaying a route fast: the
// NMEA feed's terminal read by the real gpsd (its clients see the positions the rows show, in
// 3D) while a reader of its socket gets the same positions in whole sentences, the rows staying
// on time with nobody reading the feed and with gpsd stopped mid-run, and the session's GPX
// track, turned on from the window menu, read back by gpsbabel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "nmea.h"
#include "running_system.h"
#include "terminal_screen.h"
#include "unix_socket.h"

using system_test::Child;
using system_test::RunningSystem;
using system_test::TerminalScreen;
using testing_support::TmuxSession;
namespace fs = std::filesystem;

namespace {

constexpr int kEpochs = 600;

// The route: epoch i one second after the one before, 0.001' north and 0.0013' east of it.
double RouteLatitude(int i) {
    return 35 + (40.0 + 0.001 * i) / 60;
}
double RouteLongitude(int i) {
    return 139 + (46.0 + 0.0013 * i) / 60;
}

std::string RouteLog() {
    std::string log;
    for (int i = 0; i < kEpochs; ++i) {
        char time[16], lat[32], lon[32];
        std::snprintf(time, sizeof time, "%02d%02d%02d.00", 12 + i / 3600, i / 60 % 60, i % 60);
        std::snprintf(lat, sizeof lat, "35%07.4f,N", 40.0 + 0.001 * i);
        std::snprintf(lon, sizeof lon, "139%07.4f,E", 46.0 + 0.0013 * i);
        log += cardsim::NmeaSentence(std::string("GPRMC,") + time + ",A," + lat + "," + lon +
                                     ",0.5,10.0,081226,,,A");
        log += cardsim::NmeaSentence(std::string("GPGGA,") + time + "," + lat + "," + lon +
                                     ",1,08,0.9,35.2,M,-29.8,M,,");
        log += cardsim::NmeaSentence("GPGSA,A,3,01,02,03,04,05,06,07,08,,,,,1.6,0.9,1.3");
        log += cardsim::NmeaSentence(
            "GPGSV,1,1,04,01,40,083,46,02,17,308,41,03,07,344,39,04,22,228,45");
    }
    return log;
}

// "N 35d 40.123000" as degrees; NAN when the screen shows no such row.
double Degrees(const std::wstring& screen, const wchar_t* hemispheres) {
    std::wsmatch m;
    std::wregex row(std::wstring(L"[") + hemispheres + L"] (\\d+)d (\\d+\\.\\d+)");
    if (!std::regex_search(screen, m, row)) return NAN;
    return std::stod(m[1].str()) + std::stod(m[2].str()) / 60;
}

// Whether (lat, lon) is a position of the route, to `within` degrees.
bool OnRoute(double lat, double lon, double within) {
    for (int i = 0; i < kEpochs; ++i) {
        if (std::fabs(lat - RouteLatitude(i)) < within &&
            std::fabs(lon - RouteLongitude(i)) < within)
            return true;
    }
    return false;
}

bool Near(const std::vector<double>& values, double value, double within) {
    for (double v : values) {
        if (std::fabs(v - value) <= within) return true;
    }
    return false;
}

int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

void ReadInto(int fd, std::string& into) {
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) into.append(buffer, n);
}

// The positions of the RMC sentences in `stream`, each of which must be a whole sentence.
std::vector<std::pair<double, double>> RmcPositions(const std::string& stream) {
    std::vector<std::pair<double, double>> out;
    static const std::regex whole("\\$[^$*\r\n]+\\*[0-9A-F]{2}\r");
    static const std::regex rmc("\\$GPRMC,[^,]*,A,(\\d\\d)([\\d.]+),N,(\\d{3})([\\d.]+),E,.*\r");
    std::istringstream lines(stream);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, whole)) << "not a whole sentence: " << line;
        std::smatch m;
        if (std::regex_match(line, m, rmc)) {
            out.emplace_back(std::stod(m[1]) + std::stod(m[2]) / 60,
                             std::stod(m[3]) + std::stod(m[4]) / 60);
        }
    }
    return out;
}

struct Tpv {
    int mode;
    double lat, lon;
};

// The TPV reports of gpspipe's JSON lines that carry a position.
std::vector<Tpv> Reports(const std::string& json) {
    std::vector<Tpv> out;
    std::istringstream lines(json);
    static const std::regex mode("\"mode\":(\\d)"), lat("\"lat\":(-?[\\d.]+)"),
        lon("\"lon\":(-?[\\d.]+)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m, a, o;
        if (line.find("\"class\":\"TPV\"") == std::string::npos) continue;
        if (!std::regex_search(line, m, mode) || !std::regex_search(line, a, lat) ||
            !std::regex_search(line, o, lon))
            continue;
        out.push_back({std::stoi(m[1]), std::stod(a[1]), std::stod(o[1])});
    }
    return out;
}

class SharingRun : public testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxSession::Available()) GTEST_SKIP() << "no tmux";
        for (const char* tool : {"/usr/sbin/gpsd", "/usr/bin/gpspipe", "/usr/bin/gpsbabel"}) {
            if (::access(tool, X_OK) != 0) GTEST_SKIP() << "no " << tool;
        }
    }
    std::string Why(const TerminalScreen& screen) {
        std::string log = system_.Log();
        return screen.Text() + "\n--- log:\n" +
               log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    }
    // gpspipe's first `count` reports from gpsd on `port`.
    std::string Pipe(int port, int count) {
        std::string out = system_.Dir() + "/gpspipe.out";
        system_test::Shell("timeout 20 /usr/bin/gpspipe -w -n " + std::to_string(count) +
                           " 127.0.0.1:" + std::to_string(port) + " >" + out + " 2>&1");
        return platform::ReadWholeFile(out).value_or("");
    }

    RunningSystem system_;
};

TEST_F(SharingRun, GpsdAndTheTrackSeeWhatTheRowsShowAndNoReaderHoldsTheRowsUp) {
    const std::string route = system_.Dir() + "/route.nmea";
    std::ofstream(route) << RouteLog();
    auto screen = std::make_unique<TerminalScreen>(std::make_unique<TmuxSession>(
        system_.EnvPrefix() + " TERM=xterm-256color " + system_.Bin() + "/Startup --terminal", 100,
        30));
    ASSERT_TRUE(system_.StartCard({"--ready-after", "0", "--nmea", route, "--speed", "20"}));
    ASSERT_TRUE(screen->WaitText("sharing_ready", L"ready", 40)) << Why(*screen);

    // The feed's link is there before any session: an owner-only terminal.
    const std::string link = system_.Dir() + "/run/satview/nmea";
    std::error_code ec;
    ASSERT_TRUE(fs::is_symlink(link, ec)) << Why(*screen);
    const std::string terminal = fs::read_symlink(link).string();
    struct stat st;
    ASSERT_EQ(::stat(terminal.c_str(), &st), 0) << terminal;
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u) << terminal << " is open to others";
    // So is its socket, listening before any session.
    const std::string socket = system_.Dir() + "/run/satview/nmea.sock";
    ASSERT_EQ(::stat(socket.c_str(), &st), 0) << socket;
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u) << socket << " is open to others";
    const int reader = testing_support::ConnectUnixSocket(socket);
    ASSERT_GE(reader, 0) << socket;
    std::string socketStream;

    // The track is turned on from the window menu, its check mark following.
    screen->Tmux().Keys("F10");
    ASSERT_TRUE(screen->WaitText("sharing_menu", L"[ ] Record GPX track")) << Why(*screen);
    screen->Tmux().Keys("Enter");
    screen->Tmux().Keys("F10");
    ASSERT_TRUE(screen->WaitText("sharing_menu_checked", L"[x] Record GPX track")) << Why(*screen);
    EXPECT_NE(screen->Text().find("Open tracks folder"), std::string::npos);
    screen->Tmux().Keys("F10");

    // Nobody reads the feed: the rows follow the route all the same.
    ASSERT_TRUE(screen->Press(L"Start")) << Why(*screen);
    ASSERT_TRUE(screen->WaitMoving("sharing_no_reader")) << Why(*screen);

    // gpsd on the feed: its reports are the rows' positions, in 3D. (Run as root, gpsd gives
    // up root for an account that cannot enter the runtime folder: it is given the terminal.)
    const int port = FreePort();
    Child gpsd({"/usr/sbin/gpsd", "-N", "-n", "-S", std::to_string(port), "-F",
                system_.Dir() + "/gpsd.sock", ::geteuid() == 0 ? terminal : link},
               system_.Env(), system_.Dir() + "/gpsd.log");
    Child pipe(
        {"/bin/sh", "-c",
         "sleep 1; exec timeout 30 /usr/bin/gpspipe -w -n 150 127.0.0.1:" + std::to_string(port)},
        {}, system_.Dir() + "/pipe.out");
    std::vector<double> shownLat, shownLon;
    while (pipe.Running()) {
        ReadInto(reader, socketStream);
        std::wstring now = screen->Tmux().Screen();
        shownLat.push_back(Degrees(now, L"NS"));
        shownLon.push_back(Degrees(now, L"EW"));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    std::vector<Tpv> reports = Reports(pipe.Output());
    ASSERT_GE(reports.size(), 20u) << pipe.Output() << "\n--- gpsd:\n" << gpsd.Output();
    std::vector<double> lats, lons;
    for (const Tpv& r : reports) {
        lats.push_back(r.lat);
        lons.push_back(r.lon);
        EXPECT_GE(r.mode, 2) << "a fix reported without one";
    }
    EXPECT_EQ(reports.back().mode, 3) << "the simulated fix is 3D (GGA altitude, GSA 3)";
    int matched = 0;
    for (size_t i = 0; i < shownLat.size(); ++i) {
        if (Near(lats, shownLat[i], 1e-6) && Near(lons, shownLon[i], 1e-6)) ++matched;
    }
    EXPECT_GE(matched, 5) << "of " << shownLat.size() << " rows seen while gpsd reported";
    EXPECT_GE(matched * 2, static_cast<int>(shownLat.size()));
    for (const Tpv& r : reports) {
        EXPECT_TRUE(OnRoute(r.lat, r.lon, 1e-6)) << r.lat << "," << r.lon << " is off the route";
    }
    // The socket's reader got the positions gpsd reported, at the same time, whole.
    ReadInto(reader, socketStream);
    const auto socketPositions = RmcPositions(socketStream);
    int shared = 0;
    for (const Tpv& r : reports) {
        for (const auto& [lat, lon] : socketPositions) {
            if (std::fabs(lat - r.lat) < 1e-6 && std::fabs(lon - r.lon) < 1e-6) {
                ++shared;
                break;
            }
        }
    }
    EXPECT_EQ(shared, static_cast<int>(reports.size()))
        << "of " << reports.size() << " gpsd reports, " << socketPositions.size()
        << " socket positions";

    // gpsd stops reading: the feed fills and drops, the rows keep following the route.
    ::kill(gpsd.Pid(), SIGSTOP);
    EXPECT_TRUE(screen->WaitMoving("sharing_stopped_reader_1")) << Why(*screen);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_TRUE(screen->WaitMoving("sharing_stopped_reader_2")) << Why(*screen);
    EXPECT_TRUE(system_test::WaitUntil(
        [&] { return system_.Log().find("sentences dropped") != std::string::npos; }, 10))
        << Why(*screen);
    ::kill(gpsd.Pid(), SIGCONT);
    // The socket's reader, which kept reading, lost nothing meanwhile.
    ReadInto(reader, socketStream);
    const std::string log = system_.Log();
    EXPECT_NE(log.find("NMEA socket: reader 1 of " + socket), std::string::npos);
    EXPECT_EQ(
        log.find("NMEA socket: reader 1 of " + socket + " (uid " + std::to_string(::geteuid()) +
                 ", pid " + std::to_string(::getpid()) + ") is not keeping up"),
        std::string::npos);
    ::close(reader);
    // Once it reads again it reports positions again.
    EXPECT_GE(Reports(Pipe(port, 12)).size(), 3u) << gpsd.Output();

    // The session's track holds what the rows showed, from a position of the route on.
    const double lastLat = Degrees(screen->Tmux().Screen(), L"NS");
    const double lastLon = Degrees(screen->Tmux().Screen(), L"EW");
    ASSERT_TRUE(screen->Press(L"Stop")) << Why(*screen);
    ASSERT_TRUE(screen->WaitText("sharing_stopped", L"GPS stopped")) << Why(*screen);
    const fs::path tracks = system_.Dir() + "/home/.local/share/satview/tracks";
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(tracks, ec)) files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u) << Why(*screen);
    EXPECT_TRUE(std::regex_match(files[0].filename().string(),
                                 std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\d\\.gpx")));
    ASSERT_EQ(::stat(tracks.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);
    std::string csv = system_.Dir() + "/track.csv";
    ASSERT_EQ(system_test::Shell("gpsbabel -i gpx -f " + files[0].string() + " -o csv -F " + csv),
              0);
    std::vector<double> trackLat, trackLon;
    std::istringstream rows(platform::ReadWholeFile(csv).value_or(""));
    for (std::string row; std::getline(rows, row);) {
        double a, o;
        if (std::sscanf(row.c_str(), "%lf, %lf", &a, &o) == 2) {
            trackLat.push_back(a);
            trackLon.push_back(o);
        }
    }
    ASSERT_GE(trackLat.size(), 40u) << "a point per fix of a session of many seconds";
    for (size_t p = 0; p < trackLat.size(); ++p) {
        EXPECT_TRUE(OnRoute(trackLat[p], trackLon[p], 1e-5)) << "track point " << p;
    }
    EXPECT_TRUE(Near(trackLat, lastLat, 1e-5) && Near(trackLon, lastLon, 1e-5))
        << "the last position shown, " << lastLat << "," << lastLon << ", is in the track";
}

}  // namespace

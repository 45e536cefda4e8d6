// The NMEA feed on a real pseudo-terminal and a real socket: sentences passed on whole and in
// order, nothing old for a reader that comes after another one, any number of socket readers
// of whom a stopped one loses only its own oldest sentences, and the location service's account
// let in by ACL entries of its own.
#include "framework/devicemgr/nmea_feed.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/access/account_access.h"
#include "platform/runtime_folder.h"
#include "temp_dir.h"
#include "unix_socket.h"

using testing_support::ConnectUnixSocket;

namespace {

using devicemgr::NmeaFeed;
using devicemgr::NmeaFeedOptions;

std::string ReadAll(int fd) {
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, n);
    return all;
}

bool WaitFor(const std::function<bool()>& test);

// What a terminal's reader gets of `expected`: a pseudo-terminal passes bytes on a little later
// than they were written, so this reads until as many have come (or a time limit).
std::string ReadTerminal(int fd, size_t expected) {
    std::string got;
    WaitFor([&] {
        got += ReadAll(fd);
        return got.size() >= expected;
    });
    return got;
}

// Everything the terminal has for its reader: read until nothing more comes for a while.
std::string DrainTerminal(int fd) {
    std::string got;
    for (int quiet = 0; quiet < 10;) {
        size_t before = got.size();
        got += ReadAll(fd);
        quiet = got.size() == before ? quiet + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return got;
}

int OpenReader(const std::string& link) {
    int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

bool WaitFor(const std::function<bool()>& test) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!test()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

const std::string kBody(70, 'x');

std::string Numbered(int i) {
    return "$GPGSA," + std::to_string(i) + "," + kBody + "*00";
}

// The numbers of the sentences in `got`, which must be whole Numbered() lines in order.
std::vector<int> NumbersIn(const std::string& got) {
    static const std::regex line("\\$GPGSA,(\\d+)," + std::string(70, 'x') + "\\*00\r");
    std::vector<int> numbers;
    std::istringstream lines(got);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(text, m, line)) << "cut sentence: " << text;
        if (m.empty()) continue;
        int number = std::stoi(m[1]);
        EXPECT_TRUE(numbers.empty() || number > numbers.back()) << "out of order: " << number;
        numbers.push_back(number);
    }
    EXPECT_TRUE(got.empty() || got.back() == '\n') << "ends in a cut sentence";
    return numbers;
}

struct Traces {
    std::vector<std::string> lines;
    std::mutex mutex;
    NmeaFeed::TraceFn Fn() {
        return [this](int, const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(text);
        };
    }
    int Count(const std::string& part) {
        std::lock_guard<std::mutex> lock(mutex);
        int n = 0;
        for (const std::string& line : lines) n += line.find(part) != std::string::npos;
        return n;
    }
};

TEST(NmeaFeed, TheTerminalPassesSentencesWholeAndInOrderWithoutEverWaitingForItsReader) {
    testing_support::TempDir dir;
    Traces traces;
    const std::string link = dir.path() + "/nmea";
    {
        NmeaFeedOptions options;
        options.link = link;
        options.dropTraceInterval = std::chrono::hours(1);
        NmeaFeed feed(options, traces.Fn());
        ASSERT_TRUE(feed.Open());
        struct stat st;
        ASSERT_EQ(::lstat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), feed.TerminalPath());
        ASSERT_EQ(::stat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0077, 0u) << "only the owner may open the terminal";

        // Nobody reading: nothing is kept for a reader that comes later.
        feed.Write({"$GPGGA,old*00", "$GPRMC,old*00"});
        EXPECT_EQ(feed.Counters().unread, 2u);
        int reader = OpenReader(link);
        ASSERT_GE(reader, 0);
        // What the reader writes (a probe) neither echoes back nor stops the feed.
        ASSERT_EQ(::write(reader, "$PROBE\r\n", 8), 8);
        feed.Write({"$GPRMC,1*11", "$GPGGA,1*22", "$GPGSV,1*33"});
        const std::string first = "$GPRMC,1*11\r\n$GPGGA,1*22\r\n$GPGSV,1*33\r\n";
        EXPECT_EQ(ReadTerminal(reader, first.size()), first);

        // The reader stops reading: every write returns at once, sentences that do not fit
        // are dropped, and what the reader finds later is whole sentences in order.
        const int kSentences = 5000;  // far more than a terminal holds
        for (int i = 0; i < kSentences; ++i) feed.Write({Numbered(i)});
        auto counters = feed.Counters();
        EXPECT_GT(counters.dropped, 0u);
        EXPECT_EQ(counters.written + counters.dropped, 3u + kSentences);
        EXPECT_EQ(traces.Count("sentences dropped"), 1) << "drops are traced once per interval";
        // A sentence the terminal took only part of is finished before the next one, once
        // the reader reads again.
        std::string got = DrainTerminal(reader);
        feed.Write({Numbered(kSentences)});
        const std::string last = Numbered(kSentences) + "\r\n";
        ASSERT_TRUE(WaitFor([&] {
            got += ReadAll(reader);
            return got.size() >= last.size() && got.substr(got.size() - last.size()) == last;
        }));
        std::vector<int> numbers = NumbersIn(got);
        EXPECT_EQ(numbers.size(), counters.written - 3 + 1);
        EXPECT_EQ(numbers.back(), kSentences);
        ::close(reader);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
        << "the link goes with the feed";
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/nmea.sock")) << "so does the socket";
    EXPECT_EQ(traces.Count("sentences dropped"), 2) << "the last drops are told at the end";
}

// The terminal serves one reader at a time. Whatever the one before left in it (nothing, the
// end of a sentence, a terminal full of old positions), the next starts with the next
// sentence, whole.
TEST(NmeaFeed, AReaderAfterAReaderGetsNothingTheOneBeforeLeft) {
    testing_support::TempDir dir;
    NmeaFeedOptions options;
    options.link = dir.path() + "/nmea";
    NmeaFeed feed(options);
    ASSERT_TRUE(feed.Open());
    struct Row {
        const char* what;
        int written;   // sentences written while the first reader has the terminal
        size_t taken;  // bytes it reads of them before it goes
    } rows[] = {
        {"read everything", 3, 3 * 78},
        {"left the end of a sentence", 3, 100},
        {"left nothing read", 3, 0},
        {"stopped long before", 5000, 10},
    };
    int next = 0;
    uint64_t left = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        int first = OpenReader(options.link);
        ASSERT_GE(first, 0);
        for (int i = 0; i < row.written; ++i) feed.Write({Numbered(next++)});
        // The terminal hands the bytes on as they pass through it: read until there are enough.
        size_t got = 0;
        ASSERT_TRUE(WaitFor([&] {
            char buffer[256];
            size_t want = std::min(sizeof buffer, row.taken - got);
            ssize_t n = want > 0 ? ::read(first, buffer, want) : 0;
            if (n > 0) got += static_cast<size_t>(n);
            return got == row.taken;
        }));
        ::close(first);
        ++left;
        ASSERT_TRUE(WaitFor([&] { return feed.Counters().readersLeft == left; }));
        int second = OpenReader(options.link);
        ASSERT_GE(second, 0);
        std::string old = ReadAll(second);
        EXPECT_TRUE(old.empty()) << old.size() << " bytes of old positions: " << old.substr(0, 80);
        feed.Write({Numbered(next), Numbered(next + 1)});
        const std::string fresh = Numbered(next) + "\r\n" + Numbered(next + 1) + "\r\n";
        EXPECT_EQ(NumbersIn(ReadTerminal(second, fresh.size())),
                  (std::vector<int>{next, next + 1}));
        next += 2;
        ::close(second);
        ++left;
        ASSERT_TRUE(WaitFor([&] { return feed.Counters().readersLeft == left; }));
    }
}

// Readers at once on the socket, some of them stopped (connected, reading nothing): the others
// get every sentence, whole and in order, as it is written; a stopped one loses its oldest
// sentences only, counted and traced once per interval, and gets the rest whole once it reads.
TEST(NmeaFeed, SocketReadersEachGetTheSentencesAndAStoppedOneLosesOnlyItsOldest) {
    struct Row {
        int readers;
        std::set<int> stopped;
    } rows[] = {{2, {1}}, {5, {2}}, {5, {0, 4}}};
    const int kSentences = 3000;  // far more than a socket and a reader's queue hold
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.readers) + " readers");
        testing_support::TempDir dir;
        Traces traces;
        NmeaFeedOptions options;
        options.link = dir.path() + "/nmea";
        options.readerQueueBytes = 4096;
        options.dropTraceInterval = std::chrono::hours(1);
        NmeaFeed feed(options, traces.Fn());
        ASSERT_TRUE(feed.Open());
        EXPECT_EQ(feed.SocketPath(), dir.path() + "/nmea.sock");
        struct stat st;
        ASSERT_EQ(::stat(feed.SocketPath().c_str(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 0077, 0u) << "only the owner may connect";
        std::vector<int> fds;
        for (int i = 0; i < row.readers; ++i) fds.push_back(ConnectUnixSocket(feed.SocketPath()));
        ASSERT_TRUE(WaitFor([&] { return feed.SocketReaders().size() == fds.size(); }));
        std::vector<std::string> got(fds.size());
        for (int i = 0; i < kSentences; ++i) {
            feed.Write({Numbered(i)});
            for (size_t r = 0; r < fds.size(); ++r) {
                if (!row.stopped.count(static_cast<int>(r))) got[r] += ReadAll(fds[r]);
            }
        }
        auto counters = feed.SocketReaders();
        ASSERT_EQ(counters.size(), fds.size());
        for (size_t r = 0; r < fds.size(); ++r) {
            SCOPED_TRACE("reader " + std::to_string(r));
            const uint64_t lines = counters[r].sent;
            // What is still queued arrives as the reader reads.
            ASSERT_TRUE(WaitFor([&] {
                got[r] += ReadAll(fds[r]);
                return static_cast<uint64_t>(std::count(got[r].begin(), got[r].end(), '\n')) >=
                       lines;
            }));
            std::vector<int> numbers = NumbersIn(got[r]);
            EXPECT_EQ(counters[r].uid, ::geteuid());
            EXPECT_EQ(counters[r].sent + counters[r].dropped, static_cast<uint64_t>(kSentences));
            if (row.stopped.count(static_cast<int>(r))) {
                EXPECT_GT(counters[r].dropped, 0u);
                ASSERT_FALSE(numbers.empty());
                EXPECT_EQ(numbers.back(), kSentences - 1) << "the newest are kept";
            } else {
                EXPECT_EQ(counters[r].dropped, 0u);
                EXPECT_EQ(numbers.size(), static_cast<size_t>(kSentences));
            }
        }
        EXPECT_EQ(traces.Count("is not keeping up"), static_cast<int>(row.stopped.size()));
        for (int fd : fds) ::close(fd);
        EXPECT_TRUE(WaitFor([&] { return feed.SocketReaders().empty(); }));
        // Each reader's line is traced once it is gone from the list, perhaps a little after.
        EXPECT_TRUE(WaitFor([&] { return traces.Count("left after") == row.readers; }))
            << traces.Count("left after");
    }
}

// A reader gets what is written after it came; one that goes is removed without a word to the
// others; positions that report no fix go to the terminal (gpsd looks at the fix) but not to
// the socket, whose readers may not.
TEST(NmeaFeed, SocketReadersComeAndGoAndGetNoPositionWithoutAFix) {
    testing_support::TempDir dir;
    NmeaFeedOptions options;
    options.link = dir.path() + "/nmea";
    // A socket left by a run that ended without removing it is replaced.
    int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/nmea.sock", dir.path().c_str());
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    NmeaFeed feed(options);
    ASSERT_TRUE(feed.Open());
    int early = ConnectUnixSocket(feed.SocketPath());
    ASSERT_GE(early, 0);
    ASSERT_TRUE(WaitFor([&] { return feed.SocketReaders().size() == 1; }));
    feed.Write({"$GPGSV,1*00"});
    int late = ConnectUnixSocket(feed.SocketPath());
    ASSERT_TRUE(WaitFor([&] { return feed.SocketReaders().size() == 2; }));
    int terminal = OpenReader(options.link);
    const std::vector<std::string> session = {
        "$GPGGA,120000.00,3540.0000,N,13946.0000,E,0,00,,,M,,M,,*00",
        "$GPRMC,120000.00,V,3540.0000,N,13946.0000,E,,,081226,,,N*00",
        "$GPGSV,2*00",
        "$GPGGA,120001.00,3540.0010,N,13946.0013,E,1,08,0.9,35.2,M,-29.8,M,,*00",
        "$GPRMC,120001.00,A,3540.0010,N,13946.0013,E,0.5,10.0,081226,,,A*00",
    };
    feed.Write(session);
    const std::string withFix = "$GPGSV,2*00\r\n" + session[3] + "\r\n" + session[4] + "\r\n";
    EXPECT_EQ(ReadAll(early), "$GPGSV,1*00\r\n" + withFix);
    EXPECT_EQ(ReadAll(late), withFix);
    std::string all;
    for (const std::string& s : session) all += s + "\r\n";
    EXPECT_EQ(ReadTerminal(terminal, all.size()), all);

    ::close(early);
    ASSERT_TRUE(WaitFor([&] { return feed.SocketReaders().size() == 1; }));
    EXPECT_EQ(feed.SocketReaders()[0].id, 2u);
    feed.Write({"$GPGSV,3*00"});
    EXPECT_EQ(ReadAll(late), "$GPGSV,3*00\r\n");

    // A second feed on the same socket (another Satview) does not take it from the first.
    NmeaFeedOptions second;
    second.link = dir.path() + "/nmea-2";
    second.socketPath = feed.SocketPath();
    Traces traces;
    NmeaFeed other(second, traces.Fn());
    EXPECT_TRUE(other.Open()) << "its terminal is there";
    EXPECT_EQ(other.SocketPath(), "");
    EXPECT_EQ(traces.Count("another process listens there"), 1);
    feed.Write({"$GPGSV,4*00"});
    EXPECT_EQ(ReadAll(late), "$GPGSV,4*00\r\n");
    ::close(late);
    ::close(terminal);
}

TEST(NmeaFeed, AFolderThatCannotTakeItIsTracedAndNotRetried) {
    Traces traces;
    NmeaFeedOptions options;
    options.link = "/nonexistent-folder/nmea";
    NmeaFeed feed(options, traces.Fn());
    EXPECT_FALSE(feed.Open());
    feed.Write({"$GPRMC,1*11"});
    EXPECT_EQ(traces.Count("NMEA feed not offered"), 1);
    EXPECT_EQ(traces.Count("NMEA socket not offered"), 1);
    EXPECT_EQ(traces.lines.size(), 2u);
}

// The layout of the runtime folders: <dir>/run ($XDG_RUNTIME_DIR) holding satview/, the feed's
// folder, both this user's and private.
struct RuntimeFolders {
    testing_support::TempDir dir;
    std::string run = dir / "run", folder = dir / "run/satview";
    RuntimeFolders() {
        ::chmod(dir.path().c_str(), 0711);  // as /run/user is: others pass through
        ::mkdir(run.c_str(), 0700);
        ::mkdir(folder.c_str(), 0700);
    }
    NmeaFeedOptions Options(std::optional<uint32_t> account, bool share) const {
        NmeaFeedOptions options;
        options.link = folder + "/nmea";
        options.locationAccount = account;
        options.shareWithLocationService = share;
        return options;
    }
};

constexpr uint32_t kServiceUid = 4242;

// Turned on, the service's account alone gets search on the two folders and read/write on the
// socket; the folders stay private by every other measure. Turned off, its entries go again.
TEST(NmeaFeed, TheLocationServiceIsLetInByEntriesOfItsOwnAndOnlyWhenTurnedOn) {
    RuntimeFolders runtime;
    auto modeOf = [](const std::string& path) {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        return st.st_mode & 07777;
    };
    {
        Traces traces;
        NmeaFeed feed(runtime.Options(kServiceUid, true), traces.Fn());
        ASSERT_TRUE(feed.Open());
        EXPECT_EQ(platform::AccountEntry(feed.SocketPath(), kServiceUid), 6u);
        EXPECT_EQ(platform::AccountEntry(runtime.folder, kServiceUid), 1u);
        EXPECT_EQ(platform::AccountEntry(runtime.run, kServiceUid), 1u);
        EXPECT_EQ(platform::AccountEntry(runtime.dir.path(), kServiceUid), std::nullopt)
            << "a folder above the runtime folder is not touched";
        EXPECT_EQ(platform::AccountEntry(feed.SocketPath(), kServiceUid + 1), std::nullopt);
        EXPECT_EQ(modeOf(feed.SocketPath()) & 0007, 0u);
        EXPECT_EQ(modeOf(runtime.folder), 0710u) << "the mask: search, nothing else";
        std::string why;
        EXPECT_TRUE(platform::CheckOwnFolder(runtime.folder, platform::FolderAccess::Private, &why))
            << why;
        EXPECT_TRUE(platform::MakeOwnFolder(runtime.folder, platform::FolderAccess::Private, &why))
            << why;
        EXPECT_EQ(traces.Count("may connect to " + feed.SocketPath()), 1);
    }
    {
        NmeaFeed feed(runtime.Options(kServiceUid, false));
        ASSERT_TRUE(feed.Open());
        EXPECT_EQ(platform::AccountEntry(feed.SocketPath(), kServiceUid), std::nullopt);
        EXPECT_EQ(platform::AccountEntry(runtime.folder, kServiceUid), std::nullopt);
        EXPECT_EQ(platform::AccountEntry(runtime.run, kServiceUid), std::nullopt);
        EXPECT_EQ(modeOf(runtime.folder), 0700u);
        EXPECT_EQ(modeOf(runtime.run), 0700u);
    }
    // Turned on where the service is not installed: said so, and the socket stays owner-only.
    Traces traces;
    NmeaFeed feed(runtime.Options(std::nullopt, true), traces.Fn());
    ASSERT_TRUE(feed.Open());
    EXPECT_EQ(traces.Count("GeoClue is not installed"), 1);
    EXPECT_EQ(modeOf(feed.SocketPath()), 0600u);
}

// What the kernel lets through: the service's account connects and is a reader like any
// other; another account is refused at the socket's permissions.
TEST(NmeaFeed, OnlyTheLocationServicesAccountConnectsBesideTheOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "connecting as other accounts needs root";
    RuntimeFolders runtime;
    NmeaFeed feed(runtime.Options(kServiceUid, true));
    ASSERT_TRUE(feed.Open());
    // The child only makes system calls: the feed's thread may hold a lock at the fork.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", feed.SocketPath().c_str());
    auto connectAs = [&](uint32_t uid) {
        pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(3);
            int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::_exit(errno == EACCES ? 1 : 2);
            }
            char byte;
            ::_exit(::read(fd, &byte, 1) == 1 ? 0 : 4);  // the sentence written below
        }
        return pid;
    };
    pid_t service = connectAs(kServiceUid), other = connectAs(kServiceUid + 1);
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_EQ(WEXITSTATUS(status), 1) << "another account reaches the socket";
    ASSERT_TRUE(WaitFor([&] { return feed.SocketReaders().size() == 1; }));
    EXPECT_EQ(feed.SocketReaders()[0].uid, kServiceUid);
    feed.Write({"$GPGSV,1*00"});
    ASSERT_EQ(::waitpid(service, &status, 0), service);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the service's account got no sentence";
}

}  // namespace

// The NMEA feed on a real pseudo-terminal: its link, sentences passed on whole and in order,
// nothing kept for a reader that is not there, and a reader that stops reading costing the
// writer nothing but dropped sentences, traced once per interval.
#include "framework/devicemgr/nmea_feed.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "temp_dir.h"

namespace {

std::string ReadAll(int fd) {
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, n);
    return all;
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

TEST(NmeaFeed, PassesSentencesWholeAndInOrderWithoutEverWaitingForItsReader) {
    testing_support::TempDir dir;
    std::vector<std::string> traces;
    const std::string link = dir.path() + "/nmea";
    {
        devicemgr::NmeaFeed feed(
            link,
            [&](int, const std::string& text) {
                if (text.find("dropped") != std::string::npos) traces.push_back(text);
            },
            std::chrono::hours(1));
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
        EXPECT_EQ(ReadAll(reader), "$GPRMC,1*11\r\n$GPGGA,1*22\r\n$GPGSV,1*33\r\n");

        // The reader stops reading: every write returns at once, sentences that do not fit
        // are dropped, and what the reader finds later is whole sentences in order.
        const std::string body(70, 'x');
        const int kSentences = 5000;  // far more than a terminal holds
        for (int i = 0; i < kSentences; ++i) {
            feed.Write({"$GP" + std::to_string(i) + "," + body + "*00"});
        }
        auto counters = feed.Counters();
        EXPECT_GT(counters.dropped, 0u);
        EXPECT_EQ(counters.written + counters.dropped, 3u + kSentences);
        EXPECT_EQ(traces.size(), 1u) << "drops are traced once per interval";
        // A sentence the terminal took only part of is finished before the next one, once
        // the reader reads again.
        std::string got = ReadAll(reader);
        feed.Write({"$GPRMC,2*44"});
        got += ReadAll(reader);
        const std::string next = "$GPRMC,2*44\r\n";
        ASSERT_GE(got.size(), next.size());
        EXPECT_EQ(got.substr(got.size() - next.size()), next);
        got.resize(got.size() - next.size());
        std::istringstream lines(got);
        std::string line;
        int count = 0, last = -1;
        static const std::regex sentence("\\$GP(\\d+)," + body + "\\*00\r");
        while (std::getline(lines, line)) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, sentence)) << "cut sentence: " << line;
            int number = std::stoi(m[1]);
            EXPECT_GT(number, last);
            last = number;
            ++count;
        }
        EXPECT_EQ(static_cast<uint64_t>(count), counters.written - 3);
        ::close(reader);
        feed.Write({"$GPRMC,3*55"});
        EXPECT_EQ(feed.Counters().unread, 3u);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
        << "the link goes with the feed";
    EXPECT_EQ(traces.size(), 2u) << "the last drops are told at the end";
}

TEST(NmeaFeed, LinkInAFolderThatCannotTakeItIsTracedAndNotRetried) {
    std::vector<std::string> traces;
    devicemgr::NmeaFeed feed("/nonexistent-folder/nmea",
                             [&](int, const std::string& text) { traces.push_back(text); });
    EXPECT_FALSE(feed.Open());
    feed.Write({"$GPRMC,1*11"});
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_NE(traces[0].find("not offered"), std::string::npos);
}

}  // namespace

// The AT channel against a device played by the test on a pseudo-terminal.
#include "framework/devicemgr/at_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/serving_wait.h"
#include "platform/ui/kit.h"
#include "pty_pair.h"

namespace {

using devicemgr::AtChannel;
using testing_support::PtyPair;

class AtChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok());
        channel_ = Open();
        ASSERT_TRUE(channel_);
        // A port just opened is brought in step first.
        ASSERT_GT(AnswerMarker(), 0);
    }

    // Plays the card's side of the marker: reads it, writes `owed` (what earlier commands
    // still owe; "{other}" stands for a value other than the drawn one), then the marker's
    // answer (or ERROR, a card that refuses it) and takes the write-back of the old value.
    // Returns the drawn value, or -1 when the line read is no marker.
    int AnswerMarker(const std::vector<std::string>& owed = {}, bool refuse = false) {
        const std::string line = pty_.ReadUntil("\r\n");
        const std::string head = "ATS7?S7=", tail = "S7?\r\n";
        if (line.rfind(head, 0) != 0 || line.size() <= head.size() + tail.size() ||
            line.compare(line.size() - tail.size(), tail.size(), tail) != 0) {
            ADD_FAILURE() << "no marker: " << line;
            return -1;
        }
        const int drawn =
            std::stoi(line.substr(head.size(), line.size() - head.size() - tail.size()));
        char other[8];
        std::snprintf(other, sizeof other, "%03d", drawn % 255 + 1);
        for (std::string part : owed) {
            if (size_t at = part.find("{other}"); at != std::string::npos) {
                part.replace(at, 7, other);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            pty_.Write(part);
        }
        if (refuse) {
            pty_.Write("\r\nERROR\r\n");
            return drawn;
        }
        char value[8];
        std::snprintf(value, sizeof value, "%03d", drawn);
        pty_.Write("\r\n050\r\n\r\n" + std::string(value) + "\r\n\r\nOK\r\n");
        if (drawn != 50) {
            EXPECT_EQ(pty_.ReadUntil("\r\n"), "ATS7=50\r\n");  // the old value put back
            pty_.Write("\r\nOK\r\n");
        }
        return drawn;
    }

    std::unique_ptr<AtChannel> Open(int answerTimeoutMs = devicemgr::kAnswerTimeoutMs) {
        std::string error;
        auto line = platform::SerialLine::Open(pty_.SlaveName(), error);
        EXPECT_TRUE(line) << error;
        if (!line) return nullptr;
        AtChannel::Handlers h;
        h.answered = [this](const std::string& a) {
            std::lock_guard<std::mutex> lock(mutex_);
            answers_.push_back(a);
        };
        h.unsolicited = [this](const std::string& l) {
            std::function<void()> hook;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                unsolicited_.push_back(l);
                hook = onUnsolicited_;
            }
            if (hook) hook();
        };
        h.hungUp = [this] { hungUp_ = true; };
        h.wait = platform::WindowKitWait();  // the kit linked here, found as a plug-in finds it
        auto channel = std::make_unique<AtChannel>(std::move(line), std::move(h), answerTimeoutMs);
        EXPECT_TRUE(channel->Start());
        return channel;
    }

    std::vector<std::string> Answers() {
        std::lock_guard<std::mutex> lock(mutex_);
        return answers_;
    }

    PtyPair pty_;
    std::unique_ptr<AtChannel> channel_;
    std::mutex mutex_;
    std::vector<std::string> answers_, unsolicited_;
    std::atomic<bool> hungUp_{false};
    std::function<void()> onUnsolicited_;  // run after each unsolicited line (mutex_)
};

TEST_F(AtChannelTest, CommandGetsItsAnswerSplitAndInterleaved) {
    std::thread card([&] {
        EXPECT_EQ(pty_.ReadUntil("\r\n"), "AT+CGMM\r\n");
        pty_.Write("\r\n^RSSI:1");
        pty_.Write("7\r\nMODEL");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pty_.Write("-A\r\n\r\n^MODE:5\r\n\r\nO");
        pty_.Write("K\r\n");
    });
    auto answer = channel_->Command("AT+CGMM");
    card.join();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->text, "MODEL-A\r\nOK");
    EXPECT_FALSE(answer->error);
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_EQ(unsolicited_, (std::vector<std::string>{"^RSSI:17", "^MODE:5"}));
    EXPECT_TRUE(answers_.empty());  // the manager's own commands never reach the user
}

// A query in flight lets the port go (its late answer is the next owner's to drop); a command
// that acts on the card holds it until answered.
TEST_F(AtChannelTest, OnlyCommandsThatActKeepTheChannelBusy) {
    for (bool readOnly : {true, false}) {
        std::atomic<bool> read{false}, answer{false};
        std::thread card([&] {
            EXPECT_EQ(pty_.ReadUntil("\r\n"), "AT+CPIN?\r\n");
            read = true;
            while (!answer) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            pty_.Write("\r\n+CPIN: READY\r\n\r\nOK\r\n");
        });
        std::thread asker([&] { EXPECT_TRUE(channel_->Command("AT+CPIN?", 3000, readOnly)); });
        while (!read) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(channel_->Busy(), !readOnly) << readOnly;
        answer = true;
        asker.join();
        card.join();
        EXPECT_FALSE(channel_->Busy());
    }
}

TEST_F(AtChannelTest, LateAnswersOfAnEndedExchangeAreDropped) {
    // Exchange 1 ends before the card answers; exchange 2 must wait for that answer to pass
    // and then get only its own.
    ASSERT_TRUE(channel_->Send("AT^WPDOM=5\r\n"));
    EXPECT_EQ(pty_.ReadUntil("\r\n"), "AT^WPDOM=5\r\n");
    channel_->EndExchange();
    ASSERT_TRUE(channel_->Send("AT^GPSTYPE?\r\n"));
    EXPECT_EQ(pty_.ReadUntil("\r\n", 200), "");  // held back while the first is unanswered
    pty_.Write("\r\nOK\r\n");                    // the late answer of exchange 1
    EXPECT_EQ(pty_.ReadUntil("\r\n"), "AT^GPSTYPE?\r\n");
    pty_.Write("\r\n^GPSTYPE:2\r\n\r\nOK\r\n\r\nOK\r\n");  // answered twice
    for (int i = 0; i < 200 && Answers().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(channel_->Send("AT\r\n"));
    EXPECT_EQ(pty_.ReadUntil("\r\n"), "AT\r\n");
    pty_.Write("\r\nERROR\r\n");
    for (int i = 0; i < 200 && Answers().size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(Answers(), (std::vector<std::string>{"^GPSTYPE:2\r\nOK", "ERROR"}));
}

// A card answers in order, so an answer still owed (to a command that timed out, or to the
// port's previous owner) comes before the answer to the channel's marker. None of it may pass
// for the marker's answer or for the answer of the command queued meanwhile, not even an owed
// answer of an earlier marker; and a card that refuses the marker still gets back in step.
TEST_F(AtChannelTest, OwedAnswersNeverPassForALaterCommandsAnswer) {
    struct Case {
        const char* name;
        bool newOwner;           // else the command times out on the same channel
        std::string beforeOpen;  // new owner: written between the two owners
        std::vector<std::string> owed;
        bool refuse = false;
    };
    const Case cases[] = {
        {"late answer with information", false, "", {"\r\n12345\r\n\r\nOK\r\n"}},
        {"late bare OK", false, "", {"\r\nOK\r\n"}},
        {"never answered", false, "", {}},
        {"late register read", false, "", {"\r\n050\r\n\r\nOK\r\n"}},
        {"previous owner's answer", true, "", {"\r\n12345\r\n", "\r\nOK\r\n"}},
        {"previous owner's error", true, "", {"\r\n+CME ERROR: 14\r\n"}},
        {"previous owner's marker", true, "", {"\r\n050\r\n\r\n{other}\r\n\r\nOK\r\n"}},
        {"waiting when opened", true, "\r\n12345\r\n\r\nOK\r\n", {}},
        {"marker refused, late answer", false, "", {"\r\n12345\r\n\r\nOK\r\n"}, true},
        {"marker refused, previous owner's", true, "", {"\r\nOK\r\n"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        channel_.reset();
        auto channel = Open(500);
        ASSERT_GT(AnswerMarker(), 0);
        if (c.newOwner) {
            ASSERT_TRUE(channel->Send("AT+CGSN"));
            ASSERT_EQ(pty_.ReadUntil("\r\n"), "AT+CGSN\r\n");
            channel.reset();
            pty_.Write(c.beforeOpen);
            channel = Open(500);
        } else {
            EXPECT_FALSE(channel->Command("AT+CGSN", 2000));
            ASSERT_EQ(pty_.ReadUntil("\r\n"), "AT+CGSN\r\n");
        }
        std::optional<devicemgr::AtAnswer> answer;
        std::thread next([&] { answer = channel->Command("AT+CGMM", 3000); });
        EXPECT_GT(AnswerMarker(c.owed, c.refuse), 0);
        EXPECT_EQ(pty_.ReadUntil("\r\n"), "AT+CGMM\r\n");
        pty_.Write("\r\nMODEL-A\r\n\r\nOK\r\n");
        next.join();
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->text, "MODEL-A\r\nOK");
        EXPECT_TRUE(Answers().empty());
    }
}

// A marker answered only after the next marker went out, or after it timed out with nothing
// waiting: the register is put back to what the card had before the first marker, never to
// what the first marker wrote.
TEST_F(AtChannelTest, ALateMarkerAnswerLeavesTheRegisterAsTheCardHadIt) {
    auto drawnOf = [](const std::string& line) {
        const std::string head = "ATS7?S7=";
        EXPECT_EQ(line.rfind(head, 0), 0u) << line;
        return std::stoi(line.substr(head.size()));
    };
    auto value = [](int v) {
        char text[8];
        std::snprintf(text, sizeof text, "%03d", v);
        return std::string(text);
    };
    for (bool whileNextInFlight : {true, false}) {
        SCOPED_TRACE(whileNextInFlight ? "while the next marker waits" : "with nothing waiting");
        channel_.reset();
        auto channel = Open(300);
        ASSERT_GT(AnswerMarker(), 0);
        EXPECT_FALSE(channel->Command("AT+CGSN", 2000));  // unanswered: out of step
        ASSERT_EQ(pty_.ReadUntil("\r\n"), "AT+CGSN\r\n");
        // The first marker goes out at once and is not answered in time.
        const int first = drawnOf(pty_.ReadUntil("\r\n"));
        if (!whileNextInFlight) {
            // Its answer comes once it has timed out, with nothing waiting.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            pty_.Write("\r\n050\r\n\r\n" + value(first) + "\r\n\r\nOK\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::optional<devicemgr::AtAnswer> answer;
        std::thread next([&] { answer = channel->Command("AT+CGMM", 5000); });
        const int second = drawnOf(pty_.ReadUntil("\r\n"));  // after the first's time-out
        EXPECT_NE(second, first);
        if (whileNextInFlight) {
            pty_.Write("\r\n050\r\n\r\n" + value(first) + "\r\n\r\nOK\r\n");
        }
        // The second marker read what the first had written.
        pty_.Write("\r\n" + value(first) + "\r\n\r\n" + value(second) + "\r\n\r\nOK\r\n");
        if (second != 50) {
            EXPECT_EQ(pty_.ReadUntil("\r\n"), "ATS7=50\r\n");
            pty_.Write("\r\nOK\r\n");
        }
        EXPECT_EQ(pty_.ReadUntil("\r\n"), "AT+CGMM\r\n");
        pty_.Write("\r\nMODEL-A\r\n\r\nOK\r\n");
        next.join();
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->text, "MODEL-A\r\nOK");
    }
}

// Closing on the window thread serves sends while the reader ends (a handler may be sending
// to the window thread). An unanswered command there is covered through OpenGps.
TEST_F(AtChannelTest, CloseOnTheWindowThreadServesSends) {
    ASSERT_TRUE(ui::Initialize(ui::BackendKind::Headless));
    std::atomic<bool> inside{false}, closing{false}, served{false};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        onUnsolicited_ = [&] {
            inside = true;
            while (!closing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ui::RunOnWindowThread([&] { served = true; });
        };
    }
    pty_.Write("\r\n^RSSI:5\r\n");
    ui::RunOnWindowThread([&] {
        while (!inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        closing = true;
        channel_->Close();
    });
    EXPECT_TRUE(served);
    ui::Shutdown();
}

TEST_F(AtChannelTest, HangUpMidExchangeFailsWaitersAndReportsOnce) {
    std::thread card([&] {
        pty_.ReadUntil("\r\n");
        pty_.Write("\r\nMODEL");
        pty_.Hangup();
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel_->Command("AT+CGMM", 5000));
    card.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    for (int i = 0; i < 100 && !hungUp_; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(hungUp_);
    EXPECT_FALSE(channel_->Send("AT\r\n"));
    EXPECT_FALSE(channel_->Alive());
}

TEST_F(AtChannelTest, CloseEndsAWaitingCommandPromptly) {
    std::thread closer([&] {
        pty_.ReadUntil("\r\n");
        channel_->Close();
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel_->Command("AT+CPIN?", 5000));
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

}  // namespace

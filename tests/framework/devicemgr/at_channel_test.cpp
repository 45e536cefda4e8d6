// The AT channel against a device played by the test on a pseudo-terminal.
#include "framework/devicemgr/at_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "pty_pair.h"

namespace {

using devicemgr::AtChannel;
using testing_support::PtyPair;

class AtChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok());
        std::string error;
        auto line = platform::SerialLine::Open(pty_.SlaveName(), error);
        ASSERT_TRUE(line) << error;
        AtChannel::Handlers h;
        h.answered = [this](const std::string& a) {
            std::lock_guard<std::mutex> lock(mutex_);
            answers_.push_back(a);
        };
        h.unsolicited = [this](const std::string& l) {
            std::lock_guard<std::mutex> lock(mutex_);
            unsolicited_.push_back(l);
        };
        h.hungUp = [this] { hungUp_ = true; };
        channel_ = std::make_unique<AtChannel>(std::move(line), std::move(h));
        ASSERT_TRUE(channel_->Start());
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

TEST_F(AtChannelTest, UnansweredCommandGivesUpOnTime) {
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel_->Command("AT+CGSN", 150));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    pty_.Write("\r\nOK\r\n");  // too late: reaches nobody
    EXPECT_TRUE(Answers().empty());
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

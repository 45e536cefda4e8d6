// Power events against a real D-Bus daemon on a private bus with python-dbusmock's logind
// standing in for systemd-logind: the delay lock, a suspension stopping GPS before the lock
// is released, the wake-up, and no bus at all.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <functional>
#include <thread>

#include "companion_fixture.h"

extern char** environ;

using namespace orbitpane_test;

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

pid_t Spawn(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    // The mock reports every call on its output; keep the test's output readable.
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    return rc == 0 ? pid : -1;
}

void End(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// The test's own connection to the private bus.
class MockLogind {
  public:
    MockLogind() { sd_bus_open_system(&bus_); }
    ~MockLogind() { sd_bus_flush_close_unref(bus_); }

    bool Present() {
        sd_bus_message* reply = nullptr;
        int has = 0;
        if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                               kLogind) >= 0) {
            sd_bus_message_read(reply, "b", &has);
        }
        sd_bus_message_unref(reply);
        return has != 0;
    }

    // "what/who/mode" of every inhibitor logind holds.
    std::vector<std::string> Inhibitors() {
        std::vector<std::string> out;
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(bus_, kLogind, kPath, kManager, "ListInhibitors", nullptr, &reply,
                               "") < 0) {
            return {"no answer"};
        }
        sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
        const char *what, *who, *why, *mode;
        unsigned uid, pid;
        while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0) {
            out.push_back(std::string(what) + "/" + who + "/" + mode);
        }
        sd_bus_message_unref(reply);
        return out;
    }

    bool PrepareForSleep(bool sleeping) {
        return sd_bus_call_method(bus_, kLogind, kPath, "org.freedesktop.DBus.Mock", "EmitSignal",
                                  nullptr, nullptr, "sssav", kManager, "PrepareForSleep", "b", 1,
                                  "b", sleeping ? 1 : 0) >= 0;
    }

  private:
    sd_bus* bus_ = nullptr;
};

const std::vector<std::string> kOurLock = {"sleep/Satview/delay"};

class PowerEvents : public CompanionFixture {
  protected:
    static void SetUpTestSuite() {
        folder_ = new testing_support::TempDir();
        const std::string socket = *folder_ / "bus";
        folder_->Write("bus.conf",
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                       "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                       "busconfig.dtd\"><busconfig><type>session</type><listen>unix:path=" +
                           socket +
                           "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow "
                           "send_destination=\"*\" eavesdrop=\"true\"/><allow "
                           "eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        daemon_ = Spawn({"/usr/bin/dbus-daemon", "--config-file=" + (*folder_ / "bus.conf"),
                         "--nofork", "--nosyslog"});
        Eventually([&] { return platform::FileExists(socket); });
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
        logind_ = Spawn({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"});
        MockLogind probe;
        Eventually([&] { return probe.Present(); });
    }
    static void TearDownTestSuite() {
        End(logind_);
        End(daemon_);
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        delete folder_;
    }
    void SetUp() override {
        CompanionFixture::SetUp();
        ASSERT_TRUE(logind.Present()) << "python3-dbusmock's logind did not come up";
    }

    MockLogind logind;
    static inline testing_support::TempDir* folder_ = nullptr;
    static inline pid_t daemon_ = -1;
    static inline pid_t logind_ = -1;
};

}  // namespace

TEST_F(PowerEvents, TheDialogHoldsADelayLockForSleepWhileItLives) {
    ASSERT_TRUE(logind.Inhibitors().empty());
    Open();
    EXPECT_EQ(logind.Inhibitors(), kOurLock);
    dialog.reset();
    EXPECT_TRUE(Eventually([&] { return logind.Inhibitors().empty(); }));
}

TEST_F(PowerEvents, SuspensionStopsGpsBeforeTheLockGoesAndWakingStartsNothing) {
    for (bool running : {true, false}) {
        Open();
        CardFound();
        if (running) {
            ASSERT_TRUE(user->Click(gps::kStart));
        }
        ASSERT_EQ(logind.Inhibitors(), kOurLock);
        const int before = TraceCount("PBT_APMSUSPEND");

        ASSERT_TRUE(logind.PrepareForSleep(true));
        ASSERT_TRUE(Eventually([&] { return logind.Inhibitors().empty(); })) << running;
        // The lock went only after Stop had finished.
        EXPECT_EQ(card->GetCounters().gpsCloses, running ? 1 : 0);
        EXPECT_FALSE(Running());
        EXPECT_EQ(StatusKey(), L"IDS_STATIC_STOP_GPSSUCCE");
        EXPECT_EQ(TraceCount("PBT_APMSUSPEND"), before + 1) << running;

        ASSERT_TRUE(logind.PrepareForSleep(false));
        ASSERT_TRUE(Eventually([&] { return logind.Inhibitors() == kOurLock; })) << running;
        EXPECT_FALSE(Running());
        EXPECT_EQ(card->GetCounters().gpsOpens, running ? 1 : 0) << "waking starts nothing";
        dialog.reset();
        ASSERT_TRUE(Eventually([&] { return logind.Inhibitors().empty(); }));
        card->Reset();
        card->SetFallbackAnswer(kOk);
    }
}

TEST_F(PowerEvents, WithoutABusTheDialogWorksAndSaysSoOnce) {
    const std::string address = ::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir / "no-bus")).c_str(), 1);
    Open();
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    CardFound();
    ASSERT_TRUE(user->Click(gps::kStart));
    EXPECT_TRUE(Running());
    EXPECT_TRUE(logind.Inhibitors().empty());
    ASSERT_TRUE(user->Click(gps::kStop));
    dialog.reset();
    EXPECT_EQ(TraceCount("No power events"), 1);
}

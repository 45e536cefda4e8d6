// The built program run as a user runs it: a copy of the program directory with the shipped
// files, a home, a runtime folder and a simulated card of its own, driven through the card's
// control socket.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "child.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace system_test {

class RunningSystem {
  public:
    RunningSystem() {
        Shell("cp -a " PROGRAM_DIR " " + Bin() + " && cp -a " SATVIEW_DATA_DIR "/. " + Bin() +
              " && rm -rf " + Bin() + "/Log " + Bin() + "/plugins.xml");
        std::filesystem::create_directories(dir_ / "run");
        env_ = {{"HOME", dir_ / "home"},
                {"XDG_CONFIG_HOME", dir_ / "home/.config"},
                {"XDG_STATE_HOME", dir_ / "home/.local/state"},
                {"XDG_RUNTIME_DIR", dir_ / "run"},
                {"SATVIEW_PORTS_DIR", dir_ / "run/ports"}};
    }

    std::string Bin() const { return dir_ / "bin"; }
    std::string Socket() const { return dir_ / "run/card.sock"; }
    const std::map<std::string, std::string>& Env() const { return env_; }
    void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }
    std::string Dir() const { return dir_.path(); }
    // The environment as a prefix of a shell command line.
    std::string EnvPrefix() const {
        std::string line = "env";
        for (const auto& [name, value] : env_) line += " " + name + "=" + value;
        return line;
    }

    // Starts the simulated card; true once its ports are registered.
    bool StartCard(std::vector<std::string> options = {}) {
        std::vector<std::string> argv = {Bin() + "/satview-cardsim", "--socket", Socket()};
        argv.insert(argv.end(), options.begin(), options.end());
        card_ = std::make_unique<Child>(argv, env_, dir_ / "card.log");
        return WaitUntil(
            [&] { return card_->Output().find("control socket") != std::string::npos; });
    }
    // One control command to the card ("unplug", "silent-after 1"); its reply.
    std::string Card(const std::string& command) const {
        std::string out = dir_ / "ctl.out";
        Shell(EnvPrefix() + " " + Bin() + "/satview-cardsim ctl --socket " + Socket() + " " +
              command + " >" + out + " 2>&1");
        return platform::ReadWholeFile(out).value_or("");
    }
    std::string Log() const {
        std::string all;
        for (const auto& e : std::filesystem::directory_iterator(Bin() + "/Log")) {
            all += platform::ReadWholeFile(e.path()).value_or("");
        }
        return all;
    }

  private:
    testing_support::TempDir dir_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<Child> card_;
};

}  // namespace system_test

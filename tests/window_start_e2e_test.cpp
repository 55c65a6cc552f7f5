// Runs the built opjoin where a display is named but no window can be had: an X server that
// accepts the connection and never answers, a Wayland socket that Qt has no plugin for. The
// window dialog gives up in bounded time; --dialog=gui fails to start with the reason, and
// --dialog=auto falls back to the terminal dialog. Nothing hangs, and nothing aborts.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/launch.h"
#include "tests/support/temp_dir.h"

namespace opjoin::testing {
namespace {

const std::string kStartupFailure = "Fatal Error: MFC initialization failed\n";

// A listening Unix socket that never accepts: connections succeed, and nothing ever answers.
class SilentServer {
 public:
  // At `path`, or in the abstract name space when it begins with '@'.
  explicit SilentServer(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd_ < 0 || path.size() >= sizeof(address.sun_path)) {
      throw std::runtime_error("cannot make a socket for " + path);
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    if (path.front() == '@') {
      address.sun_path[0] = '\0';
    }
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    bound_ =
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd_, 16) == 0;
  }
  ~SilentServer() { ::close(fd_); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  bool bound() const { return bound_; }

 private:
  int fd_ = -1;
  bool bound_ = false;
};

// An X display nobody else serves, held by a server that never answers; its name, ":N".
class SilentDisplay {
 public:
  SilentDisplay() {
    for (int number = 170; number < 270 && name_.empty(); ++number) {
      auto server = std::make_unique<SilentServer>("@/tmp/.X11-unix/X" + std::to_string(number));
      if (server->bound() &&
          ::access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) != 0) {
        server_ = std::move(server);
        name_ = std::to_string(number);
        name_.insert(0, 1, ':');  // not ":" + ...: GCC 12 warns wrongly (-Wrestrict)
      }
    }
    if (name_.empty()) {
      throw std::runtime_error("no free X display number");
    }
  }
  const std::string& name() const { return name_; }

 private:
  std::unique_ptr<SilentServer> server_;
  std::string name_;
};

struct Case {
  std::string name;
  std::map<std::string, std::optional<std::string>> env;
  std::string reason;  // the diagnostic before the start-up failure; empty: any
};

void ExpectGuiFailsAndAutoFallsBack(const Case& c, const TempDir& dir) {
  WriteFile(dir / "answers", "\n");  // an empty answer cancels the terminal dialog
  Launch gui({.args = {"--dialog=gui"}, .folder = dir.path(), .env = c.env});
  gui.Wait();
  EXPECT_EQ(gui.end_signal(), 0) << c.name;
  EXPECT_EQ(gui.exit_status(), 1) << c.name << ": " << gui.err();
  EXPECT_EQ(gui.out(), "") << c.name;
  if (c.reason.empty()) {
    EXPECT_TRUE(gui.err().starts_with("opjoin: ")) << c.name << ": " << gui.err();
    EXPECT_TRUE(gui.err().ends_with("\n" + kStartupFailure)) << c.name << ": " << gui.err();
  } else {
    EXPECT_EQ(gui.err(), "opjoin: " + c.reason + "\n" + kStartupFailure) << c.name;
  }

  Launch automatic(
      {.args = {"--dialog=auto"}, .folder = dir.path(), .input = dir / "answers", .env = c.env});
  automatic.Wait();
  EXPECT_EQ(automatic.exit_status(), 0) << c.name << ": " << automatic.err();
  EXPECT_NE(automatic.err().find("Load SmartSpice Log File\nLook in: "), std::string::npos)
      << c.name << ": " << automatic.err();
}

TEST(WindowStart, AnXServerThatNeverAnswersIsGivenUpOn) {
#ifndef OPJOIN_WINDOW_DIALOG
  GTEST_SKIP() << "this build has no window dialog";
#endif
  TempDir dir;
  SilentDisplay display;
  ExpectGuiFailsAndAutoFallsBack({"silent X server",
                                  {{"DISPLAY", display.name()},
                                   {"WAYLAND_DISPLAY", std::nullopt},
                                   {"XDG_SESSION_TYPE", std::nullopt},
                                   {"QT_QPA_PLATFORM", std::nullopt}},
                                  "display " + display.name() + " does not answer"},
                                 dir);
}

TEST(WindowStart, AWaylandSessionWithoutQtsWaylandPluginNeverAborts) {
#ifndef OPJOIN_WINDOW_DIALOG
  GTEST_SKIP() << "this build has no window dialog";
#endif
  TempDir dir;
  SilentServer compositor(dir / "wayland-test");
  ASSERT_TRUE(compositor.bound());
  const std::map<std::string, std::optional<std::string>> wayland = {
      {"DISPLAY", std::nullopt},
      {"XDG_RUNTIME_DIR", dir.path()},
      {"WAYLAND_DISPLAY", "wayland-test"}};
  auto with = [&](std::string name, std::string value) {
    auto env = wayland;
    env[name] = value;
    return env;
  };
  const Case cases[] = {
      {"QT_QPA_PLATFORM=wayland", with("QT_QPA_PLATFORM", "wayland"), ""},
      {"XDG_SESSION_TYPE=wayland", with("XDG_SESSION_TYPE", "wayland"), ""},
  };
  for (const Case& c : cases) {
    ExpectGuiFailsAndAutoFallsBack(c, dir);
  }
}

}  // namespace
}  // namespace opjoin::testing

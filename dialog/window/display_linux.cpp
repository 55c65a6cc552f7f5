#include "dialog/window/display_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/diagnostic.h"
#include "base/text.h"
#include "base/unique_fd.h"
#include "dialog/description.h"

namespace opjoin {

namespace {

using namespace dialog_text;

constexpr int kAnswerMilliseconds = 2000;

enum class Probe { kAnswers, kRefused, kSilent };

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Waits up to kAnswerMilliseconds for `fd` to have something to read.
bool ReadableInTime(int fd) {
  pollfd ready = {fd, POLLIN, 0};
  int result;
  while ((result = ::poll(&ready, 1, kAnswerMilliseconds)) < 0 && errno == EINTR) {
  }
  return result > 0;
}

// Connects to the X server the way Qt's xcb plugin would. xcb_connect() waits for ever for a
// server that accepts the connection and never answers, so it is made in a child process,
// which is given up on when it does not report in time.
Probe ProbeXServer() {
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    return Probe::kRefused;
  }
  UniqueFd reading(report[0]);
  UniqueFd writing(report[1]);
  const pid_t child = ::fork();
  if (child < 0) {
    return Probe::kRefused;
  }
  if (child == 0) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const char answer = xcb_connection_has_error(connection) == 0 ? 'y' : 'n';
    _exit(::write(writing.get(), &answer, 1) == 1 ? 0 : 1);
  }
  writing.Reset();
  char answer = 'n';
  const bool reported = ReadableInTime(reading.get()) && ::read(reading.get(), &answer, 1) == 1;
  if (!reported) {
    ::kill(child, SIGKILL);
  }
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  if (!reported) {
    return Probe::kSilent;
  }
  return answer == 'y' ? Probe::kAnswers : Probe::kRefused;
}

// Where the Wayland compositor listens, as the client library finds it; "" when it cannot.
std::string WaylandSocket() {
  std::string socket = Environment("WAYLAND_DISPLAY");
  if (socket.empty()) {
    socket = "wayland-0";  // the client library's default
  }
  if (socket.front() == '/') {
    return socket;
  }
  const std::string runtime_folder = Environment("XDG_RUNTIME_DIR");
  return runtime_folder.empty() ? std::string() : runtime_folder + "/" + socket;
}

// Asks the compositor at `path` for a round trip (wl_display.sync) and waits for its reply.
Probe ProbeWaylandCompositor(const std::string& path, std::string* error) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    *error = ErrnoText(path.empty() ? ENOENT : ENAMETOOLONG);
    return Probe::kRefused;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket ||
      ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    *error = ErrnoText(errno);
    return Probe::kRefused;
  }
  // The request, in the machine's byte order: object 1 (the display), opcode 0 (sync), 12
  // bytes long, and the id of the callback the reply comes to.
  const std::uint32_t sync[] = {1, (12u << 16) | 0u, 2};
  if (::send(socket.get(), sync, sizeof sync, MSG_NOSIGNAL) != sizeof sync) {
    *error = ErrnoText(errno);
    return Probe::kRefused;
  }
  char reply[64];
  if (!ReadableInTime(socket.get())) {
    return Probe::kSilent;
  }
  if (::recv(socket.get(), reply, sizeof reply, 0) <= 0) {
    *error = ErrnoText(errno != 0 ? errno : ECONNRESET);
    return Probe::kRefused;
  }
  return Probe::kAnswers;
}

// Whether the platform plugin `file_name` is in one of `folders`.
bool HasPlugin(const std::vector<std::string>& folders, std::string_view file_name) {
  for (const std::string& folder : folders) {
    if (::access((folder + "/" + std::string(file_name)).c_str(), R_OK) == 0) {
      return true;
    }
  }
  return false;
}

// The platforms to try, in order.
std::vector<std::string> PlatformOrder() {
  std::vector<std::string> order;
  const std::string chosen = Environment("QT_QPA_PLATFORM");
  std::size_t start = 0;
  while (start < chosen.size()) {
    std::size_t end = std::min(chosen.find(';', start), chosen.size());
    std::string name = chosen.substr(start, end - start);
    name = name.substr(0, name.find(':'));  // a name may carry ":options"
    if (name.starts_with("wayland")) {
      name = "wayland";
    }
    if ((name == "xcb" || name == "wayland") &&
        std::find(order.begin(), order.end(), name) == order.end()) {
      order.push_back(name);
    }
    start = end + 1;
  }
  if (order.empty()) {
    if (Environment("XDG_SESSION_TYPE") == "wayland") {
      order = {"wayland", "xcb"};
    } else {
      order = {"xcb", "wayland"};
    }
  }
  return order;
}

// Whether X can show the window; false with a reason, or with none when no X display is set.
bool XUsable(const std::vector<std::string>& plugin_folders, std::string* reason) {
  const std::string display = Environment("DISPLAY");
  if (display.empty()) {
    return false;
  }
  if (!HasPlugin(plugin_folders, "libqxcb.so")) {
    *reason = Fill(kNoQtPlugin, {"X11 (xcb)"});
    return false;
  }
  switch (ProbeXServer()) {
    case Probe::kAnswers:
      return true;
    case Probe::kRefused:
      *reason = Fill(kDisplayRefused, {display});
      return false;
    case Probe::kSilent:
      *reason = Fill(kDisplaySilent, {display});
      return false;
  }
  return false;
}

// Whether Wayland can show the window; false with a reason, or with none when nothing points
// to a Wayland session.
bool WaylandUsable(const std::vector<std::string>& plugin_folders, std::string* reason) {
  const bool asked = !Environment("WAYLAND_DISPLAY").empty() ||
                     Environment("XDG_SESSION_TYPE") == "wayland" ||
                     Environment("QT_QPA_PLATFORM").starts_with("wayland");
  if (!asked) {
    return false;
  }
  if (!HasPlugin(plugin_folders, "libqwayland-generic.so") &&
      !HasPlugin(plugin_folders, "libqwayland-egl.so")) {
    *reason = Fill(kNoQtPlugin, {"Wayland"});
    return false;
  }
  const std::string socket = WaylandSocket();
  std::string error;
  switch (ProbeWaylandCompositor(socket, &error)) {
    case Probe::kAnswers:
      return true;
    case Probe::kRefused:
      *reason = Fill(kWaylandRefused, {socket, error});
      return false;
    case Probe::kSilent:
      *reason = Fill(kWaylandSilent, {socket});
      return false;
  }
  return false;
}

}  // namespace

bool ChooseQtPlatform(const std::vector<std::string>& plugin_folders, std::string* platform,
                      std::string* error) {
  std::string reasons;
  for (const std::string& candidate : PlatformOrder()) {
    std::string reason;
    const bool usable = candidate == "xcb" ? XUsable(plugin_folders, &reason)
                                           : WaylandUsable(plugin_folders, &reason);
    if (usable) {
      *platform = candidate;
      return true;
    }
    if (!reason.empty()) {
      reasons += (reasons.empty() ? "" : std::string(kReasonsJoined)) + reason;
    }
  }
  *error = reasons.empty() ? std::string(kNoDisplay) : reasons;
  return false;
}

}  // namespace opjoin

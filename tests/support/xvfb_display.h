#pragma once
// A virtual X server (Xvfb) for the tests of window capture: started on a free display number
// (Xvfb reports it through -displayfd), made the process's DISPLAY, stopped at the end. When no
// Xvfb can start, Available() is false and the tests skip with Reason().

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

class XvfbDisplay {
 public:
  XvfbDisplay() {
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
      reason_ = "no pipe for Xvfb";
      return;
    }
    fcntl(pipe_ends[1], F_SETFD, 0);  // the write end goes to Xvfb
    std::string fd = std::to_string(pipe_ends[1]);
    const char* arguments[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24",
                               "-nolisten", "tcp", "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (spawned != 0) {
      close(pipe_ends[0]);
      pid_ = -1;
      reason_ = "Xvfb is not installed (Debian package xvfb)";
      return;
    }
    std::string number = ReadDisplayNumber(pipe_ends[0]);
    close(pipe_ends[0]);
    if (number.empty()) {
      reason_ = "Xvfb did not start within 10 seconds";
      Stop();
      return;
    }
    const char* previous = std::getenv("DISPLAY");
    previous_display_ = previous == nullptr ? "" : previous;
    had_display_ = previous != nullptr;
    setenv("DISPLAY", (":" + number).c_str(), 1);
  }
  ~XvfbDisplay() {
    Stop();
    if (had_display_) {
      setenv("DISPLAY", previous_display_.c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  bool Available() const { return pid_ > 0; }
  const std::string& Reason() const { return reason_; }

 private:
  // The display number Xvfb writes (followed by a line end) once it accepts clients.
  static std::string ReadDisplayNumber(int fd) {
    std::string number;
    for (int waited = 0; waited < 100; ++waited) {
      pollfd ready{fd, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      char c = 0;
      if (read(fd, &c, 1) != 1) return {};
      if (c == '\n') return number;
      number += c;
    }
    return {};
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  pid_t pid_ = -1;
  std::string reason_;
  std::string previous_display_;
  bool had_display_ = false;
};

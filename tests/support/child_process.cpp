#include "support/child_process.h"

#include <poll.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <fstream>
#include <stdexcept>

namespace velorin::testing {

ChildProcess::ChildProcess(std::function<int()> body) {
  fflush(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int result = 99;
    try {
      result = body();
    } catch (const std::exception& e) {
      fprintf(stderr, "child: %s\n", e.what());
    } catch (...) {
    }
    fflush(nullptr);
    _exit(result);
  }
}

ChildProcess::~ChildProcess() {
  if (status_ < 0 && pid_ > 0) Wait();
}

int ChildProcess::Wait() {
  if (status_ >= 0) return status_;
  int raw = 0;
  while (waitpid(pid_, &raw, 0) < 0) {
  }
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return status_;
}

Signal::Signal() {
  if (pipe(fds_) != 0) throw std::runtime_error("pipe failed");
}

Signal::~Signal() {
  close(fds_[0]);
  close(fds_[1]);
}

void Signal::Notify() {
  char byte = 1;
  if (write(fds_[1], &byte, 1) != 1) throw std::runtime_error("signal write failed");
}

bool Signal::WaitFor(int timeoutMs) {
  pollfd p{fds_[0], POLLIN, 0};
  if (poll(&p, 1, timeoutMs) != 1) return false;
  char byte;
  return read(fds_[0], &byte, 1) == 1;
}

int RunCommand(const std::string& command, std::string* out, const std::string& input) {
  std::string full = command;
  std::string inputFile;
  if (!input.empty()) {
    char name[] = "/tmp/velorin-input-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    inputFile = name;
    std::ofstream(inputFile, std::ios::binary) << input;
    full = "(" + command + ") < '" + inputFile + "'";
  }
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen failed");
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int raw = pclose(pipe);
  if (!inputFile.empty()) std::remove(inputFile.c_str());
  if (out) *out = text;
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

}  // namespace velorin::testing

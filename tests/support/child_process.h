// child_process.h — run a piece of a test in a forked child process, so that
// locks, share modes and concurrent writers are exercised between real processes.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace velorin::testing {

// Forks; the child runs body and exits with its result (an exception gives 99).
// The child never returns into the test framework.
class ChildProcess {
 public:
  explicit ChildProcess(std::function<int()> body);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits for the child and returns its exit status (128 + signal when killed).
  int Wait();

 private:
  int pid_ = -1;
  int status_ = -1;
};

// A one-way signal between processes through a pipe: the child waits until the
// parent says go, or the parent waits until the child says ready.
class Signal {
 public:
  Signal();
  ~Signal();
  void Notify();  // writes one byte
  bool WaitFor(int timeoutMs = 10000);  // true when a byte arrived in time

 private:
  int fds_[2] = {-1, -1};
};

// Runs a command line through /bin/sh; returns exit status, stdout in *out.
int RunCommand(const std::string& command, std::string* out = nullptr, const std::string& input = "");

}  // namespace velorin::testing

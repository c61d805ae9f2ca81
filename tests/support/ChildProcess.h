#pragma once
// A program a test starts itself (an X server, an audio server, the player):
// its output goes to a file, it runs in its own process group and it is
// always ended, by the test or by the destructor.
#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace vltest {

class ChildProcess {
 public:
  // Starts `argv` (argv[0] looked up in PATH) with `env` added to this
  // process's environment; stdout and stderr go to `outPath`.
  ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& outPath);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // Waits until it exits or `limit` has passed; its exit status, or -1 when
  // it was still running (it is then killed) or died of a signal.
  int Wait(std::chrono::milliseconds limit);
  // Asks it to end (SIGTERM), then kills it after a second.
  void Stop();
  bool Running();

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// True when `program` is found in PATH.
bool HaveProgram(const std::string& program);

}  // namespace vltest

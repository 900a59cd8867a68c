// A program started by a test, with pipes to its standard input and output.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrel::testing {

class ChildProcess {
 public:
  // Starts PROGRAM with ARGS in directory DIR (empty: this one), with the
  // extra environment entries ENV ("NAME=value"). Standard error is merged
  // into standard output.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& dir = "", const std::vector<std::string>& env = {});
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  void writeInput(const std::string& text);
  void closeInput();
  void signal(int number);
  // Waits up to TIMEOUT_MS for the exit; the exit status, 128 + signal, or
  // -1 on time-out.
  int wait(int timeoutMs = 10000);
  // Everything the child printed so far (reads what is available).
  const std::string& output();

 private:
  void drain(int timeoutMs);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int status_ = -1;
  std::string printed_;
};

}  // namespace kestrel::testing

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

// A program run to its end with standard input empty: its exit status
// (128 + signal; -1 when it did not end within TIMEOUT_MS and was killed)
// and what it wrote to standard output and standard error, kept apart.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      int timeoutMs = 10000);

// What is wrong with how PROGRAM answers the options every program knows:
// --help prints text holding USAGE on standard output and nothing on
// standard error, status 0; --version prints the one line "NAME VERSION"
// (the project's version), status 0; an unknown option prints nothing on
// standard output and USAGE on standard error, status 2. "" when all is well.
std::string standardOptionProblems(const std::string& program, const std::string& name,
                                   const std::string& usage);

}  // namespace kestrel::testing

#include "testing/child_process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrel::testing {
namespace {

// In a forked child: becomes PROGRAM with ARGS, or exits with 127.
[[noreturn]] void execProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

std::string readFromStart(int fd) {
  std::string text;
  ::lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

int waitForExit(pid_t pid, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int raw = 0;
    if (::waitpid(pid, &raw, WNOHANG) == pid) {
      return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& dir, const std::vector<std::string>& env) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(126);
    for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
    execProgram(program, args);
  }
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
  ::fcntl(output_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && status_ < 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  closeInput();
  if (output_ >= 0) ::close(output_);
}

void ChildProcess::writeInput(const std::string& text) {
  size_t done = 0;
  while (input_ >= 0 && done < text.size()) {
    ssize_t n = ::write(input_, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void ChildProcess::closeInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

void ChildProcess::signal(int number) {
  if (pid_ > 0 && status_ < 0) ::kill(pid_, number);
}

void ChildProcess::drain(int timeoutMs) {
  pollfd p{output_, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(output_, buffer, sizeof buffer)) > 0) printed_.append(buffer, n);
}

const std::string& ChildProcess::output() {
  if (output_ >= 0) drain(0);
  return printed_;
}

int ChildProcess::wait(int timeoutMs) {
  if (status_ >= 0) return status_;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int raw = 0;
    if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      drain(0);
      return status_;
    }
    drain(5);
  }
  return -1;
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      int timeoutMs) {
  // Memory files rather than pipes: a chatty program cannot block on a
  // full pipe while nobody reads it.
  const int out = ::memfd_create("stdout", MFD_CLOEXEC);
  const int err = ::memfd_create("stderr", MFD_CLOEXEC);
  ProgramRun run;
  const pid_t pid = out < 0 || err < 0 ? -1 : ::fork();
  if (pid == 0) {
    const int none = ::open("/dev/null", O_RDONLY);
    ::dup2(none, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    execProgram(program, args);
  }
  if (pid > 0) {
    run.status = waitForExit(pid, timeoutMs);
    run.out = readFromStart(out);
    run.err = readFromStart(err);
  }
  if (out >= 0) ::close(out);
  if (err >= 0) ::close(err);
  return run;
}

std::string standardOptionProblems(const std::string& program, const std::string& name,
                                   const std::string& usage) {
  std::string problems;
  auto expect = [&](bool good, const std::string& what, const ProgramRun& run) {
    if (!good) {
      problems += what + " (status " + std::to_string(run.status) + ", out '" + run.out +
                  "', err '" + run.err + "')\n";
    }
  };
  const ProgramRun help = runProgram(program, {"--help"});
  expect(help.status == 0 && help.out.find(usage) != std::string::npos && help.err.empty(),
         "--help", help);
  const ProgramRun version = runProgram(program, {"--version"});
  expect(version.status == 0 && version.out == name + " " + KESTREL_VERSION + "\n" &&
             version.err.empty(),
         "--version", version);
  const ProgramRun unknown = runProgram(program, {"--no-such-option"});
  expect(unknown.status == 2 && unknown.out.empty() &&
             unknown.err.find(usage) != std::string::npos,
         "--no-such-option", unknown);
  return problems;
}

}  // namespace kestrel::testing

#include "run_binary.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qorla_test {

namespace {

// Reads both pipes to their ends (standard output only up to out_limit
// bytes when that is not 0), then closes them.
void read_both(int out_fd, int err_fd, std::size_t out_limit, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_count = 2;
  char chunk[65536];
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      std::string& text = i == 0 ? out : err;
      const std::size_t room = i == 0 && out_limit > 0 ? out_limit - text.size() : sizeof chunk;
      const ssize_t n = ::read(fds[i].fd, chunk, std::min(room, sizeof chunk));
      if (n > 0) text.append(chunk, static_cast<std::size_t>(n));
      const bool full = i == 0 && out_limit > 0 && text.size() >= out_limit;
      if (full || n == 0 || (n < 0 && errno != EINTR)) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

}  // namespace

RunResult run_program(const std::vector<std::string>& args, const RunOptions& options) {
  int out_pipe[2], err_pipe[2];
  if (args.empty() || ::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) std::abort();
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    const std::string in_path = options.stdin_path.empty() ? "/dev/null" : options.stdin_path;
    const int in = ::open(in_path.c_str(), O_RDONLY);
    if (in < 0) ::_exit(126);
    if (in != 0) {
      ::dup2(in, 0);
      ::close(in);
    }
    if (options.close_stdout) {
      ::close(1);
    } else if (!options.stdout_path.empty()) {
      const int fd = ::open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) ::_exit(126);
      if (fd != 1) {
        ::dup2(fd, 1);
        ::close(fd);
      }
    } else {
      ::dup2(out_pipe[1], 1);
    }
    ::dup2(err_pipe[1], 2);
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    ::close(err_pipe[0]);
    ::close(err_pipe[1]);
    if (!options.dir.empty() && ::chdir(options.dir.c_str()) != 0) ::_exit(126);
    if (options.address_space_limit > 0) {
      const rlimit limit{static_cast<rlim_t>(options.address_space_limit),
                         static_cast<rlim_t>(options.address_space_limit)};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  RunResult result;
  read_both(out_pipe[0], err_pipe[0], options.stdout_read_limit, result.out, result.err);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

RunResult run_qorla(const std::vector<std::string>& args, const RunOptions& options) {
  std::vector<std::string> argv{QORLA_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_program(argv, options);
}

TempDir::TempDir() {
  char pattern[] = "/tmp/qorla-test-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (made == nullptr) std::abort();
  path = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  const std::string full = path + "/" + name;
  FILE* f = std::fopen(full.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return full;
}

}  // namespace qorla_test

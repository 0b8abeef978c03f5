#include "run_binary.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qorla_test {

namespace {

void read_both(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_count = (out_fd >= 0) + (err_fd >= 0);
  if (out_fd < 0) fds[0].fd = -1;
  char chunk[65536];
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) {
        (i == 0 ? out : err).append(chunk, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

}  // namespace

RunResult run_qorla(const std::vector<std::string>& args, const RunOptions& options) {
  int out_pipe[2], err_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) std::abort();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(QORLA_BINARY));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    if (options.close_stdout) {
      ::close(1);
    } else if (!options.stdout_path.empty()) {
      const int fd = ::open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 1);
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
    ::execv(QORLA_BINARY, argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  RunResult result;
  read_both(out_pipe[0], err_pipe[0], result.out, result.err);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
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

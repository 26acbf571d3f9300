#include "support/jack_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "audio/backends/jack/jack_driver.h"

extern char** environ;

namespace orvelan::audio::testing {

namespace {

// JACK keeps a machine-wide table of at most eight servers and frees the
// slot of a dead one only when a server of the same name registers again.
// Tests therefore take their names from a small fixed pool: a server killed
// by a test (or a crashed run) leaves a slot that the next server of that
// name reclaims. Tests running side by side claim a name with a lock file,
// held until the server is gone (the kernel drops it if the test dies).
constexpr int kServerNames = 6;

int claimName(const std::string& name) {
  const std::string path = "/tmp/" + name + ".lock";
  const int fd = open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  close(fd);
  return -1;
}

}  // namespace

JackServer::JackServer(int rate, int period) : rate_(rate), period_(period) {
  // More tests may run side by side than there are names: wait for one to
  // come free rather than skip, unless jackd cannot be run at all.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!started_ && !cannotRun_ && std::chrono::steady_clock::now() < deadline) {
    for (int n = 0; n < kServerNames && !started_ && !cannotRun_; ++n) {
      const std::string name = "orvelan_test_" + std::to_string(n);
      nameLock_ = claimName(name);
      if (nameLock_ < 0) continue;
      // A server left running by a test that died keeps its name busy.
      if (!JackAudioDriver::serverRunning(name)) {
        name_ = name;
        start(rate, period);
      }
      if (!started_) releaseName();
    }
    if (!started_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void JackServer::releaseName() {
  if (nameLock_ >= 0) close(nameLock_);
  nameLock_ = -1;
}

void JackServer::start(int rate, int period) {
  const std::string rateArg = std::to_string(rate), periodArg = std::to_string(period);
  const std::string timeoutArg = std::to_string(kClientTimeoutMs);
  std::vector<const char*> argv = {"jackd", "--no-realtime", "-t", timeoutArg.c_str(), "-n", name_.c_str(), "-d", "dummy",
                                   "-r", rateArg.c_str(), "-p", periodArg.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawnp(&pid_, "jackd", &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    cannotRun_ = true;
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {  // jackd gave up (the name may have been taken meanwhile)
      pid_ = -1;
      return;
    }
    if (JackAudioDriver::serverRunning(name_)) {
      started_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill();
}

void JackServer::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool JackServer::restart() {
  kill();
  started_ = false;
  if (name_.empty() || cannotRun_) return false;
  start(rate_, period_);
  return started_;
}

JackServer::~JackServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  releaseName();
}

}  // namespace orvelan::audio::testing

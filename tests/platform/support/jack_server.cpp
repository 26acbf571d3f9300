#include "jack_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/jack_driver.h"

extern char** environ;

namespace orvelan::audio::testing {

JackServer::JackServer(int rate, int period) {
  static std::atomic<int> serial{0};
  name_ = "orvelan_test_" + std::to_string(getpid()) + "_" + std::to_string(serial++);
  const std::string rateArg = std::to_string(rate), periodArg = std::to_string(period);
  std::vector<const char*> argv = {"jackd", "--no-realtime", "-n", name_.c_str(), "-d", "dummy",
                                   "-r", rateArg.c_str(), "-p", periodArg.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawnp(&pid_, "jackd", &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {  // jackd gave up
      pid_ = -1;
      return;
    }
    if (JackAudioDriver::serverRunning(name_)) {
      started_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void JackServer::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

JackServer::~JackServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

}  // namespace orvelan::audio::testing

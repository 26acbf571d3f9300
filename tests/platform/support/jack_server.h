// Starts a private JACK server for a test ("jackd --no-realtime -d dummy"
// under a server name of its own, so no other server on the machine is
// touched) and stops it again. started() is false when jackd is missing or
// did not come up within a minute; tests then skip.
#pragma once

#include <sys/types.h>

#include <string>

namespace orvelan::audio::testing {

class JackServer {
 public:
  // How long the server waits for a late client before it counts an xrun
  // and goes on without it. Longer than jackd's default, so a client on a
  // busy test machine is not dropped while it activates.
  static constexpr int kClientTimeoutMs = 1000;

  JackServer(int rate, int period);
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  bool started() const { return started_; }
  const std::string& name() const { return name_; }
  // A client name of this server's own: JACK keys a client's socket on its
  // name alone, so tests running side by side on other servers must not
  // open clients of the same name.
  std::string clientName() const { return name_ + "_client"; }
  // Ends the server at once (SIGKILL), as a crash would.
  void kill();
  // Starts the server again under the same name, rate and period (after
  // kill(), as a user would); true when it came up.
  bool restart();

 private:
  void start(int rate, int period);
  void releaseName();

  std::string name_;
  int rate_ = 0, period_ = 0;
  int nameLock_ = -1;
  pid_t pid_ = -1;
  bool started_ = false;
  bool cannotRun_ = false;  // jackd is missing
};

}  // namespace orvelan::audio::testing

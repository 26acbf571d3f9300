// A stand-in for the device host in driver tests: its callbacks record what
// the driver did (how often, on which thread, which halves, rates and
// messages) and can run a test's own code inside the buffer switch. The
// driver callbacks are plain functions, so the recorder is one global
// object; reset() it at the start of every test.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "audio/audio_driver.h"

namespace orvelan::audio::testing {

struct RecordingHost {
  std::atomic<std::int64_t> switches{0};
  std::atomic<std::int64_t> timeInfoSwitches{0};
  std::atomic<int> inside{0};        // switches running right now
  std::atomic<int> mostInside{0};    // the most that ever ran at once
  std::atomic<long> lastIndex{-1};
  std::atomic<bool> halvesAlternate{true};
  std::atomic<std::int64_t> resetRequests{0};
  std::atomic<double> changedRate{0.0};
  std::atomic<bool> answersTimeInfo{true};
  // Whether the host follows kBufferSizeChange (answers 1), and the sizes it was told.
  std::atomic<bool> followsBufferSize{false};
  std::atomic<std::int64_t> bufferSizeChanges{0};
  std::atomic<long> lastBufferSize{0};
  std::atomic<std::int64_t> lastSamplePosition{-1};
  // Callbacks that ran where the calling thread could be cancelled at any
  // instruction (an asynchronous cancel type).
  std::atomic<int> callsWithAsyncCancel{0};

  // Threads that made any callback (kept under a mutex: tests only).
  std::mutex threadsMutex;
  std::set<std::thread::id> threads;

  // Runs inside every buffer switch, after the bookkeeping; set it before
  // the stream starts.
  std::function<void(long index)> onSwitch;

  void reset();
  void clearThreads();
  std::size_t threadCount();
  bool calledOn(std::thread::id thread);
  void noteThread();
};

RecordingHost& host();

// Polls pred every millisecond until it holds (true) or 10 s have passed.
template <typename Pred>
bool waitUntil(Pred pred) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The callback record pointing at the recorder; withTimeInfo also fills the
// fourth entry.
DriverCallbacks recordingCallbacks(bool withTimeInfo = false);

}  // namespace orvelan::audio::testing

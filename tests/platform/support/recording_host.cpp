#include "support/recording_host.h"

#include <pthread.h>

namespace orvelan::audio::testing {

namespace {

void record(long index, const TimeInfo* time) {
  RecordingHost& h = host();
  h.noteThread();
  const int now = h.inside.fetch_add(1) + 1;
  for (int most = h.mostInside.load(); now > most && !h.mostInside.compare_exchange_weak(most, now);) {
  }
  const long previous = h.lastIndex.exchange(index);
  if (previous != -1 && previous == index && now == 1) h.halvesAlternate.store(false);
  if (time) h.lastSamplePosition.store(time->samplePosition);
  h.switches.fetch_add(1);
  if (h.onSwitch) h.onSwitch(index);
  h.inside.fetch_sub(1);
}

void bufferSwitch(long index, long) { record(index, nullptr); }

TimeInfo* bufferSwitchTimeInfo(TimeInfo* time, long index, long) {
  host().timeInfoSwitches.fetch_add(1);
  record(index, time);
  return nullptr;
}

void sampleRateDidChange(double rate) {
  host().noteThread();
  host().changedRate.store(rate);
}

long message(long selector, long value, void*, double*) {
  host().noteThread();
  switch (selector) {
    case kResetRequest:
      host().resetRequests.fetch_add(1);
      return 1;
    case kSupportsTimeInfo:
      return host().answersTimeInfo.load() ? 1 : 0;
    case kSelectorSupported:
      return value == kBufferSizeChange && host().followsBufferSize.load() ? 1 : 0;
    case kBufferSizeChange:
      if (!host().followsBufferSize.load()) return 0;
      host().bufferSizeChanges.fetch_add(1);
      host().lastBufferSize.store(value);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

void RecordingHost::reset() {
  switches = 0;
  timeInfoSwitches = 0;
  inside = 0;
  mostInside = 0;
  lastIndex = -1;
  halvesAlternate = true;
  resetRequests = 0;
  callsWithAsyncCancel = 0;
  changedRate = 0.0;
  answersTimeInfo = true;
  followsBufferSize = false;
  bufferSizeChanges = 0;
  lastBufferSize = 0;
  lastSamplePosition = -1;
  std::lock_guard lock(threadsMutex);
  threads.clear();
  onSwitch = nullptr;
}

void RecordingHost::clearThreads() {
  std::lock_guard lock(threadsMutex);
  threads.clear();
}

std::size_t RecordingHost::threadCount() {
  std::lock_guard lock(threadsMutex);
  return threads.size();
}

bool RecordingHost::calledOn(std::thread::id thread) {
  std::lock_guard lock(threadsMutex);
  return threads.count(thread) > 0;
}

void RecordingHost::noteThread() {
  int type = PTHREAD_CANCEL_DEFERRED;
  pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, &type);
  pthread_setcanceltype(type, nullptr);
  if (type != PTHREAD_CANCEL_DEFERRED) callsWithAsyncCancel.fetch_add(1);
  std::lock_guard lock(threadsMutex);
  threads.insert(std::this_thread::get_id());
}

RecordingHost& host() {
  static RecordingHost instance;
  return instance;
}

DriverCallbacks recordingCallbacks(bool withTimeInfo) {
  DriverCallbacks callbacks;
  callbacks.bufferSwitch = bufferSwitch;
  callbacks.sampleRateDidChange = sampleRateDidChange;
  callbacks.message = message;
  if (withTimeInfo) callbacks.bufferSwitchTimeInfo = bufferSwitchTimeInfo;
  return callbacks;
}

}  // namespace orvelan::audio::testing

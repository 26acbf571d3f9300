// The device host's module state, shared by its parts: the control side
// (asio_host.cpp, host_buffers.cpp) and the buffer switch on the driver's
// thread (buffer_switch.cpp). The switch reads it without locks; the control
// side changes buffers, channels, block sizes and the processor only while
// the stream is stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "asio/asio_host.h"
#include "asio/driver_info.h"
#include "asio/driver_list.h"
#include "asio/processor_library.h"
#include "dsp.h"
#include "framework/audio_buffer.h"

namespace orvelan::io {

// Where the reblocking switch stands between driver halves.
struct ReblockState {
  int inLeft = 0;      // samples of the current input half not yet taken
  int inPos = 0;       // read position in that half
  int outPending = 0;  // processed samples not yet delivered
  int outPos = 0;      // write position in the current output half
  int fill = 0;        // samples collected in the device-rate input block
  int readPos = 0;     // read position in the processed device-rate output block
};

// One active channel's side of the driver: its halves and sample type.
struct DriverChannel {
  void* halves[2] = {nullptr, nullptr};
  audio::SampleType type = audio::SampleType::Int32LSB;
};

struct HostState {
  audio::DriverCallbacks callbacks;
  std::vector<int> inputList{0, 1};
  std::vector<int> outputList{0, 1};
  int blockFrames = 0;        // the processor's block
  int deviceBlockFrames = 0;  // the same block at the device rate
  // The driver's buffer size. Atomic: a driver whose period changes while
  // streaming has the switch follow it on the driver's thread.
  std::atomic<int> asioBufferFrames{0};
  double deviceRate = 0.0;
  double appRate = 0.0;
  int appFactor = 1;     // device rate = app rate x deviceFactor / appFactor
  int deviceFactor = 1;
  int resampleSteps = 0;  // blockFrames / appFactor
  int tapsIndex = -1;     // resampler taps row, -1 without resampling
  int startOffset = 0;    // initial fill of the reblocking input block
  int processorMode = kProcessorNone;

  AsioDriverInfo driverInfo;
  std::vector<audio::BufferInfo> bufferInfos;    // inputs, then outputs
  std::vector<audio::ChannelInfo> channelInfos;  // same order
  std::vector<DriverChannel> inputs, outputs;

  // Device-rate floats (deviceBlockFrames per channel) and the block floats
  // (blockFrames per channel) the processor reads and writes.
  std::unique_ptr<vxAudioBuffer> deviceIn, deviceOut, blockIn, blockOut;
  std::vector<DspsFIRState_32f*> inputResamplers, outputResamplers;

  std::atomic<int> busy{-1};  // re-entry guard of the switch
  std::atomic<std::int64_t> droppedSwitches{0};
  ReblockState reblock;
  audio::TimeInfo switchTime;

  bool outputReadySupported = false;
  bool running = false;
  bool loaded = false;
  bool buffersCreated = false;
  std::atomic<int> status{kAsioStatusNone};

  AsioProcessorFunction function = nullptr;
  vxAudioClass* object = nullptr;
  vxAudioClass* pendingObject = nullptr;
  ProcessorLibrary library;

  audio::AudioDriver* driver = nullptr;
  // The listed name of the driver in use, kept while a reopen that failed
  // (its server or device gone) waits for the next start to try again, and
  // whether that reopen is to make buffers again.
  std::string openName;
  bool reopenBuffers = false;
  // What the driver said when it last refused to open; empty otherwise.
  std::string driverError;
  std::unique_ptr<audio::DriverCatalog> catalog;
  std::unique_ptr<AsioDriverList> driverList;
  char driverNames[kMaxListedDriverNames][audio::kDriverNameSize] = {};
};

HostState& hostState();

// Sets the block and everything that follows from it (device block,
// resampling steps, reblocking start offset). frames must be divisible by
// appFactor.
void setBlock(HostState& host, int frames);
// The reblocking path starts with its input block one sample short of full,
// so every driver half, from the first on, is delivered whole.
int reblockStartOffset(const HostState& host);

// The driver's callbacks (buffer_switch.cpp): the direct path when the
// driver's buffer equals the device-rate block, else the reblocking path,
// chosen anew at every half (the driver's size may change while streaming).
void bufferSwitch(long index, long processNow);
audio::TimeInfo* bufferSwitchTimeInfo(audio::TimeInfo* time, long index, long processNow);
// Positions of the reblocking path at a start.
void resetReblocking(HostState& host);
// The driver's buffer is now `frames` long (a message on the driver's
// thread, between two switches): the switch reblocks to the unchanged
// processing block from the next half on. False when there are no buffers
// or a switch is running.
bool followDriverBufferSize(HostState& host, long frames);

}  // namespace orvelan::io

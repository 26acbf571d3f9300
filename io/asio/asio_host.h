// The device host: one process-wide module (free functions over module
// state) that hosts one audio driver at a time. It keeps the driver list,
// opens and closes a driver, chooses the active channels, sets the sample
// rate (natively, or by running the device at 48000 or 44100 Hz and
// resampling by small integer factors), sets the processing block size,
// creates the driver's buffer halves and its own float buffers, starts and
// stops streaming, and hands every processing block to one processor.
//
// Every operation runs on one control thread (the GUI thread); only the
// driver callbacks run on the driver's thread. Anything that changes
// buffers is refused while streaming (kAsioRunning).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/driver_catalog.h"

class vxAudioClass;

namespace orvelan::io {

// Results of the host's operations (0 success; the driver's own codes
// otherwise, and kAsioNotPresent = -1000 for a driver that is missing,
// refused init or cannot say a channel's type).
inline constexpr int kAsioNoDriverByName = -1;
inline constexpr int kAsioChannelList = -2;
inline constexpr int kAsioBlockSize = -3;
inline constexpr int kAsioProcessorMode = -4;
inline constexpr int kAsioProcessorMissing = -5;  // library or object missing
inline constexpr int kAsioRateImpossible = -7;
inline constexpr int kAsioRunning = -8;
inline constexpr int kAsioFactoryExport = -9;

// The last event the driver or the processor reported.
enum AsioStatus : int {
  kAsioStatusNone = 0,
  kAsioStatusResetRequest = 1,     // the driver asked to be reopened
  kAsioStatusRateChanged = 2,      // the driver's sample rate changed
  kAsioStatusProcessorError = 3,   // a processing block failed
};

enum AsioProcessorMode : int {
  // None chosen yet (or cleared): the outputs carry silence. Until a
  // processor is chosen nothing of the inputs reaches the outputs, so raw
  // capsules never go out where beams are expected.
  kProcessorNone = -1,
  kProcessorPassThrough = 0,  // inputs copied to outputs
  kProcessorLibraryObject = 1,  // the object a library's vxAPIobject() returns
  kProcessorLibraryFunction = 2,  // a function exported by a library
  kProcessorObject = 3,       // the object given by asioSetProcessorObject
};

// What a processor library exports for mode 1, and the shape of a mode-2
// (and pass-through) processor function: 0 for success.
inline constexpr const char* kProcessorFactoryExport = "vxAPIobject";
using AsioProcessorFactory = vxAudioClass* (*)();
using AsioProcessorFunction = int (*)(float** in, float** out, int frames);

inline constexpr int kMaxListedDriverNames = 10;

// The catalog the next asioInitEngine lists drivers from; without one it
// uses audio::defaultCatalog().
void asioUseCatalog(std::unique_ptr<audio::DriverCatalog> catalog);

// Starts the kernel library, builds the driver list (no driver loaded),
// sets the initial values (2 inputs, 2 outputs, pass-through, factors 1/1)
// and creates the host's formats and buffers. Closes a driver left open.
void asioInitEngine();
// Closes the driver and lets go of the driver list and the processor library.
void asioExitEngine();

int asioDriverCount();
// The listed name of driver i (i below the count and below 10), else null.
const char* asioDriverName(int i);
// The listed name of the driver in use, or null. A driver whose reopen
// failed (its server gone) stays current: the next asioStart tries again.
const char* asioCurrentDriver();
// Why the driver last refused to open ("No JACK server is running", ...);
// empty after a successful open.
const char* asioDriverError();
// The driver that is loaded, or null (for drivers' own extras in tests and tools).
audio::AudioDriver* asioDriver();

int asioOpenDriver(const char* name);
int asioCloseDriver();

int asioNumInputs();
int asioNumOutputs();
double asioGetSampleRate();
// 1 natively, 2 by resampling, 0 not possible.
int asioCanSampleRate(double rate);
int asioSetSampleRate(double rate);
int asioSetBufferSize(int frames);
int asioBufferSize();
// The driver's buffer size and the processing block at the device rate.
int asioDeviceBufferSize();
int asioDeviceBlockSize();
int asioSetInputChannels(const int* list, int count);
int asioSetOutputChannels(const int* list, int count);
int asioNumActiveInputs();
int asioNumActiveOutputs();

int asioCreateBuffers();
int asioDisposeBuffers();
// 1 started (or already running), 0 refused; or a non-zero reopen result.
// A reopen that fails stays pending, so every later start tries again.
int asioStart();
// 1 stopped, 0 refused.
int asioStop();
bool asioIsRunning();
bool asioBuffersReady();
// Zeroes the resampler histories, the float buffers and every driver half.
void asioClearBuffers();
// Reopens the current driver and restores its buffers.
int asioReset();

// The host starts with no processor (kProcessorNone); modes 0..3 choose one.
int asioSelectProcessor(int mode);
// Back to no processor, silence on the outputs (before the object of mode 3
// goes away, say); kAsioRunning while streaming.
int asioClearProcessor();
void asioSetProcessorObject(vxAudioClass* object);
// The library (and, for mode 2, the export) the library modes load; an
// empty path leaves those modes without a library.
void asioSetProcessorLibrary(const std::string& path, const std::string& functionExport = {});
// Copies min(active inputs, active outputs) channels of frames samples.
int asioPassThrough(float** in, float** out, int frames);

// The driver's other callbacks: a rate change sets kAsioStatusRateChanged;
// the message callback answers the driver's selectors (a reset request sets
// kAsioStatusResetRequest, so the next asioStart reopens the driver).
void asioSampleRateDidChange(double rate);
long asioMessage(long selector, long value, void* message, double* opt);

int asioStatus();
// Buffer switches dropped because another one was still running.
std::int64_t asioDroppedSwitches();
// The overruns (xruns) the loaded driver counted since it was opened; 0
// without a driver.
std::int64_t asioXruns();

}  // namespace orvelan::io

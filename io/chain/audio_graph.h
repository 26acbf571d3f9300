// The processing chain: the application's whole signal path as one block.
// Ten blocks in a fixed order take the capsule signals (live from the device
// or played from a file), meter and record them, form the beams, apply the
// output gains and the output high-pass, meter and record the beams, write
// them to the device outputs and optionally overwrite up to two device
// outputs with a monitor feed.
//
// Blocks hand signals on through shared channel pointers (vxAudioBuffer);
// the only copies of a cycle are the small offset that keeps denormals out
// of the filters, the copy to the device outputs and the monitor overwrite.
// Before the offset, a NaN or infinity among the capsule samples becomes 0,
// so one bad sample from a device or a file cannot stay in the filters.
//
// Threads: `process` runs on the device's callback thread, everything else
// on the control thread. Reconfiguration (setup, input and processing mode,
// beam count) is refused while running, so buffers never change under a
// cycle. What may change while running reaches the audio thread lock-free:
// gains (CVolumeControl), high-pass taps (CFilterStageBq's hand-over), and
// the monitor's switch, source and outputs, each published as one atomic
// word and read once per cycle.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "wavefile/audio_file.h"
#include "beamformer/runtime/beamformer_block.h"
#include "blocks/filter_stage_bq.h"
#include "blocks/max_value.h"
#include "blocks/volume_control.h"
#include "framework/audio_class.h"

namespace orvelan::io {

// Codes of the chain beyond the framework's.
inline constexpr int kChainNotFileInput = 100;      // openInputFile in live input mode
inline constexpr int kChainFileRateRefused = 101;  // the input file's rate is outside the accepted window

class CAudioGraph : public vxAudioClass {
public:
    // The blocks, in the order a cycle runs them.
    enum Block : int {
        kFileReader = 0,
        kInputVolume,
        kInputRecorder,
        kInputMeter,
        kBeamformer,
        kOutputVolume,
        kHighpass,
        kOutputMeter,
        kOutputRecorder,
        kMonitorVolume,
        kBlockCount
    };
    enum InputMode : int { kLiveInput = 0, kFileInput = 1 };
    enum ProcessingMode : int { kPassThrough = 0, kBeamforming = 1 };
    enum MonitorSource : int { kMonitorMainInput = 0, kMonitorMainOutput = 1 };

    static constexpr int kMaxInputs = 32;
    static constexpr int kMaxMonitorOutputs = 2;
    // Sample rates the chain accepts: 44100 Hz plus or minus 10 %.
    static constexpr int kMinSampleRate = 39690;
    static constexpr int kMaxSampleRate = 48510;
    // Added to every input sample so that silence never decays into
    // denormals in the filters downstream.
    static constexpr float kDenormalOffset = 1e-7f;

    CAudioGraph();
    ~CAudioGraph() override;

    // ---- Set-up (control thread; refused with vxErrRunning while running) --
    // Configures the ten blocks for the device's input and output formats
    // and builds their buffers and routing. vxErrFormat unless the input has
    // at most 32 channels, the output at least one, both are real time-domain
    // formats with the same frames per buffer, and both run at one rate in
    // the accepted window; vxErrAllocation when a buffer cannot be made;
    // else the first failing block's configure code or the high-pass set-up's.
    virtual vxResult setup(vxAudioInterface in, vxAudioInterface out);
    [[nodiscard]] vxResult setInputSource(int mode);
    [[nodiscard]] vxResult setProcessingMode(int mode);
    // Beams fed to the device outputs and recorded, clamped to 0..numOutputs;
    // the output recorder's configure result.
    [[nodiscard]] vxResult setNumBeams(int beams);
    // Opens the file the reader plays (file input mode only): the reader's
    // code, or kChainFileRateRefused for a rate outside the window.
    int openInputFile(const char* name);

    // ---- Monitor (any time) ----------------------------------------------
    // Device outputs carrying the monitor: at most two, each an output
    // channel of the chain; vxErrBadArgument otherwise (nothing changes).
    [[nodiscard]] vxResult setMonitorOutputs(const int* channels, int count);
    // The monitored channel: source 0 the main input, non-zero the main
    // output; the channel is clamped into the source.
    void setMonitorSource(int source, int channel);
    void setMonitorEnabled(bool enabled) { monitorEnabled_.store(enabled, std::memory_order_relaxed); }

    // ---- Gains and high-pass (any time) ------------------------------------
    void setInputGains(const float* gains, int n);
    static constexpr int numHighpassChoices() { return 4; }
    // The corner frequencies of the choices (0 for off), -1 beyond them.
    int highpassFrequencies(int* out, int n) const;
    // vxErrBadArgument for a choice outside 0..3; taken at the next block.
    [[nodiscard]] vxResult setHighpass(int choice);

    // Recorder r (0 capsules, 1 beams) as a block index; other values unchanged.
    static int recorderBlockIndex(int r);

    // ---- Block -----------------------------------------------------------
    // One cycle; the first failing block's code ends it.
    vxResult process(float** in, float** out, int frames) override;
    void reset() override;
    vxResult stop() override;
    vxResult start() override;

    // ---- State -------------------------------------------------------------
    int inputMode() const { return inputMode_; }
    int processingMode() const { return processingMode_; }
    int numInputs() const { return numInputs_; }
    int numOutputs() const { return numOutputs_; }
    int numBeams() const { return numBeams_; }
    bool monitorEnabled() const { return monitorEnabled_.load(std::memory_order_relaxed); }
    int monitorSource() const;
    int monitorChannel() const;
    int numMonitorOutputs() const;
    // Device output carrying monitor channel i (i below numMonitorOutputs).
    int monitorOutput(int i) const;

    // The blocks the owner drives directly.
    vxAudioClass& block(int index) { return *blocks_[static_cast<std::size_t>(index)]; }
    CAudioFile& fileReader() { return fileReader_; }
    CVolumeControl& inputVolume() { return inputVolume_; }
    CAudioFile& inputRecorder() { return inputRecorder_; }
    CRo32& beamformer() { return beamformer_; }
    CMaxValue& inputMeter() { return inputMeter_; }
    CVolumeControl& outputVolume() { return outputVolume_; }
    CFilterStageBq& highpass() { return highpass_; }
    CMaxValue& outputMeter() { return outputMeter_; }
    CAudioFile& outputRecorder() { return outputRecorder_; }
    CVolumeControl& monitorVolume() { return monitorVolume_; }
    CAudioFile& recorder(int r) { return r == 0 ? inputRecorder_ : outputRecorder_; }

private:
    struct BlockBuffers {
        std::unique_ptr<vxAudioBuffer> in;
        std::unique_ptr<vxAudioBuffer> out;
    };

    vxAudioInterface blockFormat(int block, bool output) const;
    vxResult configureBlocks();
    vxResult buildBuffers();
    void releaseBuffers();
    void routeInput();
    void routeOutput();
    void applyUnityGains();
    void enableBeams();
    vxResult resetHighpass();

    // Block k on the given inputs, into its own output buffer.
    vxResult run(int k, float** in, int frames);
    // The caller's live inputs, padded with silence up to numInputs.
    float** liveInputs(float** in);
    // NaNs and infinities among the main input's samples become 0.
    void zeroNonFiniteInputs(int frames);
    void writeDeviceOutputs(float** out, int frames);
    vxResult runMonitor(float** out, int frames);

    CAudioFile fileReader_;
    CVolumeControl inputVolume_;
    CAudioFile inputRecorder_;
    CMaxValue inputMeter_;
    CRo32 beamformer_;
    CVolumeControl outputVolume_;
    CFilterStageBq highpass_;
    CMaxValue outputMeter_;
    CAudioFile outputRecorder_;
    CVolumeControl monitorVolume_;
    std::array<vxAudioClass*, kBlockCount> blocks_{};

    std::array<BlockBuffers, kBlockCount> buffers_;
    std::unique_ptr<vxAudioBuffer> mainInput_;
    std::unique_ptr<vxAudioBuffer> mainOutput_;
    // Set-up succeeded as far as the buffers: a cycle may run.
    bool buffersReady_ = false;

    // Live input from a device with fewer inputs than capsules: the
    // missing capsules read one silent channel.
    vxKernelArray<float*> livePointers_;
    vxKernelArray<float> silence_;

    int inputMode_ = kFileInput;
    int processingMode_ = kBeamforming;
    int numInputs_ = kMaxInputs;
    int numBeams_ = 2;
    int numOutputs_ = 18;

    // Monitor settings, each one word so a cycle reads a consistent set:
    // the selection packs source and channel, the route packs the count of
    // monitor outputs and the two device outputs.
    std::atomic<std::uint32_t> monitorSelection_;
    std::atomic<std::uint32_t> monitorRoute_{0};
    std::atomic<bool> monitorEnabled_{false};
};

}  // namespace orvelan::io

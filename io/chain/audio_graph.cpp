#include "chain/audio_graph.h"

#include <algorithm>
#include <new>

#include "blocks/highpass_taps.h"
#include "dsp.h"
#include "framework/finite_samples.h"

namespace orvelan::io {

namespace {

// Monitor selection: the source in the high half, the channel in the low.
std::uint32_t packSelection(int source, int channel)
{
    return (static_cast<std::uint32_t>(source != 0) << 16) | static_cast<std::uint32_t>(channel);
}

// Monitor route: the count in the top bits, then the two device outputs.
constexpr int kRouteChannelBits = 15;
constexpr std::uint32_t kRouteChannelMask = (1u << kRouteChannelBits) - 1;

std::uint32_t packRoute(const int* channels, int count)
{
    std::uint32_t route = static_cast<std::uint32_t>(count) << (2 * kRouteChannelBits);
    for (int i = 0; i < count; ++i) route |= static_cast<std::uint32_t>(channels[i]) << (i * kRouteChannelBits);
    return route;
}

int routeCount(std::uint32_t route) { return static_cast<int>(route >> (2 * kRouteChannelBits)); }
int routeChannel(std::uint32_t route, int i) { return static_cast<int>((route >> (i * kRouteChannelBits)) & kRouteChannelMask); }

bool rateAccepted(float rate)
{
    const int whole = static_cast<int>(rate);
    return whole >= CAudioGraph::kMinSampleRate && whole <= CAudioGraph::kMaxSampleRate;
}

}  // namespace

CAudioGraph::CAudioGraph()
    : monitorSelection_(packSelection(kMonitorMainOutput, 0))
{
    blocks_ = {&fileReader_, &inputVolume_,    &inputRecorder_, &inputMeter_,     &beamformer_,
               &outputVolume_, &highpass_, &outputMeter_, &outputRecorder_, &monitorVolume_};
}

CAudioGraph::~CAudioGraph() = default;

// ---- Set-up ---------------------------------------------------------------

vxResult CAudioGraph::setup(vxAudioInterface in, vxAudioInterface out)
{
    if (isRunning()) return vxErrRunning;
    // Unequal frames would leave the pass-through routing and the block
    // buffers unable to share channels: every cycle would fail.
    const bool accepted = in.channels() <= kMaxInputs && in.channels() >= 0 && out.channels() > 0 &&
                          in.isTimeDomain() && out.isTimeDomain() && in.isReal() && out.isReal() &&
                          rateAccepted(in.sampleRate()) && in.sampleRate() == out.sampleRate() &&
                          in.framesPerBuffer() == out.framesPerBuffer() && in.framesPerBuffer() > 0;
    if (!accepted) return vxErrFormat;
    vxAudioClass::configure(in, out);

    releaseBuffers();
    const vxResult configured = configureBlocks();
    if (const vxResult built = buildBuffers(); built != vxOK) return built;
    routeInput();
    routeOutput();
    if (configured != vxOK) return configured;

    applyUnityGains();
    enableBeams();
    return resetHighpass();
}

// Beams beyond the count in use are switched off: they cost nothing.
void CAudioGraph::enableBeams()
{
    // Refused only for a beam the block does not have yet, before set-up has
    // configured it; set-up switches every beam again.
    for (int b = 0; b < numOutputs_; ++b) (void)beamformer_.setBeamEnabled(b, b < numBeams_);
}

vxAudioInterface CAudioGraph::blockFormat(int block, bool output) const
{
    struct Channels {
        int in, out;
    };
    const Channels channels[kBlockCount] = {
        {0, numInputs_},           {numInputs_, numInputs_}, {numInputs_, 0},          {numInputs_, 0},
        {numInputs_, numOutputs_}, {numOutputs_, numOutputs_}, {numOutputs_, numOutputs_}, {numOutputs_, 0},
        {numBeams_, 0},            {kMaxMonitorOutputs, kMaxMonitorOutputs}};
    // The capsule side takes the chain's input format, the beam side its output format.
    const bool beamSide = block > kBeamformer || (block == kBeamformer && output);
    vxAudioInterface format = beamSide ? outputFormat() : inputFormat();
    format.setChannels(output ? channels[block].out : channels[block].in);
    return format;
}

vxResult CAudioGraph::configureBlocks()
{
    for (int k = 0; k < kBlockCount; ++k)
        if (const vxResult r = block(k).configure(blockFormat(k, false), blockFormat(k, true)); r != vxOK) return r;
    return vxOK;
}

vxResult CAudioGraph::buildBuffers()
{
    for (int k = 0; k < kBlockCount; ++k) {
        BlockBuffers& b = buffers_[static_cast<std::size_t>(k)];
        b.in.reset(new (std::nothrow) vxAudioBuffer(blockFormat(k, false)));
        b.out.reset(new (std::nothrow) vxAudioBuffer(blockFormat(k, true)));
        if (!b.in || !b.out || !b.in->isValid() || !b.out->isValid() || b.out->allocateStorage() != vxOK)
            return vxErrAllocation;
    }
    mainInput_.reset(new (std::nothrow) vxAudioBuffer(blockFormat(kFileReader, true)));
    mainOutput_.reset(new (std::nothrow) vxAudioBuffer(blockFormat(kBeamformer, true)));
    const int frames = inputFormat().framesPerBuffer();
    if (!mainInput_ || !mainOutput_ || !mainInput_->isValid() || !mainOutput_->isValid() || !livePointers_.allocate(numInputs_) ||
        !silence_.allocate(frames))
        return vxErrAllocation;
    buffersReady_ = true;
    return vxOK;
}

void CAudioGraph::releaseBuffers()
{
    buffersReady_ = false;
    for (BlockBuffers& b : buffers_) b = {};
    mainInput_.reset();
    mainOutput_.reset();
}

void CAudioGraph::routeInput()
{
    if (!buffersReady_) return;
    if (inputMode_ == kLiveInput) {
        const vxAudioBuffer& volumeOut = *buffers_[kInputVolume].out;
        buffers_[kInputRecorder].in->shareChannels(volumeOut);
        mainInput_->shareChannels(volumeOut);
    } else {
        mainInput_->shareChannels(*buffers_[kFileReader].out);
    }
    // Pass-through borrows the main input's channels: borrow them anew.
    if (processingMode_ == kPassThrough) routeOutput();
}

void CAudioGraph::routeOutput()
{
    if (!buffersReady_) return;
    if (processingMode_ == kPassThrough) {
        mainOutput_->mapChannels(*mainInput_, numOutputs_, 0, 0);
        return;
    }
    buffers_[kOutputVolume].in->shareChannels(*buffers_[kBeamformer].out);
    buffers_[kHighpass].in->shareChannels(*buffers_[kOutputVolume].out);
    mainOutput_->shareChannels(*buffers_[kHighpass].out);
}

void CAudioGraph::applyUnityGains()
{
    for (CVolumeControl* volume : {&inputVolume_, &monitorVolume_, &outputVolume_}) {
        volume->setMasterVolume(1.0f);
        for (int c = 0; c < volume->channels(); ++c) volume->setChannelVolume(c, 1.0f);
    }
}

vxResult CAudioGraph::resetHighpass()
{
    vxKernelArray<int> sections;
    if (!sections.allocate(numOutputs_)) return vxErrAllocation;
    std::fill(sections.begin(), sections.end(), kHighpassSections);
    if (const int r = highpass_.setSections(sections.data(), numOutputs_); r != 0) return r;
    return setHighpass(0);
}

vxResult CAudioGraph::setInputSource(int mode)
{
    if (isRunning()) return vxErrRunning;
    if (mode == inputMode_) return vxOK;
    inputMode_ = mode;
    routeInput();
    return vxOK;
}

vxResult CAudioGraph::setProcessingMode(int mode)
{
    if (isRunning()) return vxErrRunning;
    if (mode == processingMode_) return vxOK;
    processingMode_ = mode;
    routeOutput();
    return vxOK;
}

vxResult CAudioGraph::setNumBeams(int beams)
{
    if (isRunning()) return vxErrRunning;
    numBeams_ = std::clamp(beams, 0, numOutputs_);
    beamformer_.reset();
    enableBeams();
    vxAudioInterface in = outputFormat();
    in.setChannels(numBeams_);
    vxAudioInterface none = outputFormat();
    none.setChannels(0);
    const vxResult configured = outputRecorder_.configure(in, none);
    if (buffersReady_) {
        std::unique_ptr<vxAudioBuffer> rebuilt(new (std::nothrow) vxAudioBuffer(in));
        if (rebuilt && rebuilt->isValid()) buffers_[kOutputRecorder].in = std::move(rebuilt);
    }
    return configured;
}

int CAudioGraph::openInputFile(const char* name)
{
    if (inputMode_ != kFileInput) return kChainNotFileInput;
    if (const int r = fileReader_.openFile(name, CAudioFile::kPlay); r != 0) return r;
    const int rate = fileReader_.sampleRate();
    return rate >= kMinSampleRate && rate <= kMaxSampleRate ? 0 : kChainFileRateRefused;
}

// ---- Monitor ----------------------------------------------------------------

vxResult CAudioGraph::setMonitorOutputs(const int* channels, int count)
{
    if (count < 0 || count > kMaxMonitorOutputs || (count > 0 && channels == nullptr)) return vxErrBadArgument;
    const int deviceOutputs = outputFormat().channels();
    for (int i = 0; i < count; ++i)
        if (channels[i] < 0 || channels[i] >= deviceOutputs) return vxErrBadArgument;
    monitorRoute_.store(packRoute(channels, count), std::memory_order_relaxed);
    return vxOK;
}

void CAudioGraph::setMonitorSource(int source, int channel)
{
    channel = std::max(channel, 0);
    if (source == kMonitorMainInput) channel = std::min(channel, numInputs_ - 1);
    else if (source == kMonitorMainOutput) channel = std::min(channel, numOutputs_ - 1);
    // Any other non-zero source monitors the main output too; its channel
    // is bounded when the cycle picks it.
    channel = std::min(channel, static_cast<int>(0xffff));
    monitorSelection_.store(packSelection(source, channel), std::memory_order_relaxed);
}

int CAudioGraph::monitorSource() const { return static_cast<int>(monitorSelection_.load(std::memory_order_relaxed) >> 16); }
int CAudioGraph::monitorChannel() const { return static_cast<int>(monitorSelection_.load(std::memory_order_relaxed) & 0xffff); }
int CAudioGraph::numMonitorOutputs() const { return routeCount(monitorRoute_.load(std::memory_order_relaxed)); }
int CAudioGraph::monitorOutput(int i) const { return routeChannel(monitorRoute_.load(std::memory_order_relaxed), i); }

// ---- Gains and high-pass ----------------------------------------------------

void CAudioGraph::setInputGains(const float* gains, int n)
{
    const int count = std::min(n, inputVolume_.channels());
    for (int c = 0; c < count; ++c) inputVolume_.setChannelVolume(c, gains[c]);
}

int CAudioGraph::highpassFrequencies(int* out, int n) const
{
    for (int i = 0; i < n; ++i) out[i] = i < kHighpassChoices ? kHighpassCornersHz[i] : -1;
    return 0;
}

vxResult CAudioGraph::setHighpass(int choice)
{
    if (static_cast<unsigned>(choice) >= static_cast<unsigned>(kHighpassChoices)) return vxErrBadArgument;
    // Every channel gets the new taps even when one refuses them, so one bad
    // channel does not hold the others on the old corner; the first refusal
    // is the answer.
    vxResult first = vxOK;
    for (int c = 0; c < numOutputs_; ++c)
        if (const vxResult r = highpass_.setTaps(c, kHighpassTaps[choice]); r != vxOK && first == vxOK) first = r;
    return first;
}

int CAudioGraph::recorderBlockIndex(int r)
{
    if (r == 0) return kInputRecorder;
    if (r == 1) return kOutputRecorder;
    return r;
}

// ---- The cycle --------------------------------------------------------------

vxResult CAudioGraph::run(int k, float** in, int frames)
{
    return block(k).process(in, buffers_[static_cast<std::size_t>(k)].out->channelArray(), frames);
}

float** CAudioGraph::liveInputs(float** in)
{
    const int deviceInputs = inputFormat().channels();
    if (deviceInputs >= numInputs_) return in;
    for (int c = 0; c < numInputs_; ++c) livePointers_[c] = c < deviceInputs ? in[c] : silence_.data();
    return livePointers_.data();
}

vxResult CAudioGraph::process(float** in, float** out, int frames)
{
    if (!buffersReady_) return vxErrNotConfigured;
    if (frames < 0 || frames > inputFormat().framesPerBuffer()) return vxErrFormat;

    // The capsule signals as they enter, live (after the input gains, which
    // only scale) or from the file, are the main input; a NaN or infinity
    // there is silenced before anything records or filters it.
    float** mainIn = mainInput_->channelArray();
    vxResult r;
    if (inputMode_ == kLiveInput) {
        r = run(kInputVolume, liveInputs(in), frames);
        zeroNonFiniteInputs(frames);
        if (r == vxOK) r = run(kInputRecorder, buffers_[kInputRecorder].in->channelArray(), frames);
    } else {
        r = run(kFileReader, buffers_[kFileReader].in->channelArray(), frames);
        zeroNonFiniteInputs(frames);
    }
    for (int c = 0; c < numInputs_; ++c) dspsAddC_32f_I(kDenormalOffset, mainIn[c], frames);
    if (r != vxOK) return r;

    if (processingMode_ == kBeamforming) {
        if ((r = run(kInputMeter, mainIn, frames)) != vxOK) return r;
        if ((r = run(kBeamformer, mainIn, frames)) != vxOK) return r;
        if ((r = run(kOutputVolume, buffers_[kOutputVolume].in->channelArray(), frames)) != vxOK) return r;
        if ((r = run(kHighpass, buffers_[kHighpass].in->channelArray(), frames)) != vxOK) return r;
    }
    float** mainOut = mainOutput_->channelArray();
    if ((r = run(kOutputMeter, mainOut, frames)) != vxOK) return r;
    if (processingMode_ != kPassThrough && (r = run(kOutputRecorder, mainOut, frames)) != vxOK) return r;

    writeDeviceOutputs(out, frames);
    return monitorEnabled() ? runMonitor(out, frames) : vxOK;
}

void CAudioGraph::zeroNonFiniteInputs(int frames)
{
    float** mainIn = mainInput_->channelArray();
    for (int c = 0; c < numInputs_; ++c) vxZeroNonFinite(mainIn[c], frames);
}

void CAudioGraph::writeDeviceOutputs(float** out, int frames)
{
    const int deviceOutputs = outputFormat().channels();
    const int copied = std::min(deviceOutputs, numBeams_);
    float** mainOut = mainOutput_->channelArray();
    for (int c = 0; c < copied; ++c) dspsCopy_32f(mainOut[c], out[c], frames);
    for (int c = copied; c < deviceOutputs; ++c) dspsZero_32f(out[c], frames);
}

// Both monitor inputs carry the monitored channel, whatever the number of
// monitor outputs, so the monitor block never meets a missing channel; only
// the monitor outputs that exist are written.
vxResult CAudioGraph::runMonitor(float** out, int frames)
{
    const std::uint32_t selection = monitorSelection_.load(std::memory_order_relaxed);
    const std::uint32_t route = monitorRoute_.load(std::memory_order_relaxed);
    const bool fromOutput = (selection >> 16) != 0;
    const vxAudioBuffer& source = fromOutput ? *mainOutput_ : *mainInput_;
    const int channel = std::min(static_cast<int>(selection & 0xffff), source.channelCount() - 1);
    float* monitored = source.channelData(channel);
    float* monitorIn[kMaxMonitorOutputs] = {monitored, monitored};

    const vxResult r = run(kMonitorVolume, monitorIn, frames);
    float** monitorOut = buffers_[kMonitorVolume].out->channelArray();
    for (int i = 0; i < routeCount(route); ++i) dspsCopy_32f(monitorOut[i], out[routeChannel(route, i)], frames);
    return r;
}

void CAudioGraph::reset()
{
    for (vxAudioClass* b : blocks_) b->reset();
}

vxResult CAudioGraph::stop()
{
    vxAudioClass::stop();
    // Every block is stopped, whatever one of them answers: a block left
    // running would keep its file or its thread busy. The first failure is
    // the answer.
    vxResult r = vxOK;
    for (vxAudioClass* b : blocks_)
        if (const vxResult stopped = b->stop(); stopped != vxOK && r == vxOK) r = stopped;
    for (BlockBuffers& b : buffers_)
        if (b.out) b.out->clear();
    return r;
}

vxResult CAudioGraph::start()
{
    for (vxAudioClass* b : blocks_)
        if (const vxResult r = b->start(); r != vxOK) return r;
    return vxAudioClass::start();
}

}  // namespace orvelan::io

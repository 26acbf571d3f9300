// The main window and its processing chain: building the chain for the
// device's formats, restoring the controls from the settings, pushing every
// control into the chain, keeping the controls' enabled states in line with
// the input and processing modes, and routing each control's changes in.
// The chain's setters are safe while it streams, so nothing here locks.
// The chain's headers before any Qt header: they use signals as a name,
// which Qt's keyword macro of that name would blank out.
#include "chain/audio_graph.h"

#include "app/ro32app.h"

#include <QColor>
#include <QMessageBox>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "app/audio_device.h"
#include "app/zorb_bridge.h"
#include "asio/asio_host.h"
#include "options/ro_options.h"
#include "widgets/audio_file_navigator.h"
#include "widgets/audio_transport.h"
#include "widgets/beam_display_azimuth.h"
#include "widgets/beam_display_elevation.h"
#include "widgets/beam_selection.h"
#include "widgets/hp_selection.h"
#include "widgets/input_source_selection.h"
#include "widgets/input_volume.h"
#include "widgets/level_meter.h"
#include "widgets/monitor_unit.h"
#include "widgets/recording_sink_selection.h"
#include "widgets/volume_unit.h"

namespace orvelan::app {

namespace {

constexpr int kChainSetupFailure = 10000;
constexpr int kPatternNameBytes = 16;

bool inFileMode(const CInputSourceSelection& source)
{
    return source.mode() == CInputSourceSelection::File;
}

}  // namespace

int Ro32App::initAudioGraph()
{
    graphReady_ = false;
    if (graph_) {
        inputLevels_->setSource(nullptr);
        outputLevels_->setSource(nullptr);
        // The host lets go of the chain before it is deleted.
        io::asioClearProcessor();
        graph_.reset();
    }
    graph_ = std::make_unique<io::CAudioGraph>();
    const vxAudioInterface in = vxAudioInterface::timeDomain(device_->numInputs, device_->sampleRate,
                                                             device_->bufferLength);
    const vxAudioInterface out = vxAudioInterface::timeDomain(device_->numOutputs, device_->sampleRate,
                                                              device_->bufferLength);
    const vxResult setup = graph_->setup(in, out);
    if (!io::asioBuffersReady() || io::asioNumActiveInputs() < io::CAudioGraph::kMaxInputs)
        settings_.inputMode = io::CAudioGraph::kFileInput;
    // An unconfigured chain is never handed to the host.
    if (setup != 0)
        return setup + kChainSetupFailure;
    if (settings_.inputMode == io::CAudioGraph::kLiveInput || settings_.inputMode == io::CAudioGraph::kFileInput) {
        const vxResult source = graph_->setInputSource(settings_.inputMode);
        if (source != 0)
            return source;
    }
    (void)graph_->setMonitorOutputs(device_->monitorOutputPositions.data(), settings_.numMonitorChannels);
    curveBuffer_.assign(static_cast<std::size_t>(graph_->beamformer().maxCurvePoints()), 0.0f);
    if (io::asioBuffersReady()) {
        io::asioSetProcessorObject(graph_.get());
        io::asioSelectProcessor(io::kProcessorObject);
    }
    graphReady_ = true;
    return 0;
}

void Ro32App::initControls()
{
    // Live input needs the whole array on the device; otherwise only files.
    const bool livePossible = io::asioBuffersReady() && device_->numInputs >= io::CAudioGraph::kMaxInputs;
    inputSource_->setModeEnabled(CInputSourceSelection::Live, livePossible);
    if (!livePossible)
        settings_.inputMode = io::CAudioGraph::kFileInput;
    inputSource_->setMode(settings_.inputMode == io::CAudioGraph::kFileInput ? CInputSourceSelection::File
                                                                             : CInputSourceSelection::Live);
    inputSource_->setFileName(settings_.sensorFile);

    inputVolumePanel_->setPreampVolume(settings_.preampVolume);
    inputVolumePanel_->setVolume(static_cast<int>(settings_.inputSliderVolume));
    outputStrip_->setVolume(settings_.outputMasterVolume);

    QStringList patterns;
    QList<QStringList> parameters;
    const CRo32& beamformer = graph_->beamformer();
    for (int pattern = 0; pattern < beamformer.numPatterns(); ++pattern) {
        int nameLength = 0;
        int variants = 0;
        if (beamformer.patternInfo(pattern, &nameLength, nullptr, &variants, nullptr) != 0)
            continue;
        char name[kPatternNameBytes + 1] = {};
        std::vector<int> values(static_cast<std::size_t>(variants));
        beamformer.patternNames(pattern, name, nullptr, values.data());
        patterns << QString::fromLatin1(name, static_cast<int>(strnlen(name, kPatternNameBytes)));
        QStringList texts;
        for (int value : values)
            texts << QString::number(value);
        parameters << texts;
    }
    beamSelection_->setPatternAndParameterLists(patterns, parameters);
    if (settings_.beamTrackSettings.isEmpty()) {
        beamSelection_->addBeam();
        beamSelection_->addBeam();
    } else {
        beamSelection_->loadState(settings_.beamTrackSettings);
    }
    for (int track = 0; track < beamSelection_->beamTrackCount(); ++track)
        beamGotAdded(track);

    int frequencies[io::CAudioGraph::numHighpassChoices()] = {};
    graph_->highpassFrequencies(frequencies, io::CAudioGraph::numHighpassChoices());
    QStringList labels;
    for (int frequency : frequencies)
        labels << (frequency == 0 ? QStringLiteral("off") : QStringLiteral("%1 Hz").arg(frequency));
    hpSelection_->setItems(labels, settings_.fcHp);

    monitorPanel_->setStatus(settings_.monitorEnabled);
    monitorPanel_->setVolume(settings_.monitorVolume);
    monitorPanel_->setChannel(settings_.monitorSection, settings_.monitorChannel);

    optionsWindow_->setWindowTitle(mAppName);
    const int groups = device_->availableZorbOutputGroups;
    if (groups != 0) {
        optionsWindow_->addZorbOutputTab(groups, settings_.zorbActiveOutputGroups, settings_.zorbFirstOutputGroup);
        optionsWindow_->addZorbMonitorTab(groups, settings_.monitorChannelOffset, settings_.numMonitorChannels);
    } else {
        optionsWindow_->addOutputTab(settings_.numOutputChannels, settings_.outputChannelOffset,
                                     device_->availableOutputs, device_->driverOutputs);
        optionsWindow_->addMonitorTab(settings_.numMonitorChannels, settings_.monitorChannelOffset,
                                      device_->driverOutputs);
    }
}

int Ro32App::applyControlsToGraph()
{
    // The box takes the preamplifier step itself when it said so at start-up;
    // the fader's alone is then the chain's input gain.
    if (boxSetsPreamp_) {
        graph_->inputVolume().setMasterVolume(inputVolumePanel_->sliderGain());
        zorbBridge_->control().setPreampGain(static_cast<float>(inputVolumePanel_->preampVolume()), false);
    } else {
        graph_->inputVolume().setMasterVolume(inputVolumePanel_->gain());
    }
    if (calibrationReceived_) {
        graph_->setInputGains(calibrationGains_.data(), static_cast<int>(calibrationGains_.size()));
        calibrationApplied_ = true;
    }
    (void)graph_->setNumBeams(beamSelection_->beamTrackCount());
    graph_->outputVolume().setMasterVolume(outputStrip_->gain());
    for (int track = 0; track < beamSelection_->beamTrackCount(); ++track)
        updateBeamformer(track);
    (void)graph_->setHighpass(hpSelection_->selectedIndex());
    graph_->setMonitorSource(monitorPanel_->isOutput() ? 1 : 0, monitorPanel_->channel());
    graph_->monitorVolume().setMasterVolume(monitorPanel_->gain());
    graph_->setMonitorEnabled(monitorPanel_->status());
    if (inFileMode(*inputSource_)) {
        settings_.sensorFile = inputSource_->fileName();
        openSensorFile();
    }
    graph_->fileReader().setStartSample(0);
    return 0;
}

void Ro32App::showFileError(int code)
{
    QMessageBox::warning(this, mAppName, QStringLiteral("Error loading wave file (erroNo:%1).").arg(code));
    inputSource_->setFileName(QString());
}

void Ro32App::updateProcessingMode()
{
    if (graph_->inputMode() == io::CAudioGraph::kLiveInput) {
        (void)graph_->setProcessingMode(io::CAudioGraph::kBeamforming);
    } else if (graph_->inputMode() == io::CAudioGraph::kFileInput) {
        // Only a file of the whole array can be beamformed.
        const bool array = graph_->fileReader().numChannels() == io::CAudioGraph::kMaxInputs;
        (void)graph_->setProcessingMode(array ? io::CAudioGraph::kBeamforming : io::CAudioGraph::kPassThrough);
    }
}

void Ro32App::updateNavigator()
{
    navigator_->setFs(static_cast<int>(device_->sampleRate));
    const qint64 frames = inFileMode(*inputSource_) ? graph_->fileReader().numFrames() : 0;
    navigator_->setNumSamples(static_cast<int>(frames));
}

void Ro32App::updateControlStates()
{
    updateNavigator();
    const bool beamforming = graph_->processingMode() != io::CAudioGraph::kPassThrough;
    recordingSinks_->setFs(static_cast<int>(device_->sampleRate));
    recordingSinks_->setEnabled(beamforming);
    inputVolumePanel_->setEnabled(!inFileMode(*inputSource_));
    for (QWidget* beamControl : std::initializer_list<QWidget*>{outputStrip_, beamSelection_, azimuthDisplay_,
                                                                 elevationDisplay_})
        beamControl->setEnabled(beamforming);
    inputSource_->setFileControlsEnabled(inFileMode(*inputSource_));
    inputLevels_->setSource(&graph_->inputMeter());
    outputLevels_->setSource(&graph_->outputMeter());
    updateWindowTitle();
}

void Ro32App::connectControls()
{
    connect(transport_, &CAudioTransport::startAudio, this, &Ro32App::start);
    connect(transport_, &CAudioTransport::stopAudio, this, &Ro32App::stop);
    connect(transport_, &CAudioTransport::pauseAudio, this, &Ro32App::pause);
    connect(transport_, &CAudioTransport::recordAudioOn, this, &Ro32App::startRecording);
    connect(transport_, &CAudioTransport::recordAudioOff, this, &Ro32App::stopRecording);
    connect(navigator_, &CAudioFileNavigator::stop, this, &Ro32App::remoteStop);
    connect(navigator_, &CAudioFileNavigator::seek, this, &Ro32App::seek);
    connect(navigator_, &CAudioFileNavigator::updateStartSample, this, &Ro32App::updateStartSample);
    connect(outputStrip_, &CVolumeUnit::gainChanged, this, &Ro32App::setOutputMasterGain);
    connect(inputSource_, &CInputSourceSelection::fileNameChanged, this, &Ro32App::openFile);
    connect(inputSource_, &CInputSourceSelection::modeChanged, this, &Ro32App::setInputMode);
    connect(monitorPanel_, &CMonitorUnit::channelChanged, this, &Ro32App::setMonitorChannel);
    connect(monitorPanel_, &CMonitorUnit::gainChanged, this, &Ro32App::setMonitorGain);
    connect(monitorPanel_, &CMonitorUnit::statusChanged, this, &Ro32App::setMonitorStatus);
    if (boxSetsPreamp_) {
        connect(inputVolumePanel_, &CInputVolume::preampVolumeChanged, this, &Ro32App::setPreampVolume);
        connect(inputVolumePanel_, &CInputVolume::sliderGainChanged, this, &Ro32App::setInputGain);
    } else {
        connect(inputVolumePanel_, &CInputVolume::gainChanged, this, &Ro32App::setInputGain);
    }
    connect(inputVolumePanel_, &CInputVolume::muteClicked, this, &Ro32App::setInputMute);

    connect(beamSelection_, &CBeamSelection::beamTrackAdded, this, &Ro32App::beamGotAdded);
    connect(beamSelection_, &CBeamSelection::beamTrackDeleted, this, &Ro32App::beamGotDeleted);
    connect(beamSelection_, &CBeamSelection::activeBeamTrackChanged, azimuthDisplay_,
            &CBeamDisplayAzimuth::setActivePattern);
    connect(beamSelection_, &CBeamSelection::activeBeamTrackChanged, elevationDisplay_,
            &CBeamDisplayElevation::setActivePattern);
    connect(beamSelection_, &CBeamSelection::beamTrackColorChanged, azimuthDisplay_,
            qOverload<int, const QColor&>(&CBeamDisplayAzimuth::setColor));
    connect(beamSelection_, &CBeamSelection::beamTrackColorChanged, elevationDisplay_,
            qOverload<int, const QColor&>(&CBeamDisplayElevation::setColor));
    connect(beamSelection_, &CBeamSelection::beamTrackPhiChanged, azimuthDisplay_,
            qOverload<int, int>(&CBeamDisplayAzimuth::setPhi));
    connect(beamSelection_, &CBeamSelection::beamTrackThetaChanged, elevationDisplay_,
            qOverload<int, int>(&CBeamDisplayElevation::setTheta));
    connect(beamSelection_, &CBeamSelection::beamTrackPatternChanged, this, &Ro32App::updatePattern);
    connect(beamSelection_, &CBeamSelection::beamTrackParameterChanged, this, &Ro32App::updateParameter);
    connect(beamSelection_, &CBeamSelection::beamTrackThetaChanged, this, qOverload<int, int>(&Ro32App::updateTheta));
    connect(beamSelection_, &CBeamSelection::beamTrackPhiChanged, this, qOverload<int, int>(&Ro32App::updatePhi));
    connect(beamSelection_, &CBeamSelection::beamTrackGainChanged, this, &Ro32App::setOutputGain);
    connect(beamSelection_, &CBeamSelection::beamTrackMuteChanged, this, &Ro32App::setOutputMute);
    connect(azimuthDisplay_, &CBeamDisplayAzimuth::phiChanged, beamSelection_,
            qOverload<int>(&CBeamSelection::setPhi));
    connect(azimuthDisplay_, &CBeamDisplayAzimuth::phiChanged, this, qOverload<int>(&Ro32App::updatePhi));
    connect(elevationDisplay_, &CBeamDisplayElevation::thetaChanged, beamSelection_,
            qOverload<int>(&CBeamSelection::setTheta));
    connect(elevationDisplay_, &CBeamDisplayElevation::thetaChanged, this, qOverload<int>(&Ro32App::updateTheta));
    connect(hpSelection_, &CHpSelection::selectionChanged, this, &Ro32App::setHpIndex);
    connect(optionsWindow_.get(), &CRoOptions::monitorChannelsChanged, this, &Ro32App::updateMonitorChannels);
    connect(optionsWindow_.get(), &CRoOptions::outputChannelsChanged, this, &Ro32App::updateOutputChannels);
    connect(optionsWindow_.get(), &CRoOptions::zorbOutputGroupsChanged, this, &Ro32App::updateZorbOutputGroups);
}

void Ro32App::reconfigureOutputs()
{
    CAudioDeviceSetup::Transport transport;
    transport.stop = [this] { transport_->setState(CAudioTransport::kStateStop); };
    transport.start = [this] { transport_->setState(CAudioTransport::kStateStart); };
    device_->reconfigure(transport, {[this] { return initAudioGraph(); }, [this] { return applyControlsToGraph(); },
                                     [this] {
                                         updateControlStates();
                                         return 0;
                                     }});
}

void Ro32App::updateMonitorChannels(int numChannels, int offset)
{
    settings_.numMonitorChannels = numChannels;
    settings_.monitorChannelOffset = offset;
    reconfigureOutputs();
}

void Ro32App::updateOutputChannels(int numChannels, int offset)
{
    settings_.numOutputChannels = numChannels;
    settings_.outputChannelOffset = offset;
    reconfigureOutputs();
}

void Ro32App::updateZorbOutputGroups(int groups, int firstGroup)
{
    settings_.zorbActiveOutputGroups = groups;
    settings_.zorbFirstOutputGroup = firstGroup;
    reconfigureOutputs();
}

void Ro32App::updatePhi(int index, int phi)
{
    (void)graph_->beamformer().setPhi(index, static_cast<float>(phi));
}

void Ro32App::updatePhi(int phi)
{
    updatePhi(beamSelection_->activeBeamTrack(), phi);
}

void Ro32App::updateTheta(int index, int theta)
{
    (void)graph_->beamformer().setTheta(index, static_cast<float>(theta));
}

void Ro32App::updateTheta(int theta)
{
    updateTheta(beamSelection_->activeBeamTrack(), theta);
}

void Ro32App::updateBeamformer(int index)
{
    CRo32& beamformer = graph_->beamformer();
    (void)beamformer.setPattern(index, beamSelection_->patternIndex(index));
    (void)beamformer.setPatternParameter(index, beamSelection_->parameterIndex(index));
    (void)beamformer.setTheta(index, static_cast<float>(beamSelection_->trackTheta(index)));
    (void)beamformer.setPhi(index, static_cast<float>(beamSelection_->trackPhi(index)));
    graph_->outputVolume().setChannelVolume(index, static_cast<float>(beamSelection_->trackGain(index)));
    graph_->outputVolume().setChannelMute(index, beamSelection_->isTrackMuted(index));
}

int Ro32App::fetchCurve(int pattern, int parameter)
{
    const CRo32& beamformer = graph_->beamformer();
    int points = 0;
    beamformer.patternInfo(pattern, nullptr, nullptr, nullptr, &points);
    // A chain whose set-up failed has made no room for curves yet.
    if (curveBuffer_.size() < static_cast<std::size_t>(beamformer.maxCurvePoints()))
        curveBuffer_.assign(static_cast<std::size_t>(beamformer.maxCurvePoints()), 0.0f);
    int beamWidth = 0;
    beamformer.patternCurve(pattern, parameter, curveBuffer_.data(), &beamWidth);
    return points;
}

void Ro32App::updatePattern(int beamIndex, int patternIndex, int parameterIndex)
{
    const int points = fetchCurve(patternIndex, parameterIndex);
    azimuthDisplay_->setPattern(beamIndex, curveBuffer_.data(), points);
    (void)graph_->beamformer().setPattern(beamIndex, patternIndex);
    (void)graph_->beamformer().setPatternParameter(beamIndex, parameterIndex);
}

void Ro32App::updateParameter(int beamIndex, int parameterIndex)
{
    updatePattern(beamIndex, beamSelection_->patternIndex(beamIndex), parameterIndex);
    (void)graph_->beamformer().setPatternParameter(beamIndex, parameterIndex);
}

void Ro32App::beamGotAdded(int index)
{
    const int points = fetchCurve(beamSelection_->patternIndex(index), beamSelection_->parameterIndex(index));
    const QColor colour = beamSelection_->trackColor(index);
    azimuthDisplay_->addPattern(curveBuffer_.data(), points, colour);
    azimuthDisplay_->setPhi(index, beamSelection_->trackPhi(index));
    elevationDisplay_->addBeam(colour);
    elevationDisplay_->setTheta(index, beamSelection_->trackTheta(index));
    (void)graph_->setNumBeams(beamSelection_->beamTrackCount());
    updateBeamformer(index);
}

// The editor made the track to go its active one before it said so; the
// tracks after it moved down one place, so they are sent again.
void Ro32App::beamGotDeleted(int index)
{
    azimuthDisplay_->removeActivePattern();
    azimuthDisplay_->setActivePattern(beamSelection_->activeBeamTrack());
    elevationDisplay_->removeActiveBeam();
    elevationDisplay_->setActivePattern(beamSelection_->activeBeamTrack());
    (void)graph_->setNumBeams(beamSelection_->beamTrackCount());
    for (int track = index; track < beamSelection_->beamTrackCount(); ++track)
        updateBeamformer(track);
}

void Ro32App::setOutputGain(int channel, float gain)
{
    graph_->outputVolume().setChannelVolume(channel, gain);
}

void Ro32App::setOutputMute(int channel, bool mute)
{
    graph_->outputVolume().setChannelMute(channel, mute);
}

void Ro32App::setOutputMasterGain(float gain)
{
    graph_->outputVolume().setMasterVolume(gain);
}

void Ro32App::setPreampVolume(int volume)
{
    zorbBridge_->control().setPreampGain(static_cast<float>(volume), false);
}

void Ro32App::setInputGain(float gain)
{
    graph_->inputVolume().setMasterVolume(gain);
}

void Ro32App::setInputMute(bool mute)
{
    graph_->inputVolume().setChannelMute(-1, mute);
}

void Ro32App::setHpIndex(int index)
{
    (void)graph_->setHighpass(index);
}

void Ro32App::setMonitorChannel(int inout, int channel)
{
    graph_->setMonitorSource(inout != 0 ? 1 : 0, channel);
}

void Ro32App::setMonitorGain(float gain)
{
    graph_->monitorVolume().setMasterVolume(gain);
}

void Ro32App::setMonitorStatus(bool status)
{
    graph_->setMonitorEnabled(status);
}

// Only the calibration read is acted on; the next tick hands it to the
// chain.
void Ro32App::actOnMidiMessage(int cmd, int value)
{
    if (cmd != boxcontrol::zorb_cmd_calibration)
        return;
    if (value == 0) {
        calibrationReceived_ = false;
        return;
    }
    zorbBridge_->control().getCalibration(calibrationGains_.data(), static_cast<int>(calibrationGains_.size()));
    for (float& gain : calibrationGains_)
        gain = std::pow(10.0f, 0.05f * gain);
    calibrationReceived_ = true;
}

}  // namespace orvelan::app

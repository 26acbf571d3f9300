// The main window's life cycle: building itself in a fixed order, the
// 60 ms tick, the title, the closing question and the order of tearing
// down.
// The chain's headers before any Qt header: they use signals as a name,
// which Qt's keyword macro of that name would blank out.
#include "chain/audio_graph.h"

#include "app/ro32app.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMessageBox>
#include <QTimerEvent>

#include "app/about_window.h"
#include "app/audio_device.h"
#include "app/resources.h"
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

constexpr int kTickMs = 60;
// Stop, pause, start and record; no loop.
constexpr int kTransportButtons =
    CAudioTransport::kStop | CAudioTransport::kPause | CAudioTransport::kStart | CAudioTransport::kRecord;
constexpr int kMaxBeamTracks = 18;
// The editor's add/delete, link, save and load buttons and all its columns.
constexpr int kBeamEditorButtons = 15;
constexpr int kBeamEditorColumns = 255;

}  // namespace

Ro32App::Ro32App(std::shared_ptr<platform::midi::midi_transport> boxTransport, QWidget* parent)
    : QMainWindow(parent)
{
    startBoxControl(std::move(boxTransport));
    device_ = std::make_unique<CAudioDeviceSetup>(this, mAppName, settings_);
    // The settings come before the device: they say which outputs to open.
    loadSettings(settingsFile_);
    waitForBox();
    device_->initAudioDevice();
    createWidgets();
    // A failed chain set-up leaves the controls unapplied; the window opens.
    initAudioGraph();
    initControls();
    if (applyControlsToGraph() == 0)
        updateControlStates();
    connectControls();
    createDockWindows();
    createMenus();
    setWindowIcon(QIcon(kResourcePath + "/vexolabs.png"));
    updateWindowTitle();
    timer_.start(kTickMs, this);
}

Ro32App::~Ro32App()
{
    // Stop first, through the transport, so the stop path runs as if the
    // user had pressed it while everything it touches still exists.
    transport_->setState(CAudioTransport::kStateStop);
    timer_.stop();
    inputLevels_->stopTimer();
    outputLevels_->stopTimer();
    io::asioDisposeBuffers();
    io::asioCloseDriver();
    // The host lets go of the chain before it goes.
    inputLevels_->setSource(nullptr);
    outputLevels_->setSource(nullptr);
    io::asioClearProcessor();
    graph_.reset();
    // Its thread is joined here; nothing it posted reaches the window after.
    zorbBridge_.reset();
}

void Ro32App::startBoxControl(std::shared_ptr<platform::midi::midi_transport> boxTransport)
{
    zorbBridge_ = std::make_unique<CZorbBridge>(std::move(boxTransport));
    connect(zorbBridge_.get(), &CZorbBridge::msgConfirmed, this, &Ro32App::actOnMidiMessage);
    connect(zorbBridge_.get(), &CZorbBridge::connectionProblems, this, &Ro32App::actOnMidiConnectionProblems);
    calibrationGains_.fill(0.0f);
    calibrationReceived_ = false;
    calibrationApplied_ = false;
    zorbBridge_->startControl();
}

// Blocks the window's start for at most the bridge's bound: a box that
// never lets its thread decide is taken as no box.
void Ro32App::waitForBox()
{
    const CZorbBridge::BoxDecision decision = zorbBridge_->waitForBox();
    device_->availableZorbOutputGroups = decision.availableZorbOutputGroups;
    boxSetsPreamp_ = decision.boxSetsPreamp;
}

int Ro32App::availableZorbOutputGroups() const
{
    return device_->availableZorbOutputGroups;
}

void Ro32App::createWidgets()
{
    transport_ = new CAudioTransport(kResourcePath, kTransportButtons, 1);
    transport_->setState(CAudioTransport::kStateStop);

    navigator_ = new CAudioFileNavigator(this);
    inputLevels_ = new CLevelMeter(device_->maxInputs, this);
    inputLevels_->setMinimumWidth(550);
    outputLevels_ = new CLevelMeter(device_->maxOutputs, this);
    outputLevels_->setMinimumWidth(300);

    outputStrip_ = new CVolumeUnit(0);
    outputStrip_->setGainTableEnabled(true);
    outputStrip_->setRange(-40, 40, 0.1f, 1, 50);
    outputStrip_->setTicksVisible(2);
    outputStrip_->setTickInterval(10);
    outputStrip_->setUnit(QString());

    inputSource_ = new CInputSourceSelection(kResourcePath);

    recordingSinkNames_ = QStringList{QStringLiteral("input"), QStringLiteral("output")};
    recordingSinks_ = new CRecordingSinkSelection(recordingSinkNames_);
    recordingSinks_->setBaseName(0, QStringLiteral("mic"));
    recordingSinks_->setBaseName(1, QStringLiteral("out"));

    inputVolumePanel_ = new CInputVolume;
    monitorPanel_ = new CMonitorUnit(device_->maxInputs, device_->maxOutputs);
    azimuthDisplay_ = new CBeamDisplayAzimuth(kMaxBeamTracks, 40.0);
    azimuthDisplay_->setMinimumHeight(300);
    elevationDisplay_ = new CBeamDisplayElevation(kMaxBeamTracks);
    beamSelection_ = new CBeamSelection(kResourcePath, kMaxBeamTracks, kBeamEditorButtons, kBeamEditorColumns);
    hpSelection_ = new CHpSelection;
    optionsWindow_ = std::make_unique<CRoOptions>();
}

void Ro32App::updateWindowTitle()
{
    // Only the box's own driver carries its calibration.
    QString status;
    if (io::asioBuffersReady() && device_->currentDriverName == device_->defaultDriverName)
        status = calibrationApplied_ ? QStringLiteral("calibrated") : QStringLiteral("not calibrated");
    setWindowTitle(QStringLiteral("%1 -- beta -- (fs = %2kHz, %3)")
                       .arg(mAppName, QString::number(device_->sampleRate * 0.001, 'f', 1), status));
}

void Ro32App::actOnMidiConnectionProblems()
{
}

void Ro32App::loadSettings(const QString& fileName)
{
    settings_.loadSettings(fileName);
}

void Ro32App::loadDefaultSettings()
{
    settings_.loadDefaultSettings();
}

void Ro32App::writeSettings(const QString& fileName)
{
    SettingsWidgetValues widgets;
    widgets.inputMode = inputSource_->mode();
    widgets.preampVolume = inputVolumePanel_->preampVolume();
    widgets.inputSliderVolume = inputVolumePanel_->strip()->volume();
    widgets.outputMasterVolume = outputStrip_->volume();
    widgets.monitorEnabled = monitorPanel_->status();
    widgets.monitorVolume = monitorPanel_->strip()->volume();
    widgets.monitorSection = monitorPanel_->isOutput() ? 1 : 0;
    widgets.monitorChannel = monitorPanel_->channel();
    widgets.fcHp = hpSelection_->selectedIndex();
    widgets.beamTrackSettings = beamSelection_->fileName();
    widgets.sensorFile = inputSource_->fileName();
    settings_.writeSettings(fileName, widgets);
}

void Ro32App::about()
{
    showAboutWindow(this);
}

void Ro32App::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId()) {
        QMainWindow::timerEvent(event);
        return;
    }
    navigator_->setCurrentSample(static_cast<int>(graph_->fileReader().currentPosition()));
    for (int sink = 0; sink < recordingSinkNames_.size(); ++sink)
        recordingSinks_->setCurrentSample(sink, graph_->recorder(sink).currentPosition());
    // A calibration that came from the box since the last tick.
    if (calibrationReceived_ && !calibrationApplied_) {
        graph_->setInputGains(calibrationGains_.data(), static_cast<int>(calibrationGains_.size()));
        calibrationApplied_ = true;
        updateWindowTitle();
    }
}

bool Ro32App::settleModifiedBeamTracks()
{
    if (!beamSelection_->isDirty())
        return true;
    const auto answer = QMessageBox::question(
        this, mAppName, tr("The beam track settings have been modified.\nDo you want to save your changes?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    switch (answer) {
    case QMessageBox::Save:
        // A save dialog the user cancels leaves the tracks unsaved: the
        // window stays, or they would be lost.
        return beamSelection_->saveStateDialog();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void Ro32App::closeEvent(QCloseEvent* event)
{
    if (optionsWindow_->isVisible())
        optionsWindow_->close();
    if (!settleModifiedBeamTracks()) {
        event->ignore();
        return;
    }
    writeSettings(settingsFile_);
    event->accept();
}

}  // namespace orvelan::app

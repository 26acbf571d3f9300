// The main window's life cycle: building itself in a fixed order, the
// 60 ms tick, the title, the closing question and the order of tearing
// down.
#include "app/ro32app.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMessageBox>
#include <QTimerEvent>

#include "app/resources.h"
#include "options/ro_options.h"
#include "widgets/audio_file_navigator.h"
#include "widgets/audio_transport.h"
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

Ro32App::Ro32App(QWidget* parent) : QMainWindow(parent)
{
    createWidgets();
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
}

void Ro32App::createWidgets()
{
    transport_ = new CAudioTransport(kResourcePath, kTransportButtons, 1);
    transport_->setState(CAudioTransport::kStateStop);

    navigator_ = new CAudioFileNavigator(this);
    inputLevels_ = new CLevelMeter(maxInputs_, this);
    inputLevels_->setMinimumWidth(550);
    outputLevels_ = new CLevelMeter(maxOutputs_, this);
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
    monitorPanel_ = new CMonitorUnit(maxInputs_, maxOutputs_);
    beamSelection_ = new CBeamSelection(kResourcePath, kMaxBeamTracks, kBeamEditorButtons, kBeamEditorColumns);
    hpSelection_ = new CHpSelection;
    optionsWindow_ = std::make_unique<CRoOptions>();
    optionsWindow_->setWindowTitle(mAppName);
}

void Ro32App::updateWindowTitle()
{
    const QString status;
    setWindowTitle(QStringLiteral("%1 -- beta -- (fs = %2kHz, %3)")
                       .arg(mAppName, QString::number(sampleRate_ * 0.001, 'f', 1), status));
}

void Ro32App::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId()) {
        QMainWindow::timerEvent(event);
        return;
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
    event->accept();
}

}  // namespace orvelan::app

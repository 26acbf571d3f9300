// The main window's layout: the polar displays in a splitter at the centre,
// the fixed docks around them in one order, and the two menus.
#include "app/ro32app.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

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

constexpr int kOutputVolumeMinimumWidth = 80;
constexpr int kBeamTracksExtraWidth = 40;

// Where a dock goes: split off an earlier one, or (with none named, or the
// one named not there) added to its area with the orientation given.
struct DockPlace {
    const char* title;
    QWidget* content;
    Qt::DockWidgetAreas allowed;
    Qt::DockWidgetArea area;
    Qt::Orientation orientation;
    const char* splitOff;
};

}  // namespace

QDockWidget* Ro32App::addFixedDock(const char* title, QWidget* content, Qt::DockWidgetAreas allowed)
{
    auto* dock = new QDockWidget(tr(title), this);
    dock->setAllowedAreas(allowed);
    dock->setObjectName(QString::fromLatin1(title));
    dock->setWidget(content);
    // The layout is the same at every start: nothing can be moved, floated
    // or closed.
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    return dock;
}

void Ro32App::createDockWindows()
{
    setDockNestingEnabled(true);
    setCorner(Qt::TopLeftCorner, Qt::TopDockWidgetArea);
    setCorner(Qt::TopRightCorner, Qt::TopDockWidgetArea);
    setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
    setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);

    auto* centre = new QSplitter(Qt::Horizontal);
    centre->addWidget(azimuthDisplay_);
    centre->addWidget(elevationDisplay_);
    centre->setSizes({100, 60});
    setCentralWidget(centre);

    auto* outputVolume = new QWidget;
    auto* outputLayout = new QVBoxLayout(outputVolume);
    outputLayout->addWidget(outputStrip_, 0, Qt::AlignHCenter | Qt::AlignVCenter);
    outputVolume->setMinimumWidth(kOutputVolumeMinimumWidth);

    auto* beamTracks = new QScrollArea;
    beamTracks->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    beamTracks->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    beamTracks->setWidget(beamSelection_);
    beamTracks->setWidgetResizable(true);
    beamTracks->setMinimumWidth(beamSelection_->minimumSizeHint().width() + kBeamTracksExtraWidth);

    const Qt::DockWidgetArea top = Qt::TopDockWidgetArea;
    const Qt::DockWidgetArea left = Qt::LeftDockWidgetArea;
    const Qt::DockWidgetArea bottom = Qt::BottomDockWidgetArea;
    const Qt::Orientation across = Qt::Horizontal;
    const DockPlace places[] = {
        {QT_TR_NOOP("File Navigation"), navigator_, top, top, across, nullptr},
        {QT_TR_NOOP("Input Levels"), inputLevels_, top, top, Qt::Vertical, nullptr},
        {QT_TR_NOOP("Output Levels"), outputLevels_, top, top, across, "Input Levels"},
        {QT_TR_NOOP("Input Volume"), inputVolumePanel_, top, top, across, "Output Levels"},
        {QT_TR_NOOP("Output Volume"), outputVolume, top, top, across, "Input Volume"},
        {QT_TR_NOOP("Highpass"), hpSelection_, top, top, across, "Output Volume"},
        {QT_TR_NOOP("Monitor Source"), monitorPanel_, left, top, across, "Highpass"},
        {QT_TR_NOOP("Beam Tracks"), beamTracks, Qt::RightDockWidgetArea, left, Qt::Vertical, nullptr},
        {QT_TR_NOOP("Input Source"), inputSource_, left, bottom, across, nullptr},
        {QT_TR_NOOP("Audio Transport"), transport_, bottom, bottom, across, "Input Source"},
        {QT_TR_NOOP("Recording Source"), recordingSinks_, left, bottom, across, "Audio Transport"},
    };
    for (const DockPlace& place : places) {
        QDockWidget* dock = addFixedDock(place.title, place.content, place.allowed);
        auto* before = place.splitOff ? findChild<QDockWidget*>(QString::fromLatin1(place.splitOff),
                                                                Qt::FindDirectChildrenOnly)
                                      : nullptr;
        if (before)
            splitDockWidget(before, dock, place.orientation);
        else
            addDockWidget(place.area, dock, place.orientation);
    }
}

void Ro32App::createMenus()
{
    QMenu* settings = menuBar()->addMenu(tr("&Settings"));
    QAction* optionsAction = settings->addAction(tr("&Options"));
    optionsAction->setShortcut(QKeySequence());
    connect(optionsAction, &QAction::triggered, this, &Ro32App::options);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* aboutAction = help->addAction(tr("&About"));
    aboutAction->setShortcut(QKeySequence());
    connect(aboutAction, &QAction::triggered, this, &Ro32App::about);
}

void Ro32App::options()
{
    optionsWindow_->show();
}

}  // namespace orvelan::app

// The main window as a user meets it, on the virtual audio device and with
// no interface box: it opens and closes, its docks and menus stand where
// they should, closing with modified beam tracks asks first and only closes
// when the tracks are settled, and the settings live on in "orvelan.ini".

#include "app/window_fixture.h"

#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <memory>

#include <QTabWidget>

#include "options/ro_options.h"
#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "widgets/beam_display_azimuth.h"
#include "widgets/beam_display_elevation.h"
#include "widgets/beam_selection.h"
#include "widgets/input_volume.h"
#include "widgets/monitor_unit.h"
#include "widgets/volume_unit.h"

using orvelan::app::Ro32App;
using orvelan::apptest::kBoxDriver;
using orvelan::apptest::listDriver;
using orvelan::apptest::ModalAnswerer;

namespace {

const QString kSettingsFile = QStringLiteral("orvelan.ini");


const QString kClosingQuestion =
    QStringLiteral("The beam track settings have been modified.\nDo you want to save your changes?");

QDockWidget* dockNamed(const Ro32App& window, const QString& name)
{
    return window.findChild<QDockWidget*>(name, Qt::FindDirectChildrenOnly);
}

QRect dockGeometry(const Ro32App& window, const char* name)
{
    QDockWidget* dock = dockNamed(window, QString::fromLatin1(name));
    return dock ? dock->geometry() : QRect();
}

}  // namespace

class Ro32AppTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Ro32App> window;
    std::unique_ptr<ModalAnswerer> answerer;

    void openWindow()
    {
        window = orvelan::apptest::openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // Modified tracks, so closing asks.
    void modifyBeamTracks()
    {
        window->beamSelection()->setPhiLinkStatus(false);
        QVERIFY(window->beamSelection()->isDirty());
    }

private slots:
    void init()
    {
        listDriver(kBoxDriver);
        QFile::remove(kSettingsFile);
        QFile::remove("tracks.ovs");
        answerer = std::make_unique<ModalAnswerer>();
        openWindow();
    }

    void cleanup()
    {
        QCOMPARE(answerer->failures(), QStringList());
        window.reset();
        answerer.reset();
    }

    void startsWithoutBox()
    {
        // The box's driver, the calibration not there yet.
        QCOMPARE(window->windowTitle(), QString("Orvelan -- beta -- (fs = 44.1kHz, not calibrated)"));
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->availableZorbOutputGroups(), 0);
        QVERIFY(!window->boxSetsPreamp());
        // Without a box the plain output and monitor pages.
        QTabWidget* tabs = window->optionsWindow()->tabs();
        QCOMPARE(tabs->count(), 2);
        QVERIFY(window->optionsWindow()->outputPage());
        QVERIFY(window->optionsWindow()->monitorPage());
    }

    void otherDriverHasNoCalibrationStatus()
    {
        window.reset();
        listDriver("Second Device");
        // The box's driver is missing: the first listed one is taken.
        answerer->press("OK");
        openWindow();
        QCOMPARE(answerer->seen().value(0).title, QString("Audio Device"));
        QVERIFY(!window->device().currentDriverName.isEmpty());
        QVERIFY(window->windowTitle().startsWith("Orvelan -- beta -- (fs = "));
        QVERIFY(window->windowTitle().endsWith("kHz, )"));
    }

    void settingsLiveOnThroughCloseAndRestart()
    {
        QCOMPARE(window->inputVolumePanel()->preampVolume(), 20);  // the defaults of a fresh start
        QVERIFY(window->monitorPanel()->status());
        window->inputVolumePanel()->setPreampVolume(10);
        window->inputVolumePanel()->setVolume(-3);
        window->outputStrip()->setVolume(-6.0f);
        window->monitorPanel()->setStatus(false);
        window->monitorPanel()->setVolume(4);
        QVERIFY(window->close());
        QVERIFY(QFileInfo::exists(kSettingsFile));

        window.reset();
        openWindow();
        QCOMPARE(window->inputVolumePanel()->preampVolume(), 10);
        QCOMPARE(window->inputVolumePanel()->volume(), -3);
        QCOMPARE(window->outputStrip()->volume(), -6.0f);
        QVERIFY(!window->monitorPanel()->status());
        QCOMPARE(window->monitorPanel()->volume(), 4);
    }

    void docksAreFixedAndTitled_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("allowed");
        QTest::addColumn<int>("area");
        const int top = Qt::TopDockWidgetArea, left = Qt::LeftDockWidgetArea;
        const int bottom = Qt::BottomDockWidgetArea, right = Qt::RightDockWidgetArea;
        QTest::newRow("file navigation") << "File Navigation" << top << top;
        QTest::newRow("input levels") << "Input Levels" << top << top;
        QTest::newRow("output levels") << "Output Levels" << top << top;
        QTest::newRow("input volume") << "Input Volume" << top << top;
        QTest::newRow("output volume") << "Output Volume" << top << top;
        QTest::newRow("highpass") << "Highpass" << top << top;
        QTest::newRow("monitor source") << "Monitor Source" << left << top;
        QTest::newRow("beam tracks") << "Beam Tracks" << right << left;
        QTest::newRow("input source") << "Input Source" << left << bottom;
        QTest::newRow("audio transport") << "Audio Transport" << bottom << bottom;
        QTest::newRow("recording source") << "Recording Source" << left << bottom;
    }

    void docksAreFixedAndTitled()
    {
        QFETCH(QString, name);
        QFETCH(int, allowed);
        QFETCH(int, area);
        QDockWidget* dock = dockNamed(*window, name);
        QVERIFY(dock);
        QCOMPARE(dock->windowTitle(), name);
        QCOMPARE(dock->features(), QDockWidget::NoDockWidgetFeatures);
        QCOMPARE(int(dock->allowedAreas()), allowed);
        QCOMPARE(int(window->dockWidgetArea(dock)), area);
        QVERIFY(dock->isVisible());
        QVERIFY(dock->widget());
    }

    void docksReadInRows()
    {
        // The top row left to right, the bottom row left to right, the
        // beam tracks beside the displays on the left.
        const char* topRow[] = {"Input Levels", "Output Levels", "Input Volume", "Output Volume", "Highpass", "Monitor Source"};
        const char* bottomRow[] = {"Input Source", "Audio Transport", "Recording Source"};
        for (const auto& row : {std::vector<const char*>(std::begin(topRow), std::end(topRow)),
                                std::vector<const char*>(std::begin(bottomRow), std::end(bottomRow))}) {
            for (std::size_t k = 1; k < row.size(); ++k) {
                const QRect before = dockGeometry(*window, row[k - 1]);
                const QRect after = dockGeometry(*window, row[k]);
                QVERIFY2(before.right() < after.left(), row[k]);
                QCOMPARE(before.top(), after.top());
            }
        }
        // The file ruler spans the top above the row.
        const QRect ruler = dockGeometry(*window, "File Navigation");
        QVERIFY(ruler.bottom() < dockGeometry(*window, "Input Levels").top());
        const QRect tracks = dockGeometry(*window, "Beam Tracks");
        const QRect centre = window->centralWidget()->geometry();
        QVERIFY(tracks.right() < centre.left());
        QVERIFY(dockGeometry(*window, "Highpass").bottom() < tracks.top());
        QVERIFY(tracks.bottom() < dockGeometry(*window, "Audio Transport").top());
        // The two polar displays side by side in the centre.
        QVERIFY(window->azimuthDisplay()->isVisible());
        QVERIFY(window->elevationDisplay()->isVisible());
        QVERIFY(window->azimuthDisplay()->geometry().right() < window->elevationDisplay()->geometry().left());
        QCOMPARE(window->azimuthDisplay()->parentWidget(), window->centralWidget());
        // The tracks' scroll area is wide enough for a whole row.
        QVERIFY(tracks.width() >= window->beamSelection()->minimumSizeHint().width() + 40);
    }

    void menus()
    {
        const QList<QAction*> menus = window->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        const QStringList menuTitles{"&Settings", "&Help"};
        const QStringList actionTitles{"&Options", "&About"};
        for (int k = 0; k < 2; ++k) {
            QCOMPARE(menus[k]->text(), menuTitles[k]);
            QMenu* menu = menus[k]->menu();
            QVERIFY(menu);
            QCOMPARE(menu->actions().size(), 1);
            QCOMPARE(menu->actions()[0]->text(), actionTitles[k]);
            QVERIFY(menu->actions()[0]->shortcut().isEmpty());
        }
    }

    void optionsFromTheMenuCloseWithTheWindow()
    {
        QAction* options = window->menuBar()->actions()[0]->menu()->actions()[0];
        options->trigger();
        QVERIFY(window->optionsWindow()->isVisible());
        QCOMPARE(window->optionsWindow()->windowTitle(), QString("Orvelan"));
        QVERIFY(window->close());
        QVERIFY(!window->optionsWindow()->isVisible());
    }

    void closesWithoutAskingWhenTracksAreSaved()
    {
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QVERIFY(answerer->seen().isEmpty());
        QVERIFY(QFileInfo::exists(kSettingsFile));
    }

    void aboutWindowFromTheMenu()
    {
        QAction* about = window->menuBar()->actions()[1]->menu()->actions()[0];
        answerer->press("OK");
        about->trigger();
        QCOMPARE(answerer->pending(), 0);
        const ModalAnswerer::Seen seen = answerer->seen().value(0);
        QCOMPARE(seen.title, QString("About Orvelan"));
        QVERIFY(seen.labels.contains("<b>Orvelan</b>"));
        QVERIFY(seen.labels.contains("version 1.5.1"));
        QCOMPARE(seen.buttons, QStringList{"OK"});
    }

    void closingQuestion_data()
    {
        QTest::addColumn<QList<QString>>("answers");  // the question's, then the save dialog's
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("written");  // beam-track file left behind, if any
        QTest::newRow("cancel") << QList<QString>{"Cancel"} << false << QString();
        QTest::newRow("discard") << QList<QString>{"Discard"} << true << QString();
        QTest::newRow("save, dialog cancelled") << QList<QString>{"Save", ""} << false << QString();
        QTest::newRow("save") << QList<QString>{"Save", "tracks"} << true << QString("tracks.ovs");
    }

    void closingQuestion()
    {
        QFETCH(QList<QString>, answers);
        QFETCH(bool, closes);
        QFETCH(QString, written);
        modifyBeamTracks();
        answerer->press(answers[0]);
        if (answers.size() > 1) {
            if (answers[1].isEmpty())
                answerer->press("Cancel");
            else
                answerer->chooseFile(answers[1]);
        }
        QCOMPARE(window->close(), closes);
        QCOMPARE(window->isVisible(), !closes);
        QCOMPARE(answerer->pending(), 0);
        const ModalAnswerer::Seen question = answerer->seen().value(0);
        QCOMPARE(question.title, QString("Orvelan"));
        QVERIFY(question.labels.contains(kClosingQuestion));
        for (const char* button : {"Save", "Discard", "Cancel"})
            QVERIFY(question.buttons.contains(button));
        if (!written.isEmpty())
            QVERIFY(QFileInfo::exists(written));
        QCOMPARE(QFileInfo::exists("tracks.ovs"), !written.isEmpty());
        // Settings are written only when the window closes.
        QCOMPARE(QFileInfo::exists(kSettingsFile), closes);
        // A window that stayed still asks the next time.
        if (!closes) {
            answerer->press("Discard");
            QVERIFY(window->close());
        }
    }
};

ORVELAN_APP_TEST_MAIN(Ro32AppTest)
#include "ro32app_test.moc"

// One beam-track row: variant boxes refilled silently and disabled with a
// single entry, the azimuth remainder and the dialog's 360, the double-click
// dialogs, the gain window kept for the row's life, the mute size rule,
// and the press and paint of a highlighted row.
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <cmath>
#include <memory>

#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "support/pixel_probe.h"
#include "support/signal_log.h"
#include "widgets/beam_selection_track.h"
#include "widgets/h_volume_slider.h"
#include "widgets/on_off_button.h"
#include "widgets/volume_unit.h"

using orvelan::app::CBeamSelectionTrack;
using namespace orvelan::apptest;

namespace {

const QStringList kWng{"-12", "-6", "0", "6", "12"};

// A row with the editor's column widths and mute width m, shown so that
// double-clicks reach it.
std::unique_ptr<CBeamSelectionTrack> makeRow(int muteWidth = 28)
{
    auto row = std::make_unique<CBeamSelectionTrack>(nullptr, 20, 30, 80, 50, 50, 80, 80, 80, muteWidth);
    row->setId(3);
    row->setLabel("beam 4");
    row->setPhi(10);
    row->setTheta(90);
    row->setPatternList({"omni", "super3"}, 1);
    row->setParameterList(kWng, 2);
    return row;
}

void doubleClick(CBeamSelectionTrack& row, QWidget* cell)
{
    QTest::mouseDClick(&row, Qt::LeftButton, {}, cell->geometry().center());
}

}  // namespace

class BeamSelectionTrackTest : public QObject {
    Q_OBJECT

private slots:
    void aOneEntryVariantListDisablesItsBoxAndRefillsEmitNothing()
    {
        auto row = makeRow();
        QSignalSpy parameters(row.get(), &CBeamSelectionTrack::parameterChanged);
        QSignalSpy patterns(row.get(), &CBeamSelectionTrack::patternChanged);

        row->setParameterList({"0"}, 0);
        QVERIFY(!row->parameterBox()->isEnabled());
        // Disconnected, so a selection made from outside does not report.
        row->parameterBox()->addItem("extra");
        row->parameterBox()->setCurrentIndex(1);
        QCOMPARE(parameters.count(), 0);

        row->setParameterList(kWng, 4);
        row->setPatternList({"omni", "super3", "hyper3"}, 2);
        QVERIFY(row->parameterBox()->isEnabled());
        QCOMPARE(row->parameterText(), QString("12"));
        QCOMPARE(row->patternText(), QString("hyper3"));
        QCOMPARE(parameters.count(), 0);
        QCOMPARE(patterns.count(), 0);

        // A user's choice reports, with the row's index first.
        row->parameterBox()->setCurrentIndex(1);
        QCOMPARE(parameters.count(), 1);
        QCOMPARE(parameters.at(0), (QVariantList{3, 1}));
        // A pattern choice disables the variant box until the editor
        // refills it for the new pattern.
        row->patternBox()->setCurrentIndex(0);
        QCOMPARE(patterns.count(), 1);
        QCOMPARE(patterns.at(0), (QVariantList{3, 0}));
        QVERIFY(!row->parameterBox()->isEnabled());
    }

    void azimuthKeepsTheSignOfItsRemainder_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<QString>("shown");
        QTest::newRow("360") << 360 << "0";
        QTest::newRow("-370") << -370 << "-10";
        QTest::newRow("725") << 725 << "5";
        QTest::newRow("-5") << -5 << "-5";
    }

    void azimuthKeepsTheSignOfItsRemainder()
    {
        QFETCH(int, angle);
        QFETCH(QString, shown);
        auto row = makeRow();
        row->setPhi(angle);
        QCOMPARE(row->azimuthCell()->text(), shown);
        QCOMPARE(row->phi(), shown.toInt());
        row->setPhi(200);
        row->rotatePhi(angle);
        QCOMPARE(row->phi(), (200 + angle) % 360);
    }

    void theAzimuthDialogTakes360AsTyped()
    {
        auto row = makeRow();
        row->show();
        QSignalSpy phi(row.get(), &CBeamSelectionTrack::phiChanged);
        ModalAnswerer answerer;
        answerer.fillAndPress("360", "OK");
        doubleClick(*row, row->azimuthCell());
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].title, QString("azimuth"));
        QVERIFY(answerer.seen()[0].labels.contains("azimuth angle in degree:"));
        QCOMPARE(row->azimuthCell()->text(), QString("360"));
        QCOMPARE(phi.count(), 1);
        QCOMPARE(phi.at(0), (QVariantList{3, 360}));
    }

    void dialogsReportConfirmedAnswersOnly()
    {
        auto row = makeRow();
        row->show();
        SignalLog log;
        log.watch(row.get(), &CBeamSelectionTrack::labelChanged, "label");
        log.watch(row.get(), &CBeamSelectionTrack::thetaChanged, "theta");
        log.watch(row.get(), &CBeamSelectionTrack::colorChanged, "color");
        ModalAnswerer answerer;
        answerer.fillAndPress("Vocals", "OK")
            .fillAndPress("120", "OK")
            .press("Cancel")
            .fillAndPress("ignored", "Cancel")
            .answerWith([](QWidget* dialog) {
                auto* colours = qobject_cast<QColorDialog*>(dialog);
                QVERIFY(colours);
                QCOMPARE(colours->currentColor(), QColor(220, 220, 220));
                colours->setCurrentColor(QColor(10, 200, 30));
                colours->accept();
            });
        doubleClick(*row, row->labelCell());
        doubleClick(*row, row->elevationCell());
        doubleClick(*row, row->azimuthCell());
        doubleClick(*row, row->labelCell());
        doubleClick(*row, row->swatch());
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(answerer.seen()[0].title, QString("label"));
        QVERIFY(answerer.seen()[0].labels.contains("new label for beam track:"));
        QCOMPARE(answerer.seen()[1].title, QString("elevation"));
        QVERIFY(answerer.seen()[1].labels.contains("elevation angle in degree:"));

        QCOMPARE(log.names(), (QStringList{"label", "theta", "color"}));
        QCOMPARE(log.entries()[0].arguments, (QVariantList{3, QString("Vocals")}));
        QCOMPARE(log.entries()[1].arguments, (QVariantList{3, 120}));
        QCOMPARE(log.entries()[2].arguments.at(1).value<QColor>(), QColor(10, 200, 30));
        QCOMPARE(row->label(), QString("Vocals"));
        // The tooltip keeps the label the editor set.
        QCOMPARE(row->labelCell()->toolTip(), QString("beam 4"));
        QCOMPARE(row->theta(), 120);
        QCOMPARE(row->phi(), 10);
        QCOMPARE(row->color(), QColor(10, 200, 30));
    }

    void theGainWindowIsMadeOnceAndBroughtForward()
    {
        auto row = makeRow();
        row->setVolume(-3.0f);
        row->show();
        doubleClick(*row, row->volumeBar());
        QPointer<QWidget> window = row->gainWindow();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(row->gainStrip()->label(), QString("beam 4"));
        QCOMPARE(row->gainStrip()->volume(), -3.0f);
        QCOMPARE(row->gainStrip()->minDb(), -20);
        QCOMPARE(row->gainStrip()->maxDb(), 20);

        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        doubleClick(*row, row->volumeBar());
        QCOMPARE(row->gainWindow(), window.data());
        QTRY_COMPARE(QApplication::activeWindow(), window.data());

        // Hidden with the row; the next double-click shows the same window.
        row->hide();
        QVERIFY(!window->isVisible());
        row->show();
        doubleClick(*row, row->volumeBar());
        QCOMPARE(row->gainWindow(), window.data());
        QVERIFY(window->isVisible());

        row.reset();
        QVERIFY(window.isNull());
    }

    void theGainStripDrivesTheBarAndReportsBothLevels()
    {
        auto row = makeRow();
        row->openGainWindow();
        SignalLog log;
        log.watch(row.get(), &CBeamSelectionTrack::gainChanged, "gain");
        log.watch(row.get(), &CBeamSelectionTrack::volumeChanged, "volume");
        row->gainStrip()->setVolume(6.0f);
        QCOMPARE(log.names(), (QStringList{"gain", "volume"}));
        QCOMPARE(log.entries()[0].arguments.at(0).toInt(), 3);
        QVERIFY(std::abs(log.entries()[0].arguments.at(1).toFloat() - std::pow(10.0f, 0.3f)) < 1e-4f);
        QCOMPARE(log.entries()[1].arguments.at(1).toFloat(), 6.0f);
        QCOMPARE(row->volumeBar()->value(), 6.0f);

        // The row's own setter moves the strip too.
        row->setVolume(-12.0f);
        QCOMPARE(row->gainStrip()->volume(), -12.0f);
        QCOMPARE(row->volume(), -12.0f);
    }

    void theMuteButtonIsAtMostSixteenSquare_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("side");
        QTest::newRow("28") << 28 << 16;
        QTest::newRow("16") << 16 << 16;
        QTest::newRow("12") << 12 << 12;
    }

    void theMuteButtonIsAtMostSixteenSquare()
    {
        QFETCH(int, width);
        QFETCH(int, side);
        auto row = makeRow(width);
        QCOMPARE(row->muteButton()->size(), QSize(side, side));
        QCOMPARE(row->muteButton()->minimumSize(), QSize(side, side));
        QCOMPARE(row->muteButton()->maximumSize(), QSize(side, side));
    }

    void muteReportsClicksButNotItsSetter()
    {
        auto row = makeRow();
        QSignalSpy mute(row.get(), &CBeamSelectionTrack::muteChanged);
        row->setMute(true);
        QVERIFY(row->isMuted());
        QCOMPARE(mute.count(), 0);
        row->muteButton()->click();
        QCOMPARE(mute.count(), 1);
        QCOMPARE(mute.at(0), (QVariantList{3, false}));
        QVERIFY(!row->isMuted());
    }

    void aPressOnTheHighlightedRowEmitsNothing()
    {
        auto row = makeRow();
        row->show();
        QSignalSpy clicked(row.get(), &CBeamSelectionTrack::trackClicked);
        const QPoint margin(3, row->height() / 2);
        QTest::mousePress(row.get(), Qt::LeftButton, {}, margin);
        QTest::mouseRelease(row.get(), Qt::LeftButton, {}, margin);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 3);
        row->setSelected(true);
        QTest::mousePress(row.get(), Qt::LeftButton, {}, margin);
        QCOMPARE(clicked.count(), 1);
    }

    void theHighlightPaintsTheTrackColour()
    {
        auto row = makeRow();
        row->setColor(QColor(200, 40, 60));
        row->show();
        // Left of 0.1 x width the gradient holds its first stop.
        const QPoint probe(3, row->height() / 2);
        ORVELAN_EXPECT_COLOUR(grabImage(row.get()), probe.x(), probe.y(), QColor(220, 220, 220), 2);
        row->setSelected(true);
        ORVELAN_EXPECT_COLOUR(grabImage(row.get()), probe.x(), probe.y(), QColor(200, 40, 60), 2);
        // The swatch is a disc of the colour on a transparent square.
        const QImage swatch = row->swatch()->pixmap().toImage();
        QCOMPARE(swatch.size(), QSize(30, 20));
        ORVELAN_EXPECT_COLOUR(swatch, 15, 10, QColor(200, 40, 60), 0);
        QCOMPARE(swatch.pixelColor(0, 0).alpha(), 0);
    }
};

ORVELAN_APP_TEST_MAIN(BeamSelectionTrackTest)
#include "beam_selection_track_test.moc"

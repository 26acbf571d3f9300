// The whole program as a user meets it, in-process on a virtual device
// whose clock paces the stream in real time: a demo take chosen as file
// input, a third beam track added and steered by dragging on the azimuth
// display, the beams recorded for about two seconds, the window closed
// and opened again. What the program recorded is read back with an
// independent reader and compared sample for sample with the chain run
// offline over the same file with the same beams; the beam steered onto
// the demo's tone hears it well above the same pattern turned away.
#include "app/window_fixture.h"

#include <sndfile.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "demo/demo_take.h"
#include "demo/offline_chain.h"
#include "support/app_test_main.h"
#include "support/azimuth_points.h"
#include "support/chain_fixtures.h"
#include "support/demo_band.h"
#include "support/modal_answerer.h"
#include "support/mouse_events.h"
#include "widgets/audio_file_navigator.h"
#include "widgets/audio_transport.h"
#include "widgets/beam_display_azimuth.h"
#include "widgets/beam_selection.h"
#include "widgets/beam_selection_track.h"
#include "widgets/hp_selection.h"
#include "widgets/input_source_selection.h"
#include "widgets/recording_sink_selection.h"
#include "widgets/volume_unit.h"

using orvelan::app::CBeamDisplayAzimuth;
using orvelan::app::CBeamSelection;
using orvelan::app::CInputSourceSelection;
using orvelan::app::Ro32App;
using orvelan::apptest::kBoxDriver;
using orvelan::apptest::listDriver;
using orvelan::apptest::ModalAnswerer;
using orvelan::io::CAudioGraph;
namespace demo = orvelan::demo;

namespace {

constexpr double kTakeSeconds = 4.0;
constexpr int kRate = demo::kDemoSampleRate;
// The stream runs until the file has played this far.
constexpr int kRunFrames = 2 * kRate;
// Bounds on waiting for the stream, generous for a loaded machine.
constexpr int kStreamBoundMs = 60000;
// The output sink, whose takes hold the beams.
constexpr int kOutputSink = 1;
// Tracks 2 and 3 (indices 1 and 2) share this pattern: one is steered onto
// the tone, the other away from it.
constexpr const char* kDirectional = "card2";
constexpr int kAwayPhi = 270;

struct Recording {
    int format = 0;
    int channels = 0;
    int rate = 0;
    long long frames = 0;
};

Recording inspect(const QString& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!file)
        return {};
    sf_close(file);
    return {info.format, info.channels, info.samplerate, static_cast<long long>(info.frames)};
}

}  // namespace

class DemoTakeEndToEndTest : public QObject {
    Q_OBJECT

    QString take;

private slots:
    void initTestCase()
    {
        take = QDir::current().absoluteFilePath(QString::fromLatin1(demo::kDemoFileName));
        QCOMPARE(demo::writeDemoTake(take.toStdString(), kTakeSeconds), 0);
        // The clock paces the stream, so it plays while the test waits (the
        // catalog takes the last of two values of a key).
        listDriver(kBoxDriver, 32, 24, ",clock=paced");
    }

    void theDemoTakeIsBeamformedRecordedAndRemembered()
    {
        QFile::remove("orvelan.ini");
        ModalAnswerer answerer;
        auto window = orvelan::apptest::openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        // File input of the take, chosen in the open dialog.
        CInputSourceSelection* source = window->inputSource();
        source->fileButton()->click();
        answerer.chooseFile(take);
        source->openButton()->click();
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(source->fileName(), take);
        CAudioGraph* graph = window->graph();
        QCOMPARE(graph->inputMode(), int(CAudioGraph::kFileInput));
        QCOMPARE(graph->processingMode(), int(CAudioGraph::kBeamforming));
        const int takeFrames = demo::demoTakeFrames(kTakeSeconds);
        QCOMPARE(graph->fileReader().numFrames(), qint64(takeFrames));
        QCOMPARE(window->navigator()->numSamples(), takeFrames);

        // "+" adds the third track.
        CBeamSelection* tracks = window->beamSelection();
        QCOMPARE(tracks->beamTrackCount(), 2);
        tracks->addButton()->click();
        QCOMPARE(tracks->beamTrackCount(), 3);
        const int pattern = tracks->indexOfName(kDirectional);
        QVERIFY(pattern > 0);
        for (int track : {1, 2})
            tracks->track(track)->patternBox()->setCurrentIndex(pattern);

        // Track 2 looks away from the tone by a click at 270 degrees, track
        // 3 is dragged from 0 to 90 degrees, onto it.
        CBeamDisplayAzimuth* display = window->azimuthDisplay();
        display->grab();
        using orvelan::apptest::azimuthDisplayPoint;
        const QPoint from = azimuthDisplayPoint(*display, 0.0), to = azimuthDisplayPoint(*display, 90.0),
                     away = azimuthDisplayPoint(*display, kAwayPhi);
        QCOMPARE(display->angleOf(from).value_or(-1.0f), 0.0f);
        QCOMPARE(display->angleOf(to).value_or(-1.0f), 90.0f);
        QCOMPARE(display->angleOf(away).value_or(-1.0f), float(kAwayPhi));
        orvelan::apptest::mousePress(tracks->track(1), QPoint(2, 2));
        QCOMPARE(display->activeIndex(), 1);
        orvelan::apptest::mouseClick(display, away);
        orvelan::apptest::mousePress(tracks->track(2), QPoint(2, 2));
        QCOMPARE(display->activeIndex(), 2);
        QCOMPARE(tracks->trackPhi(2), 0);
        orvelan::apptest::mousePress(display, from);
        orvelan::apptest::mouseMove(display, to);
        orvelan::apptest::mouseRelease(display, to);

        const int rowPhis[] = {0, kAwayPhi, 90};
        for (int track = 0; track < 3; ++track) {
            QCOMPARE(tracks->trackPhi(track), rowPhis[track]);
            QCOMPARE(tracks->track(track)->azimuthCell()->text(), QString::number(rowPhis[track]));
            int chainPhi = -1;
            QCOMPARE(graph->beamformer().getChannelParameter(track, CRo32::kPhi, &chainPhi, 1, vxTypeInt32), vxOK);
            QCOMPARE(chainPhi, rowPhis[track]);
            QCOMPARE(display->curve(track)->phi(), double(rowPhis[track]));
        }

        // Output armed, Rec, Start; Stop once two seconds of the take played.
        QVERIFY(!window->recordingSinks()->isActive(0));
        window->recordingSinks()->armButton(kOutputSink)->click();
        window->transport()->recordButton()->click();
        window->transport()->startButton()->click();
        QVERIFY(graph->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(graph->fileReader().currentPosition() >= kRunFrames, kStreamBoundMs);
        // Played before Stop; the stream may run a few blocks more.
        const qint64 playedBeforeStop = graph->fileReader().currentPosition();
        // A start waits (bounded) for the disk's first buffer, so the take
        // normally starts with the file; blocks of silence from a disk slower
        // than that bound lead the take and do not advance the file.
        const qint64 leadBlocks = qint64(graph->fileReader().silentBlocks());
        QCOMPARE(graph->recorder(kOutputSink).droppedBlocks(), 0u);
        window->transport()->stopButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!graph->isRunning(), kStreamBoundMs);

        // What the offline chain makes of the file with the window's beams.
        std::vector<demo::BeamSetting> beams;
        for (int track = 0; track < tracks->beamTrackCount(); ++track)
            beams.push_back({.pattern = tracks->patternIndex(track),
                             .variant = tracks->parameterIndex(track),
                             .phi = float(tracks->trackPhi(track)),
                             .theta = float(tracks->trackTheta(track)),
                             .gain = float(tracks->trackGain(track)),
                             .mute = tracks->isTrackMuted(track)});
        demo::OfflineChainOptions options;
        options.outputs = window->device().numOutputs;
        options.sampleRate = window->device().sampleRate;
        options.frames = window->device().bufferLength;
        options.masterGain = window->outputStrip()->gain();
        options.highpass = window->hpSelection()->selectedIndex();

        // Closing asks about the changed tracks; they are discarded.
        answerer.press("Discard");
        QVERIFY(window->close());
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(answerer.failures(), QStringList());
        window.reset();

        // One beam take, as long as the run; no capsule take in file mode.
        const QStringList outs = QDir().entryList({"out_*.wav"});
        QCOMPARE(outs.size(), 1);
        QVERIFY2(QRegularExpression(R"(^out_\d{6}_\d{6}\.wav$)").match(outs[0]).hasMatch(), qPrintable(outs[0]));
        QCOMPARE(QDir().entryList({"mic_*"}), QStringList());
        const Recording recorded = inspect(outs[0]);
        QCOMPARE(recorded.format, SF_FORMAT_WAVEX | SF_FORMAT_PCM_24);
        QCOMPARE(recorded.channels, 3);
        QCOMPARE(recorded.rate, kRate);
        // Every block streamed: the silent lead, then the file from its
        // first frame, at least as far as it had played before Stop and
        // within one pass of the take.
        QCOMPARE(recorded.frames % options.frames, 0);
        const qint64 lead = leadBlocks * options.frames;
        const qint64 played = recorded.frames - lead;
        QVERIFY2(played >= playedBeforeStop && played < takeFrames,
                 qPrintable(QString("%1 frames recorded after a lead of %2, %3 played before Stop")
                                .arg(recorded.frames)
                                .arg(lead)
                                .arg(playedBeforeStop)));

        // After the lead, sample for sample what the chain makes of the file
        // offline, within one 24-bit step. A block of silence in the middle
        // (the disk late) would shift everything after it.
        const demo::OfflineChainRun offline = demo::runChainOffline(take.toStdString(), beams, options);
        QCOMPARE(offline.result, 0);
        const auto samples = orvelan::io::testing::readWave24(outs[0].toStdString());
        QCOMPARE(int(samples.size()), 3);
        for (int beam = 0; beam < 3; ++beam) {
            const std::vector<int> expected = orvelan::io::testing::to24Bit(offline.beams[beam]);
            for (qint64 i = 0; i < played; ++i) {
                const int got = samples[beam][lead + i], want = expected[i];
                if (std::abs(got - want) > 1)
                    QFAIL(qPrintable(QString("beam %1, file frame %2 (%3 silent blocks): recorded %4, offline %5")
                                         .arg(beam + 1)
                                         .arg(i)
                                         .arg(leadBlocks)
                                         .arg(got)
                                         .arg(want)));
            }
        }

        // The beam dragged onto the tone hears it at least 10 dB above the
        // same pattern turned away, past the fade-in.
        const auto floats = orvelan::io::testing::readWaveFloats(outs[0].toStdString());
        const std::size_t start = lead + kRate / 4;
        QVERIFY(start + orvelan::io::testing::kDemoBandWindow <= std::size_t(recorded.frames));
        const double onTone = orvelan::io::testing::demoBandEnergy(floats[2], start, demo::kDemoTone);
        const double offTone = orvelan::io::testing::demoBandEnergy(floats[1], start, demo::kDemoTone);
        const double db = 10.0 * std::log10(onTone / offTone);
        QVERIFY2(db >= 10.0, qPrintable(QString("%1 dB above the beam turned away").arg(db)));

        // The settings file keeps file input of the take, and a new window
        // in the same folder comes back to it.
        QSettings ini("orvelan.ini", QSettings::IniFormat);
        QCOMPARE(ini.value("inputMode").toInt(), 1);
        QCOMPARE(ini.value("sensorFile").toString(), take);
        auto reopened = orvelan::apptest::openWindow();
        QCOMPARE(reopened->inputSource()->mode(), CInputSourceSelection::File);
        QCOMPARE(reopened->inputSource()->fileName(), take);
        QCOMPARE(reopened->graph()->inputMode(), int(CAudioGraph::kFileInput));
        QCOMPARE(reopened->graph()->processingMode(), int(CAudioGraph::kBeamforming));
        QCOMPARE(reopened->graph()->fileReader().numFrames(), qint64(takeFrames));
        QCOMPARE(reopened->navigator()->numSamples(), takeFrames);
        // The discarded tracks are gone: the two a first start makes.
        QCOMPARE(reopened->beamSelection()->beamTrackCount(), 2);
        QCOMPARE(answerer.seen().size(), 2);  // the file dialog and the closing question
    }
};

ORVELAN_APP_TEST_MAIN(DemoTakeEndToEndTest)
#include "demo_take_end_to_end_test.moc"

// Takes the main window records while the virtual device streams on its
// own clock (a sine on every input), read back from disk: both sinks write
// whole files of the same length, as many capsule channels as the array
// has and as many beam channels as there are tracks; closing the window in
// the middle of a take finishes both files with nothing lost; a sink whose
// file cannot be opened says so and the other sink still records.
#include "app/window_fixture.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

#include "asio/asio_host.h"
#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "wavefile/wave_file.h"
#include "widgets/audio_transport.h"
#include "widgets/beam_selection.h"
#include "widgets/recording_sink_selection.h"

using orvelan::app::CAudioTransport;
using orvelan::app::Ro32App;
using orvelan::apptest::kBoxDriver;
using orvelan::apptest::listDriver;
using orvelan::apptest::ModalAnswerer;
using orvelan::io::CWaveFile;

namespace {

constexpr int kCapsuleSink = 0;
constexpr int kBeamSink = 1;
constexpr int kBlock = 256;  // the virtual device's period

// What a finished take holds, as its header tells and the file's size
// confirms.
struct Take {
    QString name;
    int channels = 0;
    int sampleRate = 0;
    qint64 frames = 0;
    bool headerFinal = false;  // the header's sizes account for every byte
};

Take readTake(const QString& name)
{
    Take take;
    take.name = name;
    CWaveFile file;
    if (file.open(QFile::encodeName(name).toStdString(), CWaveFile::OpenMode::ReadOnly) != 0)
        return take;
    take.channels = file.channels();
    take.sampleRate = file.sampleRate();
    take.frames = static_cast<qint64>(file.numFrames());
    take.headerFinal = file.dataSize() > 0
        && static_cast<qint64>(file.dataStart() + file.dataSize()) <= QFileInfo(name).size()
        && static_cast<qint64>(file.dataSize()) == take.frames * file.blockAlign();
    file.close();
    return take;
}

// The one take of a sink in the working directory.
Take onlyTake(const char* base)
{
    const QStringList names = QDir().entryList({QString("%1_*.wav").arg(base)}, QDir::Files);
    if (names.size() != 1)
        return Take{names.join(','), 0, 0, 0, false};
    return readTake(names.first());
}

void removeTakes()
{
    for (const QString& name : QDir().entryList({"mic_*", "out_*"}, QDir::Files | QDir::System))
        QFile::remove(name);
}

}  // namespace

class Ro32AppRecordingThreadsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Ro32App> window;
    std::unique_ptr<ModalAnswerer> answerer;

    void armAndRecord(std::initializer_list<int> sinks)
    {
        for (int sink : sinks)
            window->recordingSinks()->armButton(sink)->setChecked(true);
        window->transport()->setState(CAudioTransport::kStateRecordOn);
        window->transport()->setState(CAudioTransport::kStateStart);
        QVERIFY(orvelan::io::asioIsRunning());
    }

    // Lets the device stream for about a second, the event loop running.
    static void streamFor(int ms) { QTest::qWait(ms); }

    // Two takes of one run: same length to the frame, final headers, the
    // window's recording format.
    void checkTakePair(const Take& capsules, const Take& beams, int beamChannels)
    {
        QCOMPARE(capsules.channels, 32);
        QCOMPARE(beams.channels, beamChannels);
        for (const Take& take : {capsules, beams}) {
            QVERIFY2(take.headerFinal, qPrintable(take.name));
            QCOMPARE(take.sampleRate, 44100);
            // About a second went by: many blocks, whole blocks only.
            QVERIFY2(take.frames >= 40 * kBlock, qPrintable(QString::number(take.frames)));
            QCOMPARE(take.frames % kBlock, qint64(0));
        }
        QCOMPARE(capsules.frames, beams.frames);
    }

private slots:
    void init()
    {
        QFile::remove("orvelan.ini");
        removeTakes();
        listDriver(kBoxDriver, 32, 24, ",clock=paced,input=sine");
        answerer = std::make_unique<ModalAnswerer>();
        window = orvelan::apptest::openWindow();
    }

    void cleanup()
    {
        QCOMPARE(answerer->failures(), QStringList());
        window.reset();
        answerer.reset();
    }

    void bothSinksRecordWholeTakesOfOneLength()
    {
        const int beams = window->beamSelection()->beamTrackCount();
        QVERIFY(beams > 0);
        armAndRecord({kCapsuleSink, kBeamSink});
        streamFor(1200);
        window->transport()->setState(CAudioTransport::kStateStop);
        window->transport()->setState(CAudioTransport::kStateRecordOff);
        checkTakePair(onlyTake("mic"), onlyTake("out"), beams);
        QVERIFY(answerer->seen().isEmpty());
    }

    // The user closes the window in the middle of a take and discards the
    // tracks: the destructor's order stops the stream before the files go,
    // so both are finished and hold the same blocks.
    void closingWhileStreamingAndRecordingFinishesBothTakes()
    {
        const int beams = window->beamSelection()->beamTrackCount();
        armAndRecord({kCapsuleSink, kBeamSink});
        streamFor(1200);
        answerer->press("Discard");
        QVERIFY(window->close());
        window.reset();
        QVERIFY(QFileInfo::exists("orvelan.ini"));
        checkTakePair(onlyTake("mic"), onlyTake("out"), beams);
    }

    // A name the capsule sink will pick that leads nowhere: dangling links
    // for the seconds around now (the sink takes the first free name, and a
    // dangling link does not count as taken) into a folder that does not
    // exist.
    void aSinkThatCannotOpenItsFileSaysSoAndTheOtherRecords()
    {
        const QDateTime now = QDateTime::currentDateTime();
        for (int s = -2; s <= 30; ++s) {
            const QDateTime at = now.addSecs(s);
            const QString name = "mic" + at.date().toString("_MMddyy") + at.time().toString("_hhmmss") + ".wav";
            QVERIFY(QFile::link("no_such_folder/take.wav", name));
        }
        answerer->press("OK");
        const int beams = window->beamSelection()->beamTrackCount();
        armAndRecord({kCapsuleSink, kBeamSink});
        QCOMPARE(answerer->pending(), 0);
        QCOMPARE(answerer->seen().size(), 1);
        QCOMPARE(answerer->seen().value(0).labels, QStringList{"Error opening record file!"});
        streamFor(800);
        window->transport()->setState(CAudioTransport::kStateStop);
        window->transport()->setState(CAudioTransport::kStateRecordOff);
        const Take take = onlyTake("out");
        QCOMPARE(take.channels, beams);
        QVERIFY(take.headerFinal);
        QVERIFY(take.frames >= 20 * kBlock);
        QVERIFY(!QFileInfo::exists("no_such_folder"));
    }
};

ORVELAN_APP_TEST_MAIN(Ro32AppRecordingThreadsTest)
#include "ro32app_recording_threads_test.moc"

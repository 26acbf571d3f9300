// The main window's transport and input source on the virtual device
// without a box: a file's channel count decides between beamforming and
// pass-through (and which controls are open), a file that cannot be read
// is reported with the chain's code, starting and stopping tell the beam
// editor, and recording with both sinks opens a capsule and a beam take.
#include "app/window_fixture.h"

#include <QCheckBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#include "asio/asio_host.h"
#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "widgets/audio_transport.h"
#include "widgets/beam_selection.h"
#include "widgets/input_source_selection.h"
#include "widgets/recording_sink_selection.h"

using orvelan::app::CAudioTransport;
using orvelan::app::Ro32App;
using orvelan::apptest::kBoxDriver;
using orvelan::apptest::listDriver;
using orvelan::apptest::ModalAnswerer;
using orvelan::io::CAudioGraph;

namespace {

// A 16-bit PCM WAVE file of silence at 44100 Hz.
void writeWave(const QString& name, int channels, int frames)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 data = static_cast<quint32>(channels * frames * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + data);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(44100) << quint32(44100 * channels * 2)
        << quint16(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << data;
    for (quint32 k = 0; k < data / 2; ++k)
        out << qint16(0);
}

}  // namespace

class Ro32AppTransportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Ro32App> window;
    std::unique_ptr<ModalAnswerer> answerer;

    // The user switches to file input and chooses the file.
    void chooseFile(const QString& name)
    {
        window->inputSource()->fileButton()->click();
        window->inputSource()->setFileName(name);
        emit window->inputSource()->fileNameChanged(name);
    }

private slots:
    void initTestCase()
    {
        writeWave("array.wav", 32, 4410);
        writeWave("stereo.wav", 2, 4410);
        QFile text("notes.wav");
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a wave file at all, just some words");
    }

    void init()
    {
        QFile::remove("orvelan.ini");
        listDriver(kBoxDriver);
        answerer = std::make_unique<ModalAnswerer>();
        window = orvelan::apptest::openWindow();
    }

    void cleanup()
    {
        QCOMPARE(answerer->failures(), QStringList());
        window.reset();
        answerer.reset();
    }

    void fileChannelsDecideTheProcessing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("beamforming");
        QTest::newRow("whole array") << "array.wav" << true;
        QTest::newRow("two channels") << "stereo.wav" << false;
    }

    void fileChannelsDecideTheProcessing()
    {
        QFETCH(QString, file);
        QFETCH(bool, beamforming);
        chooseFile(file);
        CAudioGraph* graph = window->graph();
        QCOMPARE(graph->inputMode(), int(CAudioGraph::kFileInput));
        QCOMPARE(graph->processingMode(), beamforming ? int(CAudioGraph::kBeamforming) : int(CAudioGraph::kPassThrough));
        QCOMPARE(graph->fileReader().numFrames(), qint64(4410));
        QCOMPARE(window->beamSelection()->isEnabled(), beamforming);
        QCOMPARE(window->recordingSinks()->isEnabled(), beamforming);
        QCOMPARE(window->inputSource()->fileName(), file);
    }

    void unreadableFileIsReportedAndForgotten()
    {
        answerer->press("OK");
        chooseFile("notes.wav");
        QCOMPARE(answerer->pending(), 0);
        const ModalAnswerer::Seen seen = answerer->seen().value(0);
        QCOMPARE(seen.title, QString("Orvelan"));
        QVERIFY(seen.labels.filter(QRegularExpression(R"(^Error loading wave file \(erroNo:\d+\)\.$)")).size() == 1);
        QVERIFY(window->inputSource()->fileName().isEmpty());
    }

    void startAndStopTellTheEditor()
    {
        window->transport()->setState(CAudioTransport::kStateStart);
        QVERIFY(window->beamSelection()->streamingActive());
        QVERIFY(orvelan::io::asioIsRunning());
        window->transport()->setState(CAudioTransport::kStateStop);
        QVERIFY(!window->beamSelection()->streamingActive());
        QVERIFY(!orvelan::io::asioIsRunning());
    }

    void aFileChosenWhileStreamingStopsTheStream()
    {
        window->transport()->setState(CAudioTransport::kStateStart);
        QVERIFY(orvelan::io::asioIsRunning());
        chooseFile("array.wav");
        QVERIFY(!orvelan::io::asioIsRunning());
        QVERIFY(!window->beamSelection()->streamingActive());
        QCOMPARE(window->graph()->processingMode(), int(CAudioGraph::kBeamforming));
    }

    void recordingWithBothSinksOpensTwoTakes()
    {
        for (int sink = 0; sink < 2; ++sink)
            window->recordingSinks()->armButton(sink)->setChecked(true);
        window->transport()->setState(CAudioTransport::kStateRecordOn);
        QVERIFY(!window->recordingSinks()->isEnabled());
        // Both takes are open, under the sinks' base names.
        for (const char* base : {"mic", "out"})
            QCOMPARE(QDir().entryList({QString("%1_*.wav").arg(base)}).size(), 1);
        window->transport()->setState(CAudioTransport::kStateRecordOff);
        QVERIFY(window->recordingSinks()->isEnabled());
    }
};

ORVELAN_APP_TEST_MAIN(Ro32AppTransportTest)
#include "ro32app_transport_test.moc"

// The window's audio device on the virtual device: the driver choice with
// its dialog and messages, rate and block length, the input list, the output
// list from the box's groups or from a count and offset with the monitor
// channels after it, and the reconfiguration sequence. Every message box and
// dialog is answered by the modal answerer and its text checked verbatim.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "app/audio_device.h"
#include "app/settings_file.h"
#include "asio/asio_host.h"
#include "audio/backends/builtin_drivers.h"
#include "support/app_test_main.h"
#include "support/modal_answerer.h"

using orvelan::app::CAppSettings;
using orvelan::app::CAudioDeviceSetup;
using orvelan::apptest::ModalAnswerer;
namespace io = orvelan::io;
namespace audio = orvelan::audio;

namespace {

const QString kBox = QString::fromLatin1(CAudioDeviceSetup::kBoxDriverName);
const QString kSecond = QStringLiteral("Second Device");
const QString kWide = QStringLiteral("Wide Device");
const QString kOrvelan = QStringLiteral("Orvelan");

struct Flavour {
    QString name;
    int inputs;
    int outputs;
    QString extra;  // further options, ",key=value..."
};

// The catalog's environment entries: virtual devices under the given names,
// on the manual clock so that nothing streams behind the test's back.
void listDrivers(const QList<Flavour>& flavours, const QString& before = {})
{
    QStringList entries;
    if (!before.isEmpty())
        entries << before;
    for (const Flavour& f : flavours)
        entries << QString("%1=%2,inputs=%3,outputs=%4,clock=manual%5")
                       .arg(f.name, QString::fromLatin1(audio::kVirtualClassId))
                       .arg(f.inputs)
                       .arg(f.outputs)
                       .arg(f.extra);
    qputenv(audio::kCatalogEnvironmentVariable, entries.join(';').toLatin1());
}

QStringList catalogOrder()
{
    QStringList names;
    for (const audio::CatalogDriver& driver : audio::defaultCatalog().drivers())
        names << QString::fromStdString(driver.entry.description);
    return names;
}

QList<int> range(int first, int last)
{
    QList<int> list;
    for (int c = first; c <= last; ++c)
        list << c;
    return list;
}

// The window's transport as the reconfiguration sees it: stopping and
// starting the stream, each noted in the log.
CAudioDeviceSetup::Transport loggingTransport(QStringList& log)
{
    return {[&log] {
                log << "stop";
                io::asioStop();
            },
            [&log] {
                log << "start";
                io::asioStart();
            }};
}

void pressIn(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    if (auto* buttons = dialog->findChild<QDialogButtonBox*>())
        if (QPushButton* button = buttons->button(which))
            button->click();
}

}  // namespace

class AudioDeviceTest : public QObject {
    Q_OBJECT

private:
    CAppSettings settings;
    QWidget window;
    std::unique_ptr<CAudioDeviceSetup> device;
    std::unique_ptr<ModalAnswerer> answerer;

    // The device chosen and its limits, inputs and rate set, as at start-up
    // but for the outputs.
    void openDriver(const QString& name)
    {
        QCOMPARE(device->selectAsioDevice(name), 0);
        device->updateChannelLimits();
        QCOMPARE(device->setSampleRate(44100.0), 0);
        QCOMPARE(device->setBufferLength(0), 0);
        QCOMPARE(device->selectInputs(), 0);
    }

    void expectWarning(int index, const QString& text)
    {
        QVERIFY(answerer->seen().size() > index);
        const ModalAnswerer::Seen& seen = answerer->seen()[index];
        QCOMPARE(seen.title, kOrvelan);
        QVERIFY2(seen.labels.contains(text), qPrintable(seen.labels.join(" | ")));
        QCOMPARE(seen.buttons, QStringList{"OK"});
    }

    void expectNoFailures()
    {
        QVERIFY2(answerer->failures().isEmpty(), qPrintable(answerer->failures().join("; ")));
        QCOMPARE(answerer->pending(), 0);
    }

private slots:
    void initTestCase()
    {
        // No user catalog file of this machine reaches the tests.
        qputenv("XDG_CONFIG_HOME", QDir::currentPath().toLocal8Bit());
    }

    void init()
    {
        settings.loadDefaultSettings();
        device = std::make_unique<CAudioDeviceSetup>(&window, kOrvelan, settings);
        answerer = std::make_unique<ModalAnswerer>();
    }

    void cleanup()
    {
        if (io::asioIsRunning())
            io::asioStop();
        io::asioExitEngine();
        answerer.reset();
        device.reset();
    }

    void boxDriverListedOpensWithoutAsking()
    {
        listDrivers({{kSecond, 8, 12, {}}, {kBox, 32, 24, {}}});
        QCOMPARE(device->selectAsioDevice(device->defaultDriverName), 0);
        QCOMPARE(device->currentDriverName, kBox);
        QVERIFY(device->usesBoxDriver());
        QVERIFY(io::asioBuffersReady());
        QVERIFY(answerer->seen().isEmpty());
        expectNoFailures();

        device->updateChannelLimits();
        QCOMPARE(device->availableInputs, 32);
        QCOMPARE(device->availableOutputs, 18);
        QCOMPARE(device->driverOutputs, 24);
        QCOMPARE(device->selectInputs(), 0);
        QCOMPARE(device->numInputs, 32);
        QCOMPARE(io::asioNumActiveInputs(), 32);
    }

    void missingBoxDriverAsksInCatalogOrder_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("a driver chosen") << true;
        QTest::newRow("cancelled") << false;
    }

    void missingBoxDriverAsksInCatalogOrder()
    {
        QFETCH(bool, choose);
        listDrivers({{kSecond, 8, 12, {}}, {kWide, 32, 24, {}}});
        const QStringList expected = catalogOrder();
        QVERIFY(expected.endsWith(kWide) && expected.indexOf(kSecond) == expected.size() - 2);

        QStringList listed;
        int current = -1;
        bool editable = true;
        answerer->answerWith([&](QWidget* dialog) {
            auto* combo = dialog->findChild<QComboBox*>();
            QVERIFY(combo);
            for (int i = 0; i < combo->count(); ++i)
                listed << combo->itemText(i);
            current = combo->currentIndex();
            editable = combo->isEditable();
            QCOMPARE(dialog->parentWidget(), &window);
            if (choose) {
                combo->setCurrentIndex(combo->findText(kSecond));
                pressIn(dialog, QDialogButtonBox::Ok);
            } else {
                pressIn(dialog, QDialogButtonBox::Cancel);
            }
        });
        if (!choose)
            answerer->press("OK");

        const int result = device->selectAsioDevice(device->defaultDriverName);
        QCOMPARE(listed, expected);
        QCOMPARE(current, 0);
        QVERIFY(!editable);
        const ModalAnswerer::Seen& asked = answerer->seen().value(0);
        QCOMPARE(asked.title, QStringLiteral("Audio Device"));
        QVERIFY(asked.labels.contains("Default Audio device is not present, please select one from the list..."));
        if (choose) {
            QCOMPARE(result, 0);
            QCOMPARE(device->currentDriverName, kSecond);
            QCOMPARE(QString(io::asioCurrentDriver()), kSecond);
            QVERIFY(io::asioBuffersReady());
            QCOMPARE(answerer->seen().size(), 1);
        } else {
            QCOMPARE(result, 1);
            QVERIFY(device->currentDriverName.isEmpty());
            expectWarning(1, "No ASIO device selected");
        }
        expectNoFailures();
    }

    void noDriverOrNoneThatOpens()
    {
        // Nothing listed at all: the built-in entries taken away too.
        listDrivers({}, "Virtual Audio Device=;JACK=;ALSA default=");
        answerer->press("OK");
        QCOMPARE(device->selectAsioDevice(device->defaultDriverName), 1);
        expectWarning(0, "No ASIO device available.\nPlease try connecting the hardware or try rebooting");

        // The box's driver is listed but cannot be made: the list is offered,
        // and the same driver chosen again fails with the other message.
        listDrivers({{kBox, 32, 24, ",inputs=many"}});
        answerer->answerWith([](QWidget* dialog) {
            auto* combo = dialog->findChild<QComboBox*>();
            combo->setCurrentIndex(combo->findText(kBox));
            pressIn(dialog, QDialogButtonBox::Ok);
        });
        answerer->press("OK");
        QCOMPARE(device->selectAsioDevice(device->defaultDriverName), 1);
        QCOMPARE(answerer->seen()[1].title, QStringLiteral("Audio Device"));
        expectWarning(2, "No ASIO device is available.\nPlease try connecting the hardware or try rebooting");
        QVERIFY(device->currentDriverName.isEmpty());
        expectNoFailures();
    }

    void withoutBuffersSettingsAreOnlyNoted()
    {
        listDrivers({}, "Virtual Audio Device=;JACK=;ALSA default=");
        answerer->press("OK");
        device->initAudioDevice();
        // What the chain is then built for: the requested rate, 8192
        // frames, 32 inputs and at most 18 outputs.
        QCOMPARE(device->sampleRate, 44100.0f);
        QCOMPARE(device->bufferLength, 8192);
        QCOMPARE(device->availableInputs, 32);
        QCOMPARE(device->availableOutputs, 18);
        QCOMPARE(device->numInputs, 32);
        QCOMPARE(device->activeOutputs, range(0, 7));
        QCOMPARE(device->monitorOutputPositions, (QList<int>{0, 1}));
        QCOMPARE(device->setSampleRate(0), 0);
        QCOMPARE(device->sampleRate, 48000.0f);
        QCOMPARE(device->setBufferLength(512), 1);
        QCOMPARE(device->bufferLength, 512);
        QCOMPARE(device->setInputChannels(8, 0), 1);
        QCOMPARE(device->setOutputChannels({0, 1}), 1);
        QCOMPARE(answerer->seen().size(), 1);
        expectNoFailures();
    }

    void rateAndBlockLength()
    {
        listDrivers({{kBox, 32, 24, ",rate=48000,bufferSize=256"}});
        QCOMPARE(device->selectAsioDevice(kBox), 0);
        QCOMPARE(device->setSampleRate(0), 0);
        QCOMPARE(device->sampleRate, 48000.0f);
        QCOMPARE(device->setSampleRate(44100.0), 0);
        QCOMPARE(device->sampleRate, 44100.0f);
        // Neither native nor reached by resampling: refused without a word.
        QCOMPARE(device->setSampleRate(96000.0), 2);
        QCOMPARE(device->sampleRate, 44100.0f);

        QCOMPARE(device->setBufferLength(0), 0);
        QCOMPARE(device->bufferLength, 256);
        QCOMPARE(device->setBufferLength(512), 0);
        QCOMPARE(device->bufferLength, 512);
        QVERIFY(answerer->seen().isEmpty());
        expectNoFailures();
    }

    // While the stream runs the host refuses every change (kAsioRunning).
    void refusalsOfTheHostAreShown()
    {
        listDrivers({{kBox, 32, 24, {}}});
        openDriver(kBox);
        QCOMPARE(io::asioStart(), 1);
        const int running = CAudioDeviceSetup::kDriverFailure + io::kAsioRunning;
        // Warnings on the window, with their one OK button.
        int onWindow = 0;
        for (int i = 0; i < 4; ++i) {
            answerer->answerWith([&](QWidget* dialog) {
                auto* box = qobject_cast<QMessageBox*>(dialog);
                QVERIFY(box);
                onWindow += box->parentWidget() == &window && box->icon() == QMessageBox::Warning;
                box->button(QMessageBox::Ok)->click();
            });
        }
        QCOMPARE(device->setSampleRate(48000.0), running);
        QCOMPARE(device->sampleRate, 44100.0f);
        QCOMPARE(device->setBufferLength(1024), running);
        QCOMPARE(device->setInputChannels(8, 0), running);
        QCOMPARE(device->configureAsioOutputs(), running);
        expectWarning(0, "Can't set sample rate.\nPlease close other applications or try rebooting");
        expectWarning(1, "Can't set buffer length.\nPlease try rebooting");
        expectWarning(2, "Couldn't set inputs...\nPlease try connecting the hardware or try rebooting");
        expectWarning(3, "Couldn't set outputs...\nPlease check output settings, connect the hardware or try "
                         "rebooting");
        QCOMPARE(onWindow, 4);
        expectNoFailures();
    }

    void boxGroupsMakeTheOutputList_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("monitorOffset");
        QTest::addColumn<QList<int>>("outputs");
        QTest::addColumn<int>("firstAfter");
        QTest::addColumn<int>("beams");
        QTest::addColumn<QList<int>>("monitorPositions");

        QTest::newRow("headphone and ADAT, ADAT first")
            << 7 << 3 << 2 << 0 << (range(8, 15) << 0 << 1) << 2 << 10 << QList<int>{8, 9};
        QTest::newRow("all three, 8-LO first")
            << 7 << 7 << 4 << 0 << (range(16, 23) + range(8, 15) << 0 << 1) << 4 << 18 << QList<int>{16, 17};
        QTest::newRow("all three, headphone first")
            << 7 << 7 << 1 << 0 << (QList<int>{0, 1} + range(8, 15) + range(16, 23)) << 1 << 18 << QList<int>{0, 1};
        QTest::newRow("all three, ADAT first")
            << 7 << 7 << 2 << 0 << (range(8, 15) + range(16, 23) << 0 << 1) << 2 << 18 << QList<int>{16, 17};
        QTest::newRow("a first group the box lacks becomes 2")
            << 3 << 2 << 4 << 0 << (range(8, 15) << 0 << 1) << 2 << 8 << QList<int>{8, 9};
        QTest::newRow("no first group stored") << 3 << 3 << 0 << 0 << (range(8, 15) << 0 << 1) << 2 << 10
                                               << QList<int>{8, 9};
        QTest::newRow("a rest that is no single group adds nothing")
            << 7 << 6 << 1 << 0 << (QList<int>{0, 1}) << 1 << 2 << QList<int>{0, 1};
        QTest::newRow("monitor on beam outputs shares their places")
            << 7 << 2 << 2 << 8 << range(8, 15) << 2 << 8 << QList<int>{0, 1};
        QTest::newRow("monitor half on the beams") << 7 << 2 << 2 << 15 << (range(8, 16)) << 2 << 8
                                                   << QList<int>{7, 8};
        QTest::newRow("monitor beyond the outputs moves to 0")
            << 7 << 2 << 2 << 23 << (range(8, 15) << 0 << 1) << 2 << 8 << QList<int>{8, 9};
    }

    void boxGroupsMakeTheOutputList()
    {
        QFETCH(int, available);
        QFETCH(int, active);
        QFETCH(int, first);
        QFETCH(int, monitorOffset);
        QFETCH(QList<int>, outputs);
        QFETCH(int, firstAfter);
        QFETCH(int, beams);
        QFETCH(QList<int>, monitorPositions);

        listDrivers({{kBox, 32, 24, {}}});
        openDriver(kBox);
        device->availableZorbOutputGroups = available;
        settings.zorbActiveOutputGroups = active;
        settings.zorbFirstOutputGroup = first;
        settings.numMonitorChannels = 2;
        settings.monitorChannelOffset = monitorOffset;
        QCOMPARE(device->configureAsioOutputs(), 0);
        QCOMPARE(device->activeOutputs, outputs);
        QCOMPARE(device->numOutputs, int(outputs.size()));
        QCOMPARE(io::asioNumActiveOutputs(), int(outputs.size()));
        QCOMPARE(settings.zorbFirstOutputGroup, firstAfter);
        QCOMPARE(settings.numOutputChannels, beams);
        QCOMPARE(device->monitorOutputPositions, monitorPositions);
        expectNoFailures();
    }

    void countAndOffsetMakeTheOutputList_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("monitorOffset");
        QTest::addColumn<QList<int>>("outputs");
        QTest::addColumn<int>("beams");
        QTest::addColumn<QList<int>>("monitorPositions");
        QTest::addColumn<int>("monitorOffsetAfter");

        // Second Device: 12 outputs; Wide Device: 24.
        QTest::newRow("8 from 4 of 12, monitor appended")
            << kSecond << 8 << 4 << 0 << (range(4, 11) << 0 << 1) << 8 << QList<int>{8, 9} << 0;
        QTest::newRow("channels past the driver's are dropped")
            << kSecond << 12 << 4 << 0 << (range(4, 11) << 0 << 1) << 8 << QList<int>{8, 9} << 0;
        QTest::newRow("monitor beyond the outputs moves to 0")
            << kSecond << 8 << 0 << 11 << range(0, 7) << 8 << QList<int>{0, 1} << 0;
        QTest::newRow("monitor on the last two outputs stays")
            << kSecond << 8 << 0 << 10 << (range(0, 7) << 10 << 11) << 8 << QList<int>{8, 9} << 10;
        QTest::newRow("monitor shares a beam output")
            << kSecond << 8 << 0 << 7 << range(0, 8) << 8 << QList<int>{7, 8} << 7;
        // Past the beam limit on a device with more outputs than beams.
        QTest::newRow("offset 12 of 24 keeps all 8 beams")
            << kWide << 8 << 12 << 20 << (range(12, 19) << 20 << 21) << 8 << QList<int>{8, 9} << 20;
        QTest::newRow("at most 18 beams on 24 outputs")
            << kWide << 24 << 0 << 22 << (range(0, 17) << 22 << 23) << 18 << QList<int>{18, 19} << 22;
        QTest::newRow("18 beams from 6 reach output 23")
            << kWide << 18 << 6 << 0 << (range(6, 23) << 0 << 1) << 18 << QList<int>{18, 19} << 0;
    }

    void countAndOffsetMakeTheOutputList()
    {
        QFETCH(QString, driver);
        QFETCH(int, count);
        QFETCH(int, offset);
        QFETCH(int, monitorOffset);
        QFETCH(QList<int>, outputs);
        QFETCH(int, beams);
        QFETCH(QList<int>, monitorPositions);
        QFETCH(int, monitorOffsetAfter);

        listDrivers({{kSecond, 8, 12, {}}, {kWide, 32, 24, {}}});
        openDriver(driver);
        QCOMPARE(device->numInputs, driver == kSecond ? 8 : 32);
        settings.numOutputChannels = count;
        settings.outputChannelOffset = offset;
        settings.numMonitorChannels = 2;
        settings.monitorChannelOffset = monitorOffset;
        QCOMPARE(device->configureAsioOutputs(), 0);
        QCOMPARE(device->activeOutputs, outputs);
        QCOMPARE(io::asioNumActiveOutputs(), int(outputs.size()));
        QCOMPARE(settings.numOutputChannels, beams);
        QCOMPARE(device->monitorOutputPositions, monitorPositions);
        QCOMPARE(settings.monitorChannelOffset, monitorOffsetAfter);
        expectNoFailures();
    }

    void reconfiguration_data()
    {
        QTest::addColumn<bool>("streaming");
        QTest::addColumn<int>("failingStep");  // -1 none
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("result");

        QTest::newRow("stopped, all steps")
            << false << -1 << QStringList{"outputs 12", "step 0", "step 1", "step 2"} << 0;
        QTest::newRow("streaming, all steps")
            << true << -1 << QStringList{"stop", "outputs 12", "step 0", "step 1", "step 2", "start"} << 0;
        QTest::newRow("streaming, a step fails")
            << true << 1 << QStringList{"stop", "outputs 12", "step 0", "step 1", "start"} << 5;
        QTest::newRow("stopped, the first step fails")
            << false << 0 << QStringList{"outputs 12", "step 0"} << 5;
    }

    void reconfiguration()
    {
        QFETCH(bool, streaming);
        QFETCH(int, failingStep);
        QFETCH(QStringList, log);
        QFETCH(int, result);

        listDrivers({{kSecond, 8, 12, {}}});
        openDriver(kSecond);
        QCOMPARE(device->configureAsioOutputs(), 0);
        if (streaming)
            QCOMPARE(io::asioStart(), 1);

        QStringList seen;
        std::vector<std::function<int()>> steps;
        for (int i = 0; i < 3; ++i) {
            steps.push_back([&, i] {
                // The outputs are configured before the first step, on a
                // stopped stream.
                if (i == 0)
                    seen << QString("outputs %1").arg(io::asioNumActiveOutputs());
                seen << QString("step %1").arg(i);
                return io::asioIsRunning() ? 99 : i == failingStep ? 5 : 0;
            });
        }
        settings.numOutputChannels = 10;
        settings.outputChannelOffset = 2;
        QCOMPARE(device->reconfigure(loggingTransport(seen), steps), result);
        QCOMPARE(seen, log);
        QCOMPARE(io::asioIsRunning(), streaming);
        expectNoFailures();
    }

    void reconfigurationWhoseOutputsFailStillRestarts()
    {
        // A box driver with fewer outputs than the box's groups need.
        listDrivers({{kBox, 32, 16, {}}});
        openDriver(kBox);
        device->availableZorbOutputGroups = 7;
        QCOMPARE(io::asioStart(), 1);
        settings.zorbActiveOutputGroups = 4;
        settings.zorbFirstOutputGroup = 4;
        QStringList seen;
        answerer->press("OK");
        const int result = device->reconfigure(loggingTransport(seen), {[&] {
                                                   seen << "step";
                                                   return 0;
                                               }});
        QCOMPARE(result, CAudioDeviceSetup::kDriverFailure + io::kAsioChannelList);
        QCOMPARE(seen, (QStringList{"stop", "start"}));
        QVERIFY(io::asioIsRunning());
        expectWarning(0, "Couldn't set outputs...\nPlease check output settings, connect the hardware or try "
                         "rebooting");
        expectNoFailures();
    }
};

ORVELAN_APP_TEST_MAIN(AudioDeviceTest)
#include "audio_device_test.moc"

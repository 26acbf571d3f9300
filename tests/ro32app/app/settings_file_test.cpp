// The settings file "orvelan.ini": defaults when "version" is missing,
// zeros for missing keys, the keys as files spell them, whole dB for the
// faders, nothing kept of what the file held before, a round trip, and a
// file as the program's first generation wrote it.
#include <QFile>
#include <QSettings>
#include <QTest>

#include "app/settings_file.h"
#include "support/app_test_main.h"

using orvelan::app::CAppSettings;
using orvelan::app::SettingsWidgetValues;

namespace {

const QString kFile = QStringLiteral("orvelan.ini");

void writeText(const QString& fileName, const QByteArray& text)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray readText(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every field set to something no default or zero gives.
CAppSettings unusualFields()
{
    CAppSettings s;
    s.inputMode = 1;
    s.preampVolume = -10;
    s.inputSliderVolume = 4.0f;
    s.outputMasterVolume = -6.5f;
    s.monitorVolume = -9;
    s.monitorSection = 0;
    s.monitorChannel = 17;
    s.monitorEnabled = true;
    s.fcHp = 3;
    s.beamTrackSettings = QStringLiteral("tracks/stage left.ovs");
    s.sensorFile = QStringLiteral("takes/take, 1.wav");
    s.zorbActiveOutputGroups = 7;
    s.zorbFirstOutputGroup = 4;
    s.numOutputChannels = 18;
    s.outputChannelOffset = 3;
    s.numMonitorChannels = 1;
    s.monitorChannelOffset = 5;
    return s;
}

SettingsWidgetValues widgetsOf(const CAppSettings& s)
{
    SettingsWidgetValues w;
    w.inputMode = s.inputMode;
    w.preampVolume = s.preampVolume;
    w.inputSliderVolume = s.inputSliderVolume;
    w.outputMasterVolume = s.outputMasterVolume;
    w.monitorEnabled = s.monitorEnabled;
    w.monitorVolume = float(s.monitorVolume);
    w.monitorSection = s.monitorSection;
    w.monitorChannel = s.monitorChannel;
    w.fcHp = s.fcHp;
    w.beamTrackSettings = s.beamTrackSettings;
    w.sensorFile = s.sensorFile;
    return w;
}

void compareFields(const CAppSettings& actual, const CAppSettings& expected)
{
    QCOMPARE(actual.inputMode, expected.inputMode);
    QCOMPARE(actual.preampVolume, expected.preampVolume);
    QCOMPARE(actual.inputSliderVolume, expected.inputSliderVolume);
    QCOMPARE(actual.outputMasterVolume, expected.outputMasterVolume);
    QCOMPARE(actual.monitorVolume, expected.monitorVolume);
    QCOMPARE(actual.monitorSection, expected.monitorSection);
    QCOMPARE(actual.monitorChannel, expected.monitorChannel);
    QCOMPARE(actual.monitorEnabled, expected.monitorEnabled);
    QCOMPARE(actual.fcHp, expected.fcHp);
    QCOMPARE(actual.beamTrackSettings, expected.beamTrackSettings);
    QCOMPARE(actual.sensorFile, expected.sensorFile);
    QCOMPARE(actual.zorbActiveOutputGroups, expected.zorbActiveOutputGroups);
    QCOMPARE(actual.zorbFirstOutputGroup, expected.zorbFirstOutputGroup);
    QCOMPARE(actual.numOutputChannels, expected.numOutputChannels);
    QCOMPARE(actual.outputChannelOffset, expected.outputChannelOffset);
    QCOMPARE(actual.numMonitorChannels, expected.numMonitorChannels);
    QCOMPARE(actual.monitorChannelOffset, expected.monitorChannelOffset);
}

}  // namespace

class AppSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QFile::remove(kFile); }

    void withoutVersionTheDefaultsHold_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("keys but no version") << QByteArray("[General]\npreampVolume=-10\nnumOutputChannels=3\n");
    }

    void withoutVersionTheDefaultsHold()
    {
        QFETCH(QByteArray, text);
        if (!text.isEmpty())
            writeText(kFile, text);
        CAppSettings s = unusualFields();
        s.loadSettings(kFile);

        // A fresh start: preamplifier at 20 dB, the monitor on and listening
        // to output channel 0, two monitor channels, 8 outputs from 0.
        CAppSettings expected;
        expected.inputSliderVolume = 0.0f;
        expected.outputMasterVolume = 0.0f;
        expected.inputMode = 0;
        expected.preampVolume = 20;
        expected.monitorEnabled = true;
        expected.monitorVolume = 0;
        expected.monitorSection = 1;
        expected.monitorChannel = 0;
        expected.fcHp = 0;
        expected.zorbActiveOutputGroups = 2;
        expected.zorbFirstOutputGroup = 2;
        expected.numOutputChannels = 8;
        expected.outputChannelOffset = 0;
        expected.numMonitorChannels = 2;
        expected.monitorChannelOffset = 0;
        compareFields(s, expected);
    }

    void missingKeysReadAsZeroNotAsDefaults()
    {
        writeText(kFile, "[General]\nversion=1\n");
        CAppSettings s = unusualFields();
        s.loadSettings(kFile);
        compareFields(s, CAppSettings{});
        // The monitor is off and no first group is chosen (the device set-up
        // then puts group 2 first).
        QVERIFY(!s.monitorEnabled);
        QCOMPARE(s.zorbFirstOutputGroup, 0);
    }

    void monitorOffsetKeyIsSpeltAsFilesHaveIt()
    {
        CAppSettings s;
        s.loadDefaultSettings();
        s.monitorChannelOffset = 5;
        s.writeSettings(kFile, widgetsOf(s));
        const QByteArray text = readText(kFile);
        QVERIFY2(text.contains("\nminitorChannelOffset=5\n"), text.constData());
        QVERIFY(!text.contains("monitorChannelOffset"));

        // Two files: the toolkit's cache would take a second file of the same
        // name, size and time for the first.
        writeText("minitor.ini", "[General]\nversion=10501\nminitorChannelOffset=7\n");
        s.loadSettings("minitor.ini");
        QCOMPARE(s.monitorChannelOffset, 7);
        writeText("monitor.ini", "[General]\nversion=10501\nmonitorChannelOffset=7\n");
        s.loadSettings("monitor.ini");
        QCOMPARE(s.monitorChannelOffset, 0);
    }

    void fadersAreKeptInWholeDbCutTowardZero_data()
    {
        QTest::addColumn<float>("dB");
        QTest::addColumn<int>("stored");
        QTest::newRow("-3.5") << -3.5f << -3;
        QTest::newRow("-0.9") << -0.9f << 0;
        QTest::newRow("2.9") << 2.9f << 2;
        QTest::newRow("-12") << -12.0f << -12;
    }

    void fadersAreKeptInWholeDbCutTowardZero()
    {
        QFETCH(float, dB);
        QFETCH(int, stored);
        CAppSettings s;
        s.loadDefaultSettings();
        SettingsWidgetValues widgets = widgetsOf(s);
        widgets.inputSliderVolume = dB;
        widgets.monitorVolume = dB;
        s.writeSettings(kFile, widgets);

        const QByteArray text = readText(kFile);
        QVERIFY2(text.contains("\ninputSliderVolume=" + QByteArray::number(stored) + "\n"), text.constData());
        QVERIFY2(text.contains("\nmonitorVolume=" + QByteArray::number(stored) + "\n"), text.constData());
        CAppSettings back;
        back.loadSettings(kFile);
        QCOMPARE(back.inputSliderVolume, float(stored));
        QCOMPARE(back.monitorVolume, stored);
    }

    void monitorVolumeWithAFractionReadsCutTowardZero()
    {
        writeText(kFile, "[General]\nversion=10501\nmonitorVolume=-4.8\ninputSliderVolume=-4.8\n");
        CAppSettings s;
        s.loadSettings(kFile);
        QCOMPARE(s.monitorVolume, -4);
        QCOMPARE(s.inputSliderVolume, -4.8f);
    }

    void writingDropsWhatTheFileHeld()
    {
        writeText(kFile, "[General]\nversion=10501\nwindowGeometry=12\nsampleRate=48000\n"
                         "[Recording]\ndirectory=/tmp\n");
        CAppSettings s;
        s.loadSettings(kFile);
        s.writeSettings(kFile, widgetsOf(s));

        QSettings file(kFile, QSettings::IniFormat);
        QStringList keys = file.allKeys();
        keys.sort();
        QStringList expected{"version", "inputMode", "preampVolume", "inputSliderVolume", "outputMasterVolume",
                             "monitorEnabled", "monitorVolume", "monitorSection", "monitorChannel", "fcHp",
                             "beamTrackSettings", "zorbActiveOutputGroups", "zorbFirstOutputGroup",
                             "numOutputChannels", "outputChannelOffset", "numMonitorChannels",
                             "minitorChannelOffset", "sensorFile"};
        expected.sort();
        QCOMPARE(keys, expected);
        QCOMPARE(file.value("version").toInt(), 10501);
    }

    void roundTrip()
    {
        const CAppSettings written = unusualFields();
        written.writeSettings(kFile, widgetsOf(written));
        CAppSettings read;
        read.loadDefaultSettings();
        read.loadSettings(kFile);
        compareFields(read, written);
    }

    void firstGenerationFileLoads()
    {
        // Floats as the first generation's toolkit wrote them: a type id
        // (135) and the value as a big-endian single, in a @Variant.
        writeText(kFile, R"([General]
version=10501
inputMode=1
preampVolume=30
inputSliderVolume=-6
outputMasterVolume=@Variant(\0\0\0\x87\xc0\xd0\0\0)
monitorEnabled=false
monitorVolume=-3
monitorSection=0
monitorChannel=12
fcHp=2
beamTrackSettings=C:/Users/rec/stage.ovs
zorbActiveOutputGroups=3
zorbFirstOutputGroup=2
numOutputChannels=10
outputChannelOffset=0
numMonitorChannels=2
minitorChannelOffset=8
sensorFile=C:/takes/choir.wav
)");
        CAppSettings s;
        s.loadSettings(kFile);
        QCOMPARE(s.outputMasterVolume, -6.5f);
        QCOMPARE(s.inputMode, 1);
        QCOMPARE(s.preampVolume, 30);
        QCOMPARE(s.inputSliderVolume, -6.0f);
        QVERIFY(!s.monitorEnabled);
        QCOMPARE(s.monitorVolume, -3);
        QCOMPARE(s.monitorChannel, 12);
        QCOMPARE(s.fcHp, 2);
        QCOMPARE(s.beamTrackSettings, QStringLiteral("C:/Users/rec/stage.ovs"));
        QCOMPARE(s.zorbActiveOutputGroups, 3);
        QCOMPARE(s.numOutputChannels, 10);
        QCOMPARE(s.monitorChannelOffset, 8);
        QCOMPARE(s.sensorFile, QStringLiteral("C:/takes/choir.wav"));
    }
};

ORVELAN_APP_TEST_MAIN(AppSettingsTest)
#include "settings_file_test.moc"

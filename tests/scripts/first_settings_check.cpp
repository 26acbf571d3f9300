// Reads the settings file scripts/run writes on a first start, as the window
// reads it, and checks that it gives every default but file input of the
// given take. Exit 0 when it does; each difference is printed.
//
//   scripts_first_settings_check orvelan.ini TAKE.wav
#include <QString>
#include <QVariant>

#include <cstdio>

#include "app/settings_file.h"

using orvelan::app::CAppSettings;

namespace {

int differences = 0;

template <typename Value>
void expectEqual(const char* field, const Value& read, const Value& expected)
{
    if (read == expected)
        return;
    ++differences;
    std::printf("%s: read %s, expected %s\n", field, qPrintable(QVariant::fromValue(read).toString()),
                qPrintable(QVariant::fromValue(expected).toString()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s orvelan.ini TAKE.wav\n", argv[0]);
        return 2;
    }
    CAppSettings read;
    read.loadSettings(QString::fromLocal8Bit(argv[1]));
    CAppSettings expected;
    expected.loadDefaultSettings();
    expected.inputMode = 1;
    expected.sensorFile = QString::fromLocal8Bit(argv[2]);

#define ORVELAN_EXPECT_FIELD(name) expectEqual(#name, read.name, expected.name)
    ORVELAN_EXPECT_FIELD(inputMode);
    ORVELAN_EXPECT_FIELD(preampVolume);
    ORVELAN_EXPECT_FIELD(inputSliderVolume);
    ORVELAN_EXPECT_FIELD(outputMasterVolume);
    ORVELAN_EXPECT_FIELD(monitorVolume);
    ORVELAN_EXPECT_FIELD(monitorSection);
    ORVELAN_EXPECT_FIELD(monitorChannel);
    ORVELAN_EXPECT_FIELD(monitorEnabled);
    ORVELAN_EXPECT_FIELD(fcHp);
    ORVELAN_EXPECT_FIELD(beamTrackSettings);
    ORVELAN_EXPECT_FIELD(sensorFile);
    ORVELAN_EXPECT_FIELD(zorbActiveOutputGroups);
    ORVELAN_EXPECT_FIELD(zorbFirstOutputGroup);
    ORVELAN_EXPECT_FIELD(numOutputChannels);
    ORVELAN_EXPECT_FIELD(outputChannelOffset);
    ORVELAN_EXPECT_FIELD(numMonitorChannels);
    ORVELAN_EXPECT_FIELD(monitorChannelOffset);
#undef ORVELAN_EXPECT_FIELD
    return differences == 0 ? 0 : 1;
}

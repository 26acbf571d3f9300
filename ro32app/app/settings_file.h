// The application's own settings: the fields the window starts from and the
// ini file "orvelan.ini" they are kept in between runs. Reading fills the
// fields; writing takes the channel fields from here and everything the
// widgets hold from a plain record the window fills, so the file can be
// read and written without any widget.
#pragma once

#include <QString>

namespace orvelan::app {

// What the widgets hold when the file is written.
struct SettingsWidgetValues {
    int inputMode = 0;             // the input source's mode (0 live, 1 file)
    int preampVolume = 0;          // the preamplifier step in dB
    float inputSliderVolume = 0;   // the input fader in dB
    float outputMasterVolume = 0;  // the main output strip in dB
    bool monitorEnabled = false;   // the monitor's on/off switch
    float monitorVolume = 0;       // the monitor strip in dB
    int monitorSection = 0;        // 1 when the monitor listens to an output channel, else 0
    int monitorChannel = 0;        // the channel within that section
    int fcHp = 0;                  // the high-pass choice
    QString beamTrackSettings;     // the beam-track settings file in use
    QString sensorFile;            // the input file
};

class CAppSettings {
public:
    // The value of "version": the program's version 1.5.1 as one number.
    static constexpr int kVersion = 10501;

    // A file without "version" (a missing one included) gives the defaults;
    // otherwise every key is read as it stands, a missing key as zero, false
    // or empty. Nothing is reported.
    void loadSettings(const QString& fileName);
    // Clears the file (keys it held before are gone) and writes every key.
    // A failure to write goes unreported.
    void writeSettings(const QString& fileName, const SettingsWidgetValues& widgets) const;
    void loadDefaultSettings();

    int inputMode = 0;
    int preampVolume = 0;
    float inputSliderVolume = 0;
    float outputMasterVolume = 0;
    int monitorVolume = 0;
    int monitorSection = 0;
    int monitorChannel = 0;
    bool monitorEnabled = false;
    int fcHp = 0;
    QString beamTrackSettings;
    QString sensorFile;
    int zorbActiveOutputGroups = 0;  // the box's output groups in use (bit mask)
    int zorbFirstOutputGroup = 0;    // the group that comes first (1, 2 or 4)
    int numOutputChannels = 0;       // beam output channels
    int outputChannelOffset = 0;     // their first driver channel
    int numMonitorChannels = 0;
    int monitorChannelOffset = 0;
};

}  // namespace orvelan::app

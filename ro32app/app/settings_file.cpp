#include "app/settings_file.h"

#include <QSettings>

namespace orvelan::app {

namespace {

// The keys as files have always spelt them; "minitorChannelOffset" included,
// or files written before would lose the monitor's position.
const QString kVersionKey = QStringLiteral("version");
const QString kInputMode = QStringLiteral("inputMode");
const QString kPreampVolume = QStringLiteral("preampVolume");
const QString kInputSliderVolume = QStringLiteral("inputSliderVolume");
const QString kOutputMasterVolume = QStringLiteral("outputMasterVolume");
const QString kMonitorEnabled = QStringLiteral("monitorEnabled");
const QString kMonitorVolume = QStringLiteral("monitorVolume");
const QString kMonitorSection = QStringLiteral("monitorSection");
const QString kMonitorChannel = QStringLiteral("monitorChannel");
const QString kFcHp = QStringLiteral("fcHp");
const QString kBeamTrackSettings = QStringLiteral("beamTrackSettings");
const QString kZorbActiveOutputGroups = QStringLiteral("zorbActiveOutputGroups");
const QString kZorbFirstOutputGroup = QStringLiteral("zorbFirstOutputGroup");
const QString kNumOutputChannels = QStringLiteral("numOutputChannels");
const QString kOutputChannelOffset = QStringLiteral("outputChannelOffset");
const QString kNumMonitorChannels = QStringLiteral("numMonitorChannels");
const QString kMonitorChannelOffset = QStringLiteral("minitorChannelOffset");
const QString kSensorFile = QStringLiteral("sensorFile");

}  // namespace

void CAppSettings::loadSettings(const QString& fileName)
{
    QSettings settings(fileName, QSettings::IniFormat);
    if (!settings.contains(kVersionKey)) {
        loadDefaultSettings();
        return;
    }
    // No defaults here: a key the file lacks reads as zero, false or empty.
    inputMode = settings.value(kInputMode).toInt();
    preampVolume = settings.value(kPreampVolume).toInt();
    inputSliderVolume = settings.value(kInputSliderVolume).toFloat();
    outputMasterVolume = settings.value(kOutputMasterVolume).toFloat();
    monitorEnabled = settings.value(kMonitorEnabled).toBool();
    monitorVolume = static_cast<int>(settings.value(kMonitorVolume).toFloat());
    monitorSection = settings.value(kMonitorSection).toInt();
    monitorChannel = settings.value(kMonitorChannel).toInt();
    fcHp = settings.value(kFcHp).toInt();
    beamTrackSettings = settings.value(kBeamTrackSettings).toString();
    zorbActiveOutputGroups = settings.value(kZorbActiveOutputGroups).toInt();
    zorbFirstOutputGroup = settings.value(kZorbFirstOutputGroup).toInt();
    numOutputChannels = settings.value(kNumOutputChannels).toInt();
    outputChannelOffset = settings.value(kOutputChannelOffset).toInt();
    numMonitorChannels = settings.value(kNumMonitorChannels).toInt();
    monitorChannelOffset = settings.value(kMonitorChannelOffset).toInt();
    sensorFile = settings.value(kSensorFile).toString();
}

void CAppSettings::writeSettings(const QString& fileName, const SettingsWidgetValues& widgets) const
{
    QSettings settings(fileName, QSettings::IniFormat);
    settings.clear();
    settings.setValue(kVersionKey, kVersion);
    settings.setValue(kInputMode, widgets.inputMode);
    settings.setValue(kPreampVolume, widgets.preampVolume);
    // The faders are kept in whole dB, cut toward zero.
    settings.setValue(kInputSliderVolume, static_cast<int>(widgets.inputSliderVolume));
    settings.setValue(kOutputMasterVolume, widgets.outputMasterVolume);
    settings.setValue(kMonitorEnabled, widgets.monitorEnabled);
    settings.setValue(kMonitorVolume, static_cast<int>(widgets.monitorVolume));
    settings.setValue(kMonitorSection, widgets.monitorSection);
    settings.setValue(kMonitorChannel, widgets.monitorChannel);
    settings.setValue(kFcHp, widgets.fcHp);
    settings.setValue(kBeamTrackSettings, widgets.beamTrackSettings);
    settings.setValue(kZorbActiveOutputGroups, zorbActiveOutputGroups);
    settings.setValue(kZorbFirstOutputGroup, zorbFirstOutputGroup);
    settings.setValue(kNumOutputChannels, numOutputChannels);
    settings.setValue(kOutputChannelOffset, outputChannelOffset);
    settings.setValue(kNumMonitorChannels, numMonitorChannels);
    settings.setValue(kMonitorChannelOffset, monitorChannelOffset);
    settings.setValue(kSensorFile, widgets.sensorFile);
    settings.sync();
}

void CAppSettings::loadDefaultSettings()
{
    inputSliderVolume = 0.0f;
    outputMasterVolume = 0.0f;
    inputMode = 0;
    preampVolume = 20;
    monitorEnabled = true;
    monitorVolume = 0;
    monitorSection = 1;
    monitorChannel = 0;
    beamTrackSettings.clear();
    fcHp = 0;
    zorbActiveOutputGroups = 2;
    zorbFirstOutputGroup = 2;
    numOutputChannels = 8;
    outputChannelOffset = 0;
    numMonitorChannels = 2;
    monitorChannelOffset = 0;
    sensorFile.clear();
}

}  // namespace orvelan::app

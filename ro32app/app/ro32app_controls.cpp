// The main window's controls: restoring them from the settings at start-up
// and taking in the box's calibration.
#include "app/ro32app.h"

#include <cmath>

#include "app/audio_device.h"
#include "app/zorb_bridge.h"
#include "asio/asio_host.h"
#include "options/ro_options.h"
#include "widgets/input_source_selection.h"
#include "widgets/input_volume.h"
#include "widgets/monitor_unit.h"
#include "widgets/volume_unit.h"

namespace orvelan::app {

void Ro32App::initControls()
{
    // Live input needs the whole array on the device; otherwise only files.
    const bool livePossible = io::asioBuffersReady() && device_->numInputs >= 32;
    inputSource_->setModeEnabled(CInputSourceSelection::Live, livePossible);
    if (!livePossible)
        settings_.inputMode = 1;
    inputSource_->setMode(settings_.inputMode == 1 ? CInputSourceSelection::File : CInputSourceSelection::Live);
    inputSource_->setFileName(settings_.sensorFile);

    inputVolumePanel_->setPreampVolume(settings_.preampVolume);
    inputVolumePanel_->setVolume(static_cast<int>(settings_.inputSliderVolume));
    outputStrip_->setVolume(settings_.outputMasterVolume);

    monitorPanel_->setStatus(settings_.monitorEnabled);
    monitorPanel_->setVolume(settings_.monitorVolume);
    monitorPanel_->setChannel(settings_.monitorSection, settings_.monitorChannel);

    optionsWindow_->setWindowTitle(mAppName);
    const int groups = device_->availableZorbOutputGroups;
    if (groups != 0) {
        optionsWindow_->addZorbOutputTab(groups, settings_.zorbActiveOutputGroups, settings_.zorbFirstOutputGroup);
        optionsWindow_->addZorbMonitorTab(groups, settings_.monitorChannelOffset, settings_.numMonitorChannels);
    } else {
        optionsWindow_->addOutputTab(settings_.numOutputChannels, settings_.outputChannelOffset,
                                     device_->availableOutputs, device_->driverOutputs);
        optionsWindow_->addMonitorTab(settings_.numMonitorChannels, settings_.monitorChannelOffset,
                                      device_->driverOutputs);
    }
}

// Only the calibration read is acted on; the next tick hands it to the
// chain.
void Ro32App::actOnMidiMessage(int cmd, int value)
{
    if (cmd != boxcontrol::zorb_cmd_calibration)
        return;
    if (value == 0) {
        calibrationReceived_ = false;
        return;
    }
    zorbBridge_->control().getCalibration(calibrationGains_.data(), static_cast<int>(calibrationGains_.size()));
    for (float& gain : calibrationGains_)
        gain = std::pow(10.0f, 0.05f * gain);
    calibrationReceived_ = true;
}

}  // namespace orvelan::app

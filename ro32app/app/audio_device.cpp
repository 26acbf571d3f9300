#include "app/audio_device.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include <algorithm>

#include "app/settings_file.h"
#include "asio/asio_host.h"

namespace orvelan::app {

namespace {

const QString kNoDeviceAvailable =
    QStringLiteral("No ASIO device is available.\nPlease try connecting the hardware or try rebooting");

// The box's first group followed by the others of all three.
QList<int> groupsAfter(int firstGroup)
{
    switch (firstGroup) {
    case 1: return {2, 4};
    case 2: return {4, 1};
    case 4: return {2, 1};
    default: return {};
    }
}

}  // namespace

CAudioDeviceSetup::CAudioDeviceSetup(QWidget* window, const QString& appName, CAppSettings& settings)
    : window_(window), appName_(appName), settings_(settings)
{
}

void CAudioDeviceSetup::warn(const QString& text) const
{
    QMessageBox::warning(window_, appName_, text);
}

void CAudioDeviceSetup::initAudioDevice()
{
    selectAsioDevice(defaultDriverName);
    updateChannelLimits();
    setSampleRate(defaultSampleRate);
    setBufferLength(requestedBufferLength);
    selectInputs();
    configureAsioOutputs();
}

int CAudioDeviceSetup::selectAsioDevice(const QString& defaultName)
{
    currentDriverName.clear();
    io::asioInitEngine();
    QStringList names;
    for (int i = 0; i < io::asioDriverCount(); ++i)
        if (const char* name = io::asioDriverName(i))
            names << QString::fromLatin1(name);
    if (names.isEmpty()) {
        warn(QStringLiteral("No ASIO device available.\nPlease try connecting the hardware or try rebooting"));
        return 1;
    }

    QString chosen;
    if (names.contains(defaultName) && io::asioOpenDriver(defaultName.toLatin1().constData()) == 0)
        chosen = defaultName;
    if (chosen.isEmpty()) {
        bool ok = false;
        chosen = QInputDialog::getItem(window_, QStringLiteral("Audio Device"),
                                       QStringLiteral("Default Audio device is not present, please select one "
                                                      "from the list..."),
                                       names, 0, false, &ok);
        if (!ok || chosen.isEmpty()) {
            warn(QStringLiteral("No ASIO device selected"));
            return 1;
        }
        if (io::asioOpenDriver(chosen.toLatin1().constData()) != 0) {
            warn(kNoDeviceAvailable);
            return 1;
        }
    }

    if (const int code = io::asioCreateBuffers(); code != 0) {
        warn(kNoDeviceAvailable);
        return code + kDriverFailure;
    }
    currentDriverName = chosen;
    return 0;
}

void CAudioDeviceSetup::updateChannelLimits()
{
    maxInputs = 32;
    maxOutputs = 18;
    if (io::asioBuffersReady()) {
        availableInputs = std::min(io::asioNumInputs(), maxInputs);
        driverOutputs = io::asioNumOutputs();
        availableOutputs = std::min(driverOutputs, maxOutputs);
    } else {
        availableInputs = maxInputs;
        availableOutputs = driverOutputs = maxOutputs;
    }
}

int CAudioDeviceSetup::setSampleRate(double rate)
{
    if (rate == 0.0) {
        sampleRate = io::asioBuffersReady() ? float(io::asioGetSampleRate()) : 48000.0f;
        return 0;
    }
    if (!io::asioBuffersReady()) {
        sampleRate = float(rate);
        return 1;
    }
    int result = 2;
    if (io::asioCanSampleRate(rate) != 0) {
        result = 0;
        if (const int code = io::asioSetSampleRate(rate); code != 0) {
            warn(QStringLiteral("Can't set sample rate.\nPlease close other applications or try rebooting"));
            result = code + kDriverFailure;
        }
    }
    sampleRate = float(io::asioGetSampleRate());
    return result;
}

int CAudioDeviceSetup::setBufferLength(int frames)
{
    if (frames == 0) {
        bufferLength = io::asioBuffersReady() ? io::asioBufferSize() : 8192;
        return 0;
    }
    if (!io::asioBuffersReady()) {
        bufferLength = frames;
        return 1;
    }
    int result = 0;
    if (const int code = io::asioSetBufferSize(frames); code != 0) {
        warn(QStringLiteral("Can't set buffer length.\nPlease try rebooting"));
        result = code + kDriverFailure;
    }
    bufferLength = io::asioBufferSize();
    return result;
}

int CAudioDeviceSetup::selectInputs()
{
    inputChannelOffset = 0;
    numInputs = usesBoxDriver() ? 32 : availableInputs;
    return setInputChannels(numInputs, 0);
}

int CAudioDeviceSetup::setInputChannels(int count, int offset)
{
    if (!io::asioBuffersReady())
        return 1;
    std::vector<int> list(std::size_t(std::max(count, 0)));
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i] = offset + int(i);
    if (const int code = io::asioSetInputChannels(list.data(), int(list.size())); code != 0) {
        warn(QStringLiteral("Couldn't set inputs...\nPlease try connecting the hardware or try rebooting"));
        return code + kDriverFailure;
    }
    return 0;
}

QList<int> CAudioDeviceSetup::groupChannels(int group)
{
    switch (group) {
    case 1: return {0, 1};
    case 2: return {8, 9, 10, 11, 12, 13, 14, 15};
    case 4: return {16, 17, 18, 19, 20, 21, 22, 23};
    default: return {};
    }
}

int CAudioDeviceSetup::configureAsioOutputs()
{
    QList<int> list;
    if (usesBoxDriver()) {
        // The box's groups are where the box puts them, whatever the driver
        // reports.
        if ((settings_.zorbFirstOutputGroup & availableZorbOutputGroups) == 0)
            settings_.zorbFirstOutputGroup = 2;
        list = groupChannels(settings_.zorbFirstOutputGroup);
        if (settings_.zorbActiveOutputGroups == 7) {
            for (int group : groupsAfter(settings_.zorbFirstOutputGroup))
                list += groupChannels(group);
        } else if (const int rest = settings_.zorbActiveOutputGroups ^ settings_.zorbFirstOutputGroup; rest != 0) {
            list += groupChannels(rest);
        }
    } else {
        // At most availableOutputs beams, each on a channel the driver has:
        // an offset may reach past the beam limit on a device with more
        // outputs than beams.
        const int beams = std::min(settings_.numOutputChannels, availableOutputs);
        for (int i = 0; i < beams; ++i)
            if (const int channel = settings_.outputChannelOffset + i; channel < driverOutputs)
                list << channel;
    }
    settings_.numOutputChannels = int(list.size());

    monitorOutputPositions.clear();
    if (settings_.monitorChannelOffset + settings_.numMonitorChannels > driverOutputs)
        settings_.monitorChannelOffset = 0;
    for (int i = 0; i < settings_.numMonitorChannels; ++i) {
        const int channel = settings_.monitorChannelOffset + i;
        int position = int(list.indexOf(channel));
        if (position < 0) {
            list << channel;
            position = int(list.size()) - 1;
        }
        monitorOutputPositions << position;
    }

    numOutputs = int(list.size());
    activeOutputs = list;
    return setOutputChannels(list);
}

int CAudioDeviceSetup::setOutputChannels(const QList<int>& list)
{
    if (!io::asioBuffersReady())
        return 1;
    if (const int code = io::asioSetOutputChannels(list.constData(), std::min(numOutputs, int(list.size())));
        code != 0) {
        warn(QStringLiteral(
            "Couldn't set outputs...\nPlease check output settings, connect the hardware or try rebooting"));
        return code + kDriverFailure;
    }
    return 0;
}

int CAudioDeviceSetup::reconfigure(const Transport& transport, const std::vector<std::function<int()>>& chainSteps)
{
    const bool wasStreaming = io::asioIsRunning();
    if (wasStreaming)
        transport.stop();
    int result = configureAsioOutputs();
    for (const auto& step : chainSteps) {
        if (result != 0)
            break;
        result = step();
    }
    if (wasStreaming)
        transport.start();
    return result;
}

}  // namespace orvelan::app

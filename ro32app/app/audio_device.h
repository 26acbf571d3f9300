// The window's audio device: which driver it runs on (the interface box's
// when it is there, else the user's choice), the channel limits, the rate
// and block length, the inputs, and the output list built from the box's
// output groups or from a plain count and offset with the monitor channels
// after it. Everything here runs on the GUI thread and goes through the
// process-wide device host; failures are shown as warnings on the window
// and returned as codes (0 success; 1 nothing to do it on: no device, none
// chosen, or no buffers yet; 2 a rate the host cannot run; 20000 plus the
// host's code when the host refuses).
#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace orvelan::app {

class CAppSettings;

class CAudioDeviceSetup {
public:
    // The interface box's driver: tried first, and the one whose outputs
    // come in groups.
    static constexpr char kBoxDriverName[] = "ASIO TCAT Dice EVM Platform";
    static constexpr int kDriverFailure = 20000;

    // Messages go to `window` under the title `appName`. The channel fields
    // (output count and offset, the box's groups, the monitor channels) are
    // those of `settings`; configuring the outputs writes back what it made
    // of them.
    CAudioDeviceSetup(QWidget* window, const QString& appName, CAppSettings& settings);

    // The start-up sequence, results ignored: with no device the window
    // still opens and works on files.
    void initAudioDevice();

    int selectAsioDevice(const QString& defaultName);
    void updateChannelLimits();
    int setSampleRate(double rate);
    int setBufferLength(int frames);
    int selectInputs();
    int setInputChannels(int count, int offset);
    // The driver channels of one of the box's output groups (1, 2 or 4);
    // none for any other value.
    static QList<int> groupChannels(int group);
    int configureAsioOutputs();
    int setOutputChannels(const QList<int>& list);

    bool usesBoxDriver() const { return currentDriverName == QLatin1String(kBoxDriverName); }

    // What a change of the output configuration runs: the transport is
    // stopped if it streams, the outputs are configured, then each chain
    // step runs only while all before it returned 0; the transport is
    // started again if it was streaming, whatever the steps gave. The
    // result is the first non-zero one, else 0.
    struct Transport {
        std::function<void()> stop;
        std::function<void()> start;
    };
    int reconfigure(const Transport& transport, const std::vector<std::function<int()>>& chainSteps);

    QString defaultDriverName = QString::fromLatin1(kBoxDriverName);
    QString currentDriverName;  // empty: no driver in use
    int maxInputs = 32;
    int maxOutputs = 18;        // and so at most 18 beams
    int availableInputs = 32;   // maxInputs capped by the driver
    int availableOutputs = 18;  // maxOutputs capped by the driver: the beams there can be
    // The driver's own output count, which channel numbers are checked
    // against (maxOutputs while there are no buffers).
    int driverOutputs = 18;
    int numInputs = 0;
    int inputChannelOffset = 0;
    QList<int> activeOutputs;           // the driver channels of the outputs, beams first
    int numOutputs = 0;                 // length of the active output list
    int availableZorbOutputGroups = 0;  // the box's usable groups: 0, 3 or 7
    QList<int> monitorOutputPositions;  // each monitor channel's place in the output list
    float sampleRate = 0;
    int bufferLength = 0;
    float defaultSampleRate = 44100.0f;
    int requestedBufferLength = 0;  // 0: the driver's block length

private:
    void warn(const QString& text) const;

    QWidget* window_;
    QString appName_;
    CAppSettings& settings_;
};

}  // namespace orvelan::app

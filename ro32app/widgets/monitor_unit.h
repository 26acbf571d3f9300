// The monitor (headphone) feed: on or off, the one channel it carries (any
// device input, then any processed output, in one list) and its gain on a
// fader strip. The channel counts are the device's and fixed for the
// panel's life.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;

namespace orvelan::app {

class CVolumeUnit;

class CMonitorUnit : public QWidget {
    Q_OBJECT

public:
    CMonitorUnit(int numInputs, int numOutputs, QWidget* parent = nullptr);

    bool status() const;
    // The selected channel counted from 0 within its kind.
    int channel() const;
    bool isOutput() const;
    // The fader in dB, truncated toward zero.
    int volume() const;
    float gain() const;

    CVolumeUnit* strip() const { return strip_; }
    QCheckBox* onButton() const { return onButton_; }
    QComboBox* channelBox() const { return channelBox_; }

signals:
    // Only a user's click on the switch.
    void statusChanged(bool on);
    // inout 0 an input, 1 an output; channel from 0.
    void channelChanged(int inout, int channel);
    void gainChanged(float gain);

public slots:
    void updateChannel(int index);
    void setStatus(bool on);
    // A channel the device does not have, or an inout other than 0 and 1,
    // is ignored; a new entry then reports through updateChannel.
    void setChannel(int inout, int channel);
    void setVolume(int dB);

private:
    CVolumeUnit* strip_;
    QCheckBox* onButton_;
    QComboBox* channelBox_;
    int numInputs_;
    int numOutputs_;
};

}  // namespace orvelan::app

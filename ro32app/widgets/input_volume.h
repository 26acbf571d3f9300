// The input gain: a preamplifier step (-10 to 30 dB in 10 dB steps) and a
// fine gain on a fader strip (-15 to 15 dB). It reports the step and the
// fader's factor apart, for a box that applies the step in its analogue
// stage, and their product, for a chain that applies both digitally.
#pragma once

#include <QButtonGroup>
#include <QWidget>

#include <vector>

namespace orvelan::app {

class CVolumeUnit;

class CInputVolume : public QWidget {
    Q_OBJECT

public:
    explicit CInputVolume(QWidget* parent = nullptr);

    // Moves the fader; a change of position then reports through the
    // strip's own signals, as any fader move does.
    void setVolume(int dB);
    // The fader in dB, truncated toward zero.
    int volume() const;
    // The first step at or above dB, the top step above the top; checks
    // its button without emitting.
    void setPreampVolume(int dB);
    int preampVolume() const { return steps_[static_cast<std::size_t>(preampIndex_)]; }
    float sliderGain() const { return sliderGain_; }
    float gain() const { return gain_; }

    CVolumeUnit* strip() const { return strip_; }
    const QButtonGroup& buttonGroup() const { return buttonGroup_; }

signals:
    void preampVolumeChanged(int dB);
    void sliderGainChanged(float gain);
    void gainChanged(float gain);
    void muteClicked(bool on);

public slots:
    void updatePreampVolume(int index);
    void updateSliderGain(float gain);

private:
    void selectStep(int index);

    std::vector<int> steps_{-10, 0, 10, 20, 30};
    std::vector<float> factors_;
    int minDb_ = -15;
    int maxDb_ = 15;
    float sliderGain_ = 1.0f;
    float preampFactor_ = 1.0f;
    float gain_ = 1.0f;
    int preampIndex_ = 0;
    CVolumeUnit* strip_;
    QButtonGroup buttonGroup_;
};

}  // namespace orvelan::app

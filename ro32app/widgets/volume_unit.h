// The vertical fader strip used wherever the user sets a gain in dB (main
// output, monitor, input, a beam track's gain): a slider in fixed steps of
// stepDb, a value field in dB with one decimal, optional mute, solo and link
// switches and an optional channel label. Every change is reported in dB
// and, with the gain table on, as a linear factor from a table built once
// per range, so the audio side never computes a power.
#pragma once

#include <QDoubleValidator>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QSlider;

namespace orvelan::app {

class COnOffButton;

class CVolumeUnit : public QWidget {
    Q_OBJECT

public:
    // Which optional parts exist.
    enum Flag { kMute = 1, kSolo = 2, kLabel = 4, kLink = 8 };

    explicit CVolumeUnit(int flags, QWidget* parent = nullptr);

    // The slider covers [floor(minDb / stepDb), ceil(maxDb / stepDb)] steps;
    // the slider value is left where it is (clamped by the slider).
    void setRange(int minDb, int maxDb, float stepDb, int singleStep, int pageStep);
    // Re-applies the range with a page step of 10.
    void setGainTableEnabled(bool enabled);
    // Non-zero shows ticks right of the slider; labels are painted at 2.
    void setTicksVisible(int position);
    // dB between tick labels; 0 chooses half the range at paint time.
    void setTickInterval(int dB);
    void setUnit(const QString& unit);

    float volume() const;
    // The linear factor of the slider's position, 0.0 without the table.
    float gain() const;

    QString label() const { return label_; }
    QStringList tickLabels() const { return tickLabels_; }
    int minDb() const { return minDb_; }
    int maxDb() const { return maxDb_; }
    float stepDb() const { return stepDb_; }

    QSlider* slider() const { return slider_; }
    QLineEdit* valueEdit() const { return valueEdit_; }
    QLabel* labelWidget() const { return labelWidget_; }
    COnOffButton* muteButton() const { return muteButton_; }
    COnOffButton* soloButton() const { return soloButton_; }
    COnOffButton* linkButton() const { return linkButton_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Nearest whole number, halves upward: the rule every dB to step
    // conversion of the strip follows.
    static int nearestStep(float steps);

signals:
    void changeLabel();
    void labelChanged(const QString& label);
    void gainChanged(float gain);
    void volumeChanged(float dB);
    void muteClicked(bool on);
    void soloClicked(bool on);
    void linkClicked(bool on);

public slots:
    void labelDialog();
    void setLabel(const QString& label);
    void setVolume(float dB);
    void setMute(bool on);
    void setSolo(bool on);
    void setLink(bool on);
    void sendGain(int step);
    void updateVolume(int step);
    // Applies the field's text when it is a complete number; a text on the
    // way to one ("", "-", "1.") leaves the gain where it is.
    void updateVolume(const QString& text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildTickLabels(int interval);
    void paintTickLabels();

    QString label_;
    int flags_;
    int minDb_ = -40;
    int maxDb_ = 40;
    int singleStep_ = 1;
    float stepDb_ = 0.1f;
    bool gainTableEnabled_ = false;
    int tickInterval_ = 0;
    int tickPosition_ = 0;
    QStringList tickLabels_;
    QString unit_;
    int minWidth_ = 45;
    int minHeight_ = 140;
    QSlider* slider_;
    COnOffButton* muteButton_;
    COnOffButton* soloButton_;
    COnOffButton* linkButton_;
    QLineEdit* valueEdit_;
    QDoubleValidator validator_;
    QLabel* labelWidget_;
    std::vector<float> gainTable_;
};

}  // namespace orvelan::app

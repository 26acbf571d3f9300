// One line of the beam-track editor: colour swatch, label, azimuth and
// elevation cells, pattern and variant boxes, a volume bar and a mute
// switch at fixed widths. The track's values live in these widgets; the row
// reports every user change with its index, and the editor numbers,
// connects and destroys the rows. Double-clicking a cell opens its dialog;
// double-clicking the volume bar opens the track's gain window, a fader
// strip that stays with the row until the row is destroyed.
#pragma once

#include <QColor>
#include <QMetaObject>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;

namespace orvelan::app {

class CHVolumeSlider;
class COnOffButton;
class CVolumeUnit;

class CBeamSelectionTrack : public QWidget {
    Q_OBJECT

public:
    // A column of width 0 is left out.
    CBeamSelectionTrack(QWidget* parent, int height, int swatchWidth, int labelWidth, int azimuthWidth,
                        int elevationWidth, int patternWidth, int parameterWidth, int volumeWidth,
                        int muteWidth);
    ~CBeamSelectionTrack() override;

    int id() const { return id_; }
    void setId(int id) { id_ = id; }
    bool selected() const { return selected_; }
    // Repaints; emits nothing.
    void setSelected(bool selected);

    // None of these setters emits.
    void setColor(const QColor& color);
    void setLabel(const QString& label);
    // The text is angle % 360, remainder with the sign of the angle.
    void setPhi(int angle);
    void rotatePhi(int delta);
    void setTheta(int angle);
    // Refills a box without a signal; a one-entry variant list leaves its
    // box disabled and unconnected, since there is nothing to choose.
    void setPatternList(const QStringList& list, int index);
    void setParameterList(const QStringList& list, int index);
    // Also moves the gain window's strip when it exists.
    void setVolume(float dB);
    void setMute(bool mute);

    QColor color() const { return color_; }
    QString label() const;
    int phi() const;
    int theta() const;
    QString patternText() const;
    QString parameterText() const;
    int patternIndex() const;
    int parameterIndex() const;
    float volume() const;
    bool isMuted() const;

    void openGainWindow();

    // The parts, for the editor and for tests; null where the column is out.
    QLabel* swatch() const { return swatch_; }
    QLabel* labelCell() const { return label_; }
    QLabel* azimuthCell() const { return azimuth_; }
    QLabel* elevationCell() const { return elevation_; }
    QComboBox* patternBox() const { return pattern_; }
    QComboBox* parameterBox() const { return parameter_; }
    CHVolumeSlider* volumeBar() const { return volumeBar_; }
    COnOffButton* muteButton() const { return mute_; }
    QWidget* gainWindow() const { return gainWindow_; }
    CVolumeUnit* gainStrip() const { return gainStrip_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void trackClicked(int id);
    void colorChanged(int id, const QColor& color);
    void labelChanged(int id, const QString& label);
    void thetaChanged(int id, int angle);
    void phiChanged(int id, int angle);
    void patternChanged(int id, int pattern);
    void parameterChanged(int id, int parameter);
    void volumeChanged(int id, float dB);
    void gainChanged(int id, float gain);
    void muteChanged(int id, bool mute);

public slots:
    void updatePattern(int index);
    void updateParameter(int index);
    void updateVolume(float dB);
    void updateGain(float gain);
    void updateMute(bool mute);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void askColor();
    void askLabel();
    void askPhi();
    void askTheta();
    // An angle dialog from 0 to maximum starting at the cell's value; a
    // confirmed answer goes into the cell as typed.
    bool askAngle(QLabel* cell, const QString& title, const QString& prompt, int maximum, int& angle);
    void showGainWindow();

    int id_ = -1;
    bool selected_ = false;
    QColor color_{220, 220, 220, 255};
    QPixmap swatchPixmap_;
    QLabel* swatch_ = nullptr;
    QLabel* label_ = nullptr;
    QLabel* azimuth_ = nullptr;
    QLabel* elevation_ = nullptr;
    QComboBox* pattern_ = nullptr;
    QComboBox* parameter_ = nullptr;
    CHVolumeSlider* volumeBar_ = nullptr;
    COnOffButton* mute_ = nullptr;
    QMetaObject::Connection patternConnection_;
    QMetaObject::Connection parameterConnection_;
    QWidget* gainWindow_ = nullptr;
    CVolumeUnit* gainStrip_ = nullptr;
    int minWidth_ = 0;
    int minHeight_ = 0;
};

}  // namespace orvelan::app

// A small horizontal display of a gain in dB: a grey bar with a scale from
// -20 to +20 dB, a translucent green fill from 0 dB to the value, and the
// value as text. It takes no input and emits nothing.
#pragma once

#include <QRectF>
#include <QString>
#include <QWidget>

namespace orvelan::app {

class CHVolumeSlider : public QWidget {
    Q_OBJECT

public:
    explicit CHVolumeSlider(QWidget* parent = nullptr);

    void setValue(float dB);
    float value() const { return value_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The value as the slider writes it: one decimal and " dB".
    static QString valueText(float dB);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateGeometryFor(int w, int h);

    float value_ = 0.0f;
    int minHeight_ = 32;
    int minWidth_ = 60;
    double topMargin_ = 5.0;
    double barHeight_ = 12.0;
    double fillHeight_ = 10.0;
    float minDb_ = -20.0f;
    float maxDb_ = 20.0f;
    float stepDb_ = 10.0f;
    int cachedWidth_ = 0;
    int cachedHeight_ = 0;
    double centreX_ = 0.0;
    double baseline_ = 0.0;
    QRectF barRect_;
};

}  // namespace orvelan::app

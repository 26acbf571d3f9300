// The bar meter of a set of channels: ten times a second it pulls the
// levels a level detector has gathered on the audio thread (through the
// detector's own lock), and each paint smooths them, converts them to dB
// and to a square-root display scale and draws per channel a bar (running
// level), a peak line (peak level) and the peak hold in dB above the bar.
// A left click on a channel's hold number resets it; a double-click resets
// all. GUI thread only.
#pragma once

#include <QBasicTimer>
#include <QLineF>
#include <QRectF>
#include <QWidget>

#include <memory>
#include <vector>

class CMaxValue;
class QPixmap;

namespace orvelan::app {

class CLevelMeter : public QWidget {
    Q_OBJECT

public:
    // The channel count is fixed for the meter's life; below 1 the meter
    // holds nothing and paints nothing.
    explicit CLevelMeter(int channels, QWidget* parent = nullptr);
    ~CLevelMeter() override;

    // The detector to poll (not owned); replaces the previous one, keeping
    // the holds and the smoothing state.
    void setSource(CMaxValue* source);
    // Ends polling, before the detector goes away.
    void stopTimer();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    int channelCount() const { return channels_; }
    CMaxValue* source() const { return source_; }
    // Smoothing factor of a falling bar or peak line per paint.
    float coefficient() const { return coefficient_; }
    // Display percent at and above which bars and peak lines are red.
    float threshold() const { return threshold_; }
    static QColor lowColour();
    static QColor highColour();

    // What the last paint showed, channel i: the smoothed bar and peak
    // levels (full-scale fractions), their heights in percent of the scale,
    // the smoothed peak and the hold in dB.
    float barLevel(int i) const { return display_[i]; }
    float peakLevel(int i) const { return display_[channels_ + i]; }
    float barPercent(int i) const { return percent_[i]; }
    float peakPercent(int i) const { return percent_[channels_ + i]; }
    float peakDb(int i) const { return peakDb_[i]; }
    float holdDb(int i) const { return hold_[i]; }
    // The hold number as painted: dB below full scale, one decimal where
    // the column is wide enough for it, and the font it is painted in.
    QString holdText(int i) const;
    int holdFontPixels() const { return holdFontPixels_; }

    // Layout of the last resize.
    bool hasBackground() const { return background_ != nullptr; }
    double leftMargin() const { return leftMargin_; }
    double pitch() const { return pitch_; }
    double scaleHeight() const { return scaleHeight_; }
    QPointF origin() const { return {originX_, originY_}; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void init(int channels);
    int setChannelCount(int channels);
    void renderBackground();
    // Moves the display one paint on from the levels last read.
    void advance();
    void resetHolds();
    void fitHoldNumbers();

    CMaxValue* source_ = nullptr;
    float coefficient_ = 0.0f;
    float threshold_ = 70.0f;
    int channels_ = 0;
    // Halves of n: running levels, then peaks since the previous read.
    std::vector<float> levels_;
    std::vector<float> display_;
    std::vector<float> percent_;
    std::vector<float> peakDb_;
    std::vector<float> hold_;
    QBasicTimer timer_;
    std::unique_ptr<QPixmap> background_;
    double leftMargin_ = 10.0;
    double pitch_ = 0.0;
    double gap_ = 0.0;
    double scaleHeight_ = 0.0;
    double originX_ = 0.0;
    double originY_ = 0.0;
    double yScale_ = 0.0;
    std::vector<QRectF> bars_;
    std::vector<QRectF> labelRects_;
    std::vector<QLineF> peakLines_;
    QLineF peakLineTemplate_;
    float markPercent_[11] = {};
    int holdDecimals_ = 1;
    int holdFontPixels_ = 8;
};

}  // namespace orvelan::app

// The time ruler of the input file: the playback time as large text, a
// time line with tick labels, the selected range and the part of it played.
// A click on the time line seeks; a drag across it chooses a new start
// (sent at once) and the range end, past which playback is sent back to the
// start. It knows nothing of files: positions are sample indices.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

namespace orvelan::app {

class CAudioFileNavigator : public QWidget {
    Q_OBJECT

public:
    // Longest length accepted, in whole seconds (20 hours).
    static constexpr int kMaxSeconds = 72000;

    explicit CAudioFileNavigator(QWidget* parent = nullptr);

    // 1 and no change below 1 Hz; takes effect with the next setNumSamples.
    int setFs(int fs);
    // A new length rebuilds the ruler and selects all of it; 0 means no
    // file: ten seconds are shown and the mouse is ignored. 1 for a
    // negative length, 2 for one beyond kMaxSeconds.
    int setNumSamples(int numSamples);

    bool loaded() const { return loaded_; }
    bool loop() const { return loop_; }
    bool pastEnd() const { return pastEnd_; }
    double fs() const { return fs_; }
    int numSamples() const { return numSamples_; }
    int startSample() const { return startSample_; }
    int endSample() const { return endSample_; }
    int currentSample() const { return currentSample_; }
    int tickInterval() const { return tickInterval_; }
    // One label per tick, then the length.
    QStringList labels() const { return labels_; }
    QString timeText() const { return timeText_; }
    int timeTextWidth() const { return timeTextWidth_; }

    // Where paint puts the tick labels at the present size: the last tick's
    // is left out when it would run into the end label.
    struct LabelPlacement {
        QRectF rect;
        QString text;
    };
    std::vector<LabelPlacement> labelPlacements() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // The playback position; beyond the range end it sends playback back to
    // the start (every second call while it stays there).
    void setCurrentSample(int currentSample);

signals:
    void updateStartSample(int position);
    void seek(int position);
    void stop();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Pixels left free each side of the time line, the line's length, and
    // pixels between ticks (0 when there is no room).
    double sideMargin() const;
    double usableWidth() const;
    double tickSpacing() const;
    // The sample under x, not clamped.
    double sampleAt(double x) const;
    void setEnd(double x);

    bool loaded_ = false;
    int startSample_ = 0;
    int endSample_ = 0;
    bool loop_ = true;
    int numSamples_ = 0;
    double fs_ = 1.0;
    int currentSample_ = 0;
    bool pastEnd_ = false;
    bool pressed_ = false;
    bool dragging_ = false;
    int pressX_ = 0;
    double margin_ = 0.05;
    int tickInterval_ = 1;
    QStringList labels_;
    int timeTextWidth_ = 0;
    QFont timeFont_;
    QFont labelFont_;
    QString timeText_;
    QRectF rangeRect_;
    QRectF playedRect_;
};

}  // namespace orvelan::app

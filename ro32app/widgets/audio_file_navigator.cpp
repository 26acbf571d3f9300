#include "widgets/audio_file_navigator.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace orvelan::app {

namespace {

// Tick spacing by file length: the first entry whose threshold the length
// in whole seconds is below (from the second on; the first below ten
// seconds), the last for anything longer.
constexpr int kTickTableSize = 14;
constexpr int kTickSeconds[kTickTableSize] = {1, 2, 5, 10, 20, 30, 60, 120, 300, 600, 1200, 1800, 3600, 7200};
constexpr int kTickBelow[kTickTableSize] = {10,  20,   30,   60,   120,   300,   600,
                                            1200, 1800, 3600, 7200, 18000, 36000, 72000};
constexpr int kNoFileSeconds = 10;
constexpr int kTimeFontPoints = 20;

const QColor kTimeColour(50, 50, 50);
const QColor kLineColour(127, 127, 127);
const QColor kTickColour(100, 100, 100);
const QColor kRangeColour(0, 100, 250, 50);
const QColor kPlayedColour(0, 100, 250, 200);

int tickIndex(qint64 seconds)
{
    if (seconds < kTickBelow[0])
        return 0;
    for (int k = 1; k < kTickTableSize; ++k)
        if (kTickBelow[k] > seconds)
            return k;
    return kTickTableSize - 1;
}

// "h:mm:ss", hours unpadded; "hh:mm:ss" with padded hours.
QString clockText(qint64 seconds, int hourDigits)
{
    return QString("%1:%2:%3")
        .arg(seconds / 3600, hourDigits, 10, QChar('0'))
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}

}  // namespace

CAudioFileNavigator::CAudioFileNavigator(QWidget* parent) : QWidget(parent)
{
    timeFont_ = font();
    timeFont_.setPointSize(kTimeFontPoints);
    labelFont_ = font();
    timeTextWidth_ = QFontMetrics(labelFont_).horizontalAdvance(clockText(0, 2));
    setNumSamples(0);
}

int CAudioFileNavigator::setFs(int fs)
{
    if (fs < 1)
        return 1;
    fs_ = fs;
    return 0;
}

int CAudioFileNavigator::setNumSamples(int numSamples)
{
    if (numSamples < 0)
        return 1;
    qint64 length = numSamples;
    if (numSamples > 0) {
        loaded_ = true;
    } else {
        length = std::min<qint64>(static_cast<qint64>(fs_ * kNoFileSeconds), INT_MAX);
        loaded_ = false;
    }
    const auto seconds = static_cast<qint64>(length / fs_);
    if (seconds > kMaxSeconds)
        return 2;
    const int k = tickIndex(seconds);
    tickInterval_ = static_cast<int>(kTickSeconds[k] * fs_);

    numSamples_ = static_cast<int>(length);
    endSample_ = numSamples_;
    startSample_ = 0;
    currentSample_ = 0;

    labels_.clear();
    const auto secondsPerTick = static_cast<qint64>(tickInterval_ / fs_);
    qint64 elapsed = 0;
    for (qint64 position = 0; position < numSamples_; position += tickInterval_) {
        labels_ << clockText(elapsed, 1);
        elapsed += secondsPerTick;
    }
    labels_ << clockText(seconds, 1);

    timeText_ = clockText(static_cast<qint64>(currentSample_ / fs_), 2);
    rangeRect_ = QRectF(startSample_, 0, numSamples_ - startSample_, 1);
    playedRect_ = QRectF(startSample_, 0, currentSample_, 1);
    repaint();
    return 0;
}

void CAudioFileNavigator::setCurrentSample(int currentSample)
{
    currentSample_ = currentSample;
    if (currentSample > endSample_) {
        // Every second call while the position stays beyond the end, so
        // one position that arrives before the seek is done does not seek
        // twice.
        if (!pastEnd_) {
            pastEnd_ = true;
            if (loop_)
                emit seek(startSample_);
            else
                emit stop();
        } else {
            pastEnd_ = false;
        }
    } else {
        pastEnd_ = false;
    }
    // The window sends the position every tick, also while it stands
    // still (live input, a paused file): only a change is painted.
    QRectF played = playedRect_;
    played.setWidth(currentSample_ - played.x());
    QString text = clockText(static_cast<qint64>(currentSample_ / fs_), 2);
    if (played == playedRect_ && text == timeText_)
        return;
    playedRect_ = played;
    timeText_ = std::move(text);
    update();
}

QSize CAudioFileNavigator::sizeHint() const
{
    return {600, 100};
}

QSize CAudioFileNavigator::minimumSizeHint() const
{
    return {400, 60};
}

double CAudioFileNavigator::sideMargin() const
{
    return margin_ * width();
}

double CAudioFileNavigator::usableWidth() const
{
    return width() - 2 * sideMargin();
}

double CAudioFileNavigator::tickSpacing() const
{
    return numSamples_ > 0 ? tickInterval_ * usableWidth() / numSamples_ : 0.0;
}

double CAudioFileNavigator::sampleAt(double x) const
{
    return (x - sideMargin()) * numSamples_ / usableWidth();
}

std::vector<CAudioFileNavigator::LabelPlacement> CAudioFileNavigator::labelPlacements() const
{
    std::vector<LabelPlacement> placements;
    if (!loaded_ || labels_.size() < 2)
        return placements;
    const double m = sideMargin();
    const double spacing = tickSpacing();
    const double top = height() / 2.0, h = height() / 6.0;
    const auto ticks = static_cast<int>(labels_.size()) - 1;
    for (int i = 0; i < ticks - 1; ++i)
        placements.push_back({QRectF(i * spacing, top, 2 * m, h), labels_[i]});
    // The last tick's label only when the space from its tick to the end,
    // in whole pixels, is wider than a time: it would run into the end
    // label. (The line's length modulo the spacing is that space only when
    // the length is not a whole number of ticks; at 60 s with ticks every
    // 20 s it is 0, and the 40 s label would be hidden a third of the line
    // away from the end.)
    const double lastTick = (ticks - 1) * spacing;
    if (static_cast<int>(usableWidth() - lastTick) > timeTextWidth_)
        placements.push_back({QRectF(lastTick, top, 2 * m, h), labels_[ticks - 1]});
    placements.push_back({QRectF(width() - 2 * m, top, 2 * m, h), labels_.last()});
    return placements;
}

void CAudioFileNavigator::paintEvent(QPaintEvent*)
{
    const int w = width(), h = height();
    const double m = sideMargin();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(timeFont_);
    painter.setPen(kTimeColour);
    painter.drawText(QRect(0, 0, w, h / 2), Qt::AlignCenter, timeText_);

    if (loaded_) {
        painter.setFont(labelFont_);
        painter.setPen(QPen(kLineColour, 2));
        for (const LabelPlacement& label : labelPlacements())
            painter.drawText(label.rect, Qt::AlignCenter, label.text);
        painter.setPen(QPen(kTickColour, 2));
        const double spacing = tickSpacing();
        if (spacing > 0)
            for (int j = 0; m + j * spacing <= w - m; ++j)
                painter.drawLine(QLineF(m + j * spacing, h * 157.0 / 240, m + j * spacing, h * 163.0 / 240));
        painter.drawLine(QLineF(w - m, h * 197.0 / 300, w - m, h * 203.0 / 300));
    }

    painter.setPen(QPen(kLineColour, 2));
    const int left = static_cast<int>(m), right = static_cast<int>(w - m);
    painter.drawLine(QLineF(left, h * 2.0 / 3, right, h * 2.0 / 3));
    painter.drawLine(QLineF(left, h * 5.0 / 6, right, h * 5.0 / 6));

    if (numSamples_ > 0) {
        painter.setPen(Qt::NoPen);
        painter.translate(m, h * 2.0 / 3);
        painter.scale(usableWidth() / numSamples_, h / 6.0);
        painter.fillRect(rangeRect_, kRangeColour);
        painter.fillRect(playedRect_, kPlayedColour);
    }
}

void CAudioFileNavigator::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const int h = height();
    if (event->button() != Qt::LeftButton || !loaded_ || usableWidth() <= 0)
        return;
    if (at.y() < 4 * h / 6 || at.y() > 5 * h / 6)
        return;
    pressX_ = at.x();
    pressed_ = true;
}

void CAudioFileNavigator::setEnd(double x)
{
    const double end = x > pressX_ ? sampleAt(x) : startSample_;
    const double clamped = std::clamp(end, 0.0, static_cast<double>(numSamples_));
    endSample_ = static_cast<int>(clamped);
    rangeRect_.setRight(clamped);
}

void CAudioFileNavigator::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !pressed_)
        return;
    if (!dragging_) {
        const double start = std::clamp(sampleAt(pressX_), 0.0, static_cast<double>(numSamples_));
        startSample_ = static_cast<int>(start);
        emit updateStartSample(startSample_);
        currentSample_ = startSample_;
        rangeRect_.setLeft(start);
        playedRect_ = QRectF(start, 0, 0, 1);
        dragging_ = true;
    }
    setEnd(event->position().toPoint().x());
    update();
}

void CAudioFileNavigator::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    const int x = event->position().toPoint().x();
    if (dragging_) {
        dragging_ = false;
        setEnd(x);
    } else {
        const double s = std::trunc(sampleAt(x));
        if (startSample_ <= s && s <= endSample_)
            emit seek(static_cast<int>(s));
    }
    pressed_ = false;
    update();
}

}  // namespace orvelan::app

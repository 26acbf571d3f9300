#include "widgets/level_meter.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

#include "blocks/max_value.h"
#include "dsp.h"

namespace orvelan::app {

namespace {

constexpr int kPollMs = 100;
// Levels are full-scale fractions; the floor keeps the logarithm finite and
// makes the meter span -100 dB to 0 dB.
constexpr float kFloor = 1e-5f;
constexpr float kFullScale = 1.0f;
// 20 / ln 10: natural logarithm to dB.
constexpr float kDbPerNeper = 8.68589f;
// 10 x sqrt(8.68589): the display scale 100 - 10 sqrt(-dB) from a
// natural logarithm.
constexpr float kScaleFromNeper = 29.472f;
constexpr float kRedAtDb = -9.0f;
constexpr float kNoHoldDb = -100.0f;
constexpr float kMarksDb[11] = {-100, -80, -60, -50, -40, -30, -20, -15, -10, -5, 0};
// Pixels around the channel area: the frame's inset, the scale labels left
// and right of the columns, the channel numbers below and the hold strip
// above.
constexpr double kMinimumMargin = 10.0;
constexpr double kScaleLabelWidth = 20.0;
constexpr double kStripHeight = 15.0;
constexpr int kFrameInset = 10;

const QColor kTextColour(100, 100, 100);
const QColor kFrameColour(200, 200, 200);
const QColor kGridColour(230, 230, 230);
const QColor kWellColour(50, 50, 50, 200);

// 100 - factor x sqrt(-x) in place, the display percent of a value in dB
// (factor 10) or in nepers (factor 29.472). Rounding can leave -x a hair
// below 0 at full scale, where the square root would be undefined.
void toDisplayScale(float* values, int count, float factor)
{
    dspsMulC_32f_I(-1.0f, values, count);
    dspsThreshold_LT_32f_I(values, count, 0.0f);
    dspsSqrt_32f_I(values, count);
    dspsMulC_32f_I(factor, values, count);
    dspsSubCRev_32f_I(100.0f, values, count);
}

QFont pixelFont(const QFont& base, int pixels)
{
    QFont font = base;
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

QColor CLevelMeter::lowColour() { return QColor(0, 200, 100); }
QColor CLevelMeter::highColour() { return QColor(220, 50, 20); }

CLevelMeter::CLevelMeter(int channels, QWidget* parent) : QWidget(parent)
{
    peakLineTemplate_ = QLineF();
    init(channels);
}

CLevelMeter::~CLevelMeter()
{
    timer_.stop();
}

void CLevelMeter::init(int channels)
{
    source_ = nullptr;
    background_.reset();
    channels_ = 0;
    setChannelCount(channels);
    // The background pixmap covers the whole meter on every paint, so
    // nothing behind it is painted first; a meter without channels paints
    // nothing and shows what is behind it.
    setAttribute(Qt::WA_OpaquePaintEvent, channels_ > 0);
    float red = kRedAtDb;
    toDisplayScale(&red, 1, 10.0f);
    threshold_ = red;
    timer_.start(kPollMs, this);
}

int CLevelMeter::setChannelCount(int channels)
{
    if (channels < 1)
        return 1;
    channels_ = channels;
    const auto n = static_cast<size_t>(channels);
    levels_.assign(2 * n, 0.0f);
    display_.assign(2 * n, 0.0f);
    percent_.assign(2 * n, 0.0f);
    peakDb_.assign(n, kNoHoldDb);
    hold_.assign(n, kNoHoldDb);
    bars_.assign(n, QRectF());
    labelRects_.assign(n, QRectF());
    peakLines_.assign(n, QLineF());
    renderBackground();
    update();
    return 0;
}

void CLevelMeter::setSource(CMaxValue* source)
{
    source_ = source;
    if (source_ != nullptr)
        coefficient_ = 0.1f / (source_->releaseTime() + 0.1f);
}

void CLevelMeter::stopTimer()
{
    timer_.stop();
}

QSize CLevelMeter::sizeHint() const
{
    return {15 * channels_ + 50, 180};
}

QSize CLevelMeter::minimumSizeHint() const
{
    return {13 * channels_ + 50, 140};
}

QString CLevelMeter::holdText(int i) const
{
    return QString::number(-hold_[i], 'f', holdDecimals_);
}

void CLevelMeter::timerEvent(QTimerEvent*)
{
    if (source_ != nullptr && channels_ > 0)
        source_->readLevels(levels_.data() + channels_, levels_.data(), channels_);
    update();
}

void CLevelMeter::resizeEvent(QResizeEvent*)
{
    renderBackground();
}

void CLevelMeter::renderBackground()
{
    if (channels_ < 1)
        return;
    const int n = channels_;
    const double w = width(), h = height();
    background_ = std::make_unique<QPixmap>(width(), height());
    background_->fill(palette().color(backgroundRole()));

    leftMargin_ = kMinimumMargin;
    pitch_ = (w - 2 * kMinimumMargin - 2 * kScaleLabelWidth) / n;
    scaleHeight_ = h - 2 * kFrameInset - 2 * kStripHeight;
    // Columns no more than a quarter as wide as they are tall: a wide, low
    // meter keeps them narrow and centres them.
    if (4 * pitch_ > scaleHeight_) {
        pitch_ = scaleHeight_ / 4;
        leftMargin_ = (w - 2 * kScaleLabelWidth - n * pitch_) / 2;
    }
    gap_ = 0.1 * pitch_;
    originX_ = leftMargin_ + kScaleLabelWidth;
    originY_ = h - kFrameInset - kStripHeight;
    yScale_ = scaleHeight_ / 100;

    std::copy(std::begin(kMarksDb), std::end(kMarksDb), markPercent_);
    toDisplayScale(markPercent_, 11, 10.0f);

    const double columns = n * pitch_;
    peakLineTemplate_ = QLineF(2 * gap_, 0, pitch_ - 2 * gap_, 0);
    for (int i = 0; i < n; ++i) {
        bars_[i] = QRectF(i * pitch_ + 2 * gap_, 0, pitch_ - 4 * gap_, 0);
        labelRects_[i] = QRectF(i * pitch_, -scaleHeight_ - kStripHeight, pitch_, kStripHeight);
    }
    fitHoldNumbers();
    if (background_->isNull())
        return;

    QPainter painter(background_.get());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFrameColour);
    const double frameWidth = columns + 2 * kScaleLabelWidth;
    const double frameHeight = scaleHeight_ + 2 * kStripHeight;
    const double radius = 0.1 * std::min(frameWidth, frameHeight);
    painter.drawRoundedRect(QRect(static_cast<int>(leftMargin_), kFrameInset, static_cast<int>(frameWidth),
                                  static_cast<int>(frameHeight)),
                            radius, radius, Qt::AbsoluteSize);

    painter.setFont(pixelFont(font(), 10));
    painter.setPen(QPen(kTextColour, 1));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < n; ++i)
        painter.drawText(QRectF(originX_ + i * pitch_, originY_, pitch_, kStripHeight), Qt::AlignCenter,
                         QString::number(i + 1));

    painter.translate(originX_, originY_);
    painter.setFont(pixelFont(font(), 8));
    for (int k = 0; k < 11; ++k) {
        const double top = -markPercent_[k] * yScale_;
        const int y = static_cast<int>(top);
        painter.setPen(QPen(kGridColour, 1));
        painter.drawLine(0, y, static_cast<int>(columns), y);
        painter.setPen(QPen(kTextColour, 1));
        const QString mark = QString::number(kMarksDb[k], 'g', 6);
        painter.drawText(QRectF(-kScaleLabelWidth, top - 7, kScaleLabelWidth, kStripHeight), Qt::AlignCenter, mark);
        painter.drawText(QRectF(columns, top - 7, kScaleLabelWidth, kStripHeight), Qt::AlignCenter, mark);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(kWellColour);
    for (int i = 0; i < n; ++i)
        painter.drawRect(QRectF(i * pitch_ + gap_, 0, pitch_ - 2 * gap_, -scaleHeight_));
}

void CLevelMeter::advance()
{
    const int n = channels_;
    float* levels = levels_.data();
    float* display = display_.data();
    dspsThreshold_LT_32f_I(levels, 2 * n, kFloor);
    dspsThreshold_GT_32f_I(levels, 2 * n, kFullScale);
    // A bar follows the running level up and down, except that a signal
    // that has vanished (the floor exactly) lets it sink gradually.
    for (int i = 0; i < n; ++i) {
        if (display[i] > kFloor && levels[i] == kFloor)
            display[i] += (levels[i] - display[i]) * coefficient_;
        else
            display[i] = levels[i];
    }
    // Peak lines rise at once and fall by the same factor.
    for (int i = n; i < 2 * n; ++i) {
        if (display[i] > levels[i])
            display[i] += (levels[i] - display[i]) * coefficient_;
        else
            display[i] = levels[i];
    }
    float* percent = percent_.data();
    dspsLn_32f(display, percent, 2 * n);
    dspsMulC_32f(percent + n, kDbPerNeper, peakDb_.data(), n);
    toDisplayScale(percent, 2 * n, kScaleFromNeper);
    for (int i = 0; i < n; ++i)
        hold_[i] = std::max(hold_[i], peakDb_[i]);
    for (int i = 0; i < n; ++i) {
        bars_[i].setTop(-percent[i]);
        peakLines_[i] = peakLineTemplate_.translated(i * pitch_, -percent[n + i]);
    }
}

// The hold numbers stand one per column: on narrow columns (32 channels in a
// window-sized meter) "12.5" in the 8-pixel font runs into its neighbours,
// so the font shrinks to 6 pixels and then the decimal goes, rather than
// the numbers overlapping into an unreadable row.
void CLevelMeter::fitHoldNumbers()
{
    const double room = pitch_ - 1.0;
    for (int decimals : {1, 0}) {
        const QString widest = QString::number(100.0, 'f', decimals);
        for (int pixels = 8; pixels >= 6; --pixels) {
            holdDecimals_ = decimals;
            holdFontPixels_ = pixels;
            if (QFontMetricsF(pixelFont(font(), pixels)).horizontalAdvance(widest) <= room)
                return;
        }
    }
}

void CLevelMeter::paintEvent(QPaintEvent*)
{
    if (channels_ < 1)
        return;
    // A meter resized while hidden gets its resize event only when shown;
    // one rendered before that is laid out here.
    if (background_ == nullptr || background_->size() != size())
        renderBackground();
    advance();
    const int n = channels_;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(0, 0, *background_);
    painter.translate(originX_, originY_);
    painter.setPen(QPen(kTextColour, 1));
    painter.setFont(pixelFont(font(), holdFontPixels_));
    for (int i = 0; i < n; ++i)
        painter.drawText(labelRects_[i], Qt::AlignCenter, holdText(i));
    painter.scale(1, yScale_);
    const auto colourOf = [this](float percent) { return threshold_ <= percent ? highColour() : lowColour(); };
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < n; ++i) {
        painter.setBrush(colourOf(percent_[i]));
        painter.drawRect(bars_[i]);
    }
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < n; ++i) {
        painter.setPen(QPen(colourOf(percent_[n + i]), 1));
        painter.drawLine(peakLines_[i]);
    }
}

void CLevelMeter::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || channels_ < 1)
        return;
    if (!(at.y() > kFrameInset && at.y() < originY_ - scaleHeight_ && at.x() > originX_))
        return;
    // Column edges in whole pixels, as the columns are seen on screen.
    int edge = static_cast<int>(originX_ + pitch_);
    int i = 0;
    while (edge < at.x() && i < channels_) {
        ++i;
        edge = static_cast<int>(edge + pitch_);
    }
    if (i < channels_) {
        hold_[i] = kNoHoldDb;
        update();
    }
}

void CLevelMeter::mouseDoubleClickEvent(QMouseEvent*)
{
    resetHolds();
}

void CLevelMeter::resetHolds()
{
    std::fill(hold_.begin(), hold_.end(), kNoHoldDb);
    update();
}

}  // namespace orvelan::app

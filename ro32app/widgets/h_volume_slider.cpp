#include "widgets/h_volume_slider.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace orvelan::app {

namespace {
constexpr int kSideMargin = 5;
constexpr int kScaleFontPixels = 8;
}  // namespace

CHVolumeSlider::CHVolumeSlider(QWidget* parent) : QWidget(parent) {}

void CHVolumeSlider::setValue(float dB)
{
    value_ = dB;
    update();
}

QSize CHVolumeSlider::sizeHint() const
{
    return QSize(minWidth_ + 100, minHeight_ + 10);
}

QSize CHVolumeSlider::minimumSizeHint() const
{
    return QSize(minWidth_, minHeight_);
}

QString CHVolumeSlider::valueText(float dB)
{
    return QString::number(dB, 'f', 1) + " dB";
}

// A height below the minimum first squeezes the margins, then the bar; the
// height it settles on becomes the minimum from then on.
void CHVolumeSlider::updateGeometryFor(int w, int h)
{
    cachedWidth_ = w;
    cachedHeight_ = h;
    centreX_ = w * 0.5;
    if (h < minHeight_) {
        if (h - 10 > 12) {
            topMargin_ = (h - 22) / 2.0;
            barHeight_ = 12.0;
            fillHeight_ = 10.0;
        } else {
            topMargin_ = 1.0;
            barHeight_ = h - 12.0;
            fillHeight_ = h - 14.0;
        }
        minHeight_ = static_cast<int>(2 * topMargin_ + barHeight_ + 10);
    }
    baseline_ = (minHeight_ + h) / 2.0 - topMargin_;
    barRect_ = QRectF(kSideMargin, baseline_ - barHeight_, w - 2 * kSideMargin, barHeight_);
}

void CHVolumeSlider::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    if (w != cachedWidth_ || h != cachedHeight_)
        updateGeometryFor(w, h);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const int steps = static_cast<int>(std::lround((maxDb_ - minDb_) * 0.1));
    const double pixelsPerDb = (w - 2 * kSideMargin) / static_cast<double>(maxDb_ - minDb_);
    QFont scaleFont = painter.font();
    scaleFont.setPixelSize(kScaleFontPixels);
    painter.setFont(scaleFont);
    const double barTop = baseline_ - barHeight_;
    for (int i = 0; i <= steps; ++i) {
        const double x = kSideMargin + i * stepDb_ * pixelsPerDb;
        painter.drawText(QRectF(x - 8, barTop - 10, 16, 8), Qt::AlignHCenter | Qt::AlignTop,
                         QString::number(minDb_ + i * stepDb_, 'f', 0));
        painter.drawLine(QPointF(x, barTop - 2), QPointF(x, barTop));
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(210, 210, 210));
    painter.drawRect(barRect_);
    painter.setBrush(QColor(0, 250, 0, 100));
    painter.drawRect(QRectF(centreX_, baseline_ - fillHeight_ - 1, value_ * pixelsPerDb, fillHeight_));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().windowText(), 0.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    QFont valueFont = painter.font();
    valueFont.setPixelSize(std::max(1, static_cast<int>(barHeight_ - 2)));
    painter.setFont(valueFont);
    painter.drawText(barRect_, Qt::AlignCenter, valueText(value_));
}

}  // namespace orvelan::app

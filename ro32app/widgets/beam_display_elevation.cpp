#include "widgets/beam_display_elevation.h"

#include <QPainter>

#include <algorithm>

namespace orvelan::app {

CBeamDisplayElevation::CBeamDisplayElevation(int capacity, QWidget* parent)
    : CPolarDisplay(parent),
      theta_(static_cast<std::size_t>(std::max(capacity, 0)), 0.0f),
      colours_(static_cast<std::size_t>(std::max(capacity, 0)), QColor(Qt::black))
{
}

int CBeamDisplayElevation::addBeam(const QColor& colour)
{
    if (count_ >= capacity())
        return 1;
    theta_[count_] = 0.0f;
    colours_[count_] = colour;
    ++count_;
    update();
    return 0;
}

void CBeamDisplayElevation::removeActiveBeam()
{
    if (active_ < 0)
        return;
    std::move(theta_.begin() + active_ + 1, theta_.begin() + count_, theta_.begin() + active_);
    std::move(colours_.begin() + active_ + 1, colours_.begin() + count_, colours_.begin() + active_);
    --count_;
    theta_[count_] = 0.0f;
    colours_[count_] = Qt::black;
    active_ = -1;
    update();
}

void CBeamDisplayElevation::setActivePattern(int index)
{
    active_ = holds(index) ? index : -1;
    update();
}

void CBeamDisplayElevation::setColor(int index, const QColor& colour)
{
    if (holds(index))
        colours_[index] = colour;
    update();
}

void CBeamDisplayElevation::setTheta(int index, int degrees)
{
    if (holds(index))
        theta_[index] = static_cast<float>(degrees);
    update();
}

void CBeamDisplayElevation::setColor(const QColor& colour)
{
    setColor(active_, colour);
}

void CBeamDisplayElevation::setTheta(int degrees)
{
    setTheta(active_, degrees);
}

bool CBeamDisplayElevation::startsGesture(float angle) const
{
    return angle <= 90.0f || angle >= 270.0f;
}

void CBeamDisplayElevation::steerActive(float theta)
{
    theta_[active_] = std::clamp(theta, 0.0f, 180.0f);
    emit thetaChanged(static_cast<int>(theta_[active_]));
    update();
}

void CBeamDisplayElevation::turnBy(float delta)
{
    // The shorter way round: crossing the right, 350 to 10 is 20 up.
    if (delta > 180.0f)
        delta -= 360.0f;
    else if (delta < -180.0f)
        delta += 360.0f;
    // Up the screen is counter-clockwise, toward theta 0.
    steerActive(theta_[active_] - delta);
}

void CBeamDisplayElevation::clickedAt(float angle)
{
    if (angle > 180.0f)
        angle -= 360.0f;
    steerActive(90.0f - angle);
}

void CBeamDisplayElevation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The plot is 60 x 100 units: as wide as fits, three fifths of its height.
    const double w = std::min<double>(width(), 0.6 * height());
    const double h = w * 5.0 / 3.0;
    beginPlot(painter,
              QRect(static_cast<int>((width() - w) * 0.5), static_cast<int>((height() - h) * 0.5), static_cast<int>(w),
                    static_cast<int>(h)),
              QRect(-10, -50, 60, 100));
    const Pens pens = gridPens();
    const QRectF disc = discRect();
    // The right half: from the bottom, counter-clockwise over the right.
    constexpr int kHalfStart = -90 * 16;
    constexpr int kHalfSpan = 180 * 16;

    painter.setPen(pens.medium);
    painter.setBrush(Qt::white);
    painter.drawPie(disc, kHalfStart, kHalfSpan);

    painter.save();
    drawScale(painter, pens.thin, 180, 5.0);
    painter.restore();

    const auto drawMarker = [&painter, this](int index, QPen pen) {
        pen.setColor(colours_[index]);
        painter.save();
        painter.setPen(pen);
        painter.setBrush(colours_[index]);
        painter.rotate(theta_[index]);
        painter.drawLine(QPointF(0.0, 0.0), QPointF(0.0, -kDiscRadius));
        const QPointF tip[3] = {{1.0, -kDiscRadius + 4.0}, {-1.0, -kDiscRadius + 4.0}, {0.0, -kDiscRadius}};
        painter.drawPolygon(tip, 3);
        painter.restore();
    };
    for (int i = 0; i < count_; ++i)
        if (i != active_)
            drawMarker(i, pens.medium);
    if (active_ >= 0)
        drawMarker(active_, pens.thick);

    if (!isEnabled()) {
        painter.setPen(pens.medium);
        painter.setBrush(veilBrush());
        painter.drawPie(disc, kHalfStart, kHalfSpan);
    }
}

}  // namespace orvelan::app

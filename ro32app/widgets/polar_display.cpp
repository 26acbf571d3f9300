#include "widgets/polar_display.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace orvelan::app {

CPolarDisplay::CPolarDisplay(QWidget* parent) : QWidget(parent) {}

std::optional<float> CPolarDisplay::angleOf(const QPointF& position) const
{
    const QPoint plot = inverse_.map(position).toPoint();
    if (plot.isNull())
        return std::nullopt;
    // x == 0 divides to an infinity, whose arc tangent is straight up or down.
    float angle = std::atan(static_cast<float>(-plot.y()) / static_cast<float>(plot.x())) * 57.2957763671875f;
    if (plot.x() < 0)
        angle += 180.0f;
    if (angle < 0.0f)
        angle += 360.0f;
    return angle;
}

void CPolarDisplay::setPlotFrame(QPainter& painter, const QRect& viewport, const QRect& window)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setViewport(viewport);
    painter.setWindow(window);
}

void CPolarDisplay::beginPlot(QPainter& painter, const QRect& viewport, const QRect& window)
{
    setPlotFrame(painter, viewport, window);
    if (width() != paintedWidth_ || height() != paintedHeight_) {
        // The window-to-viewport mapping in widget coordinates, where mouse
        // positions come: the painter's own combined transform also holds
        // the screen's pixel ratio.
        QTransform plot;
        plot.translate(viewport.x(), viewport.y());
        plot.scale(double(viewport.width()) / window.width(), double(viewport.height()) / window.height());
        plot.translate(-window.x(), -window.y());
        inverse_ = plot.inverted();
        paintedWidth_ = width();
        paintedHeight_ = height();
    }
}

CPolarDisplay::Pens CPolarDisplay::gridPens() const
{
    const QBrush ink = palette().brush(QPalette::WindowText);
    const auto pen = [&ink](double width) { return QPen(ink, width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin); };
    return {pen(1.5), pen(0.75), pen(0.25)};
}

void CPolarDisplay::drawScale(QPainter& painter, const QPen& pen, int lastAngle, double step) const
{
    QFont labelFont = font();
    labelFont.setPixelSize(8);
    painter.setFont(labelFont);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (int angle = 0; angle <= lastAngle; angle += 5) {
        if (angle % 30 == 0)
            painter.drawLine(QPointF(0.0, 0.0), QPointF(0.0, -kDiscRadius));
        else
            painter.drawLine(QPointF(0.0, -kDiscRadius + 2.0), QPointF(0.0, -kDiscRadius));
        if (angle % 90 == 0)
            painter.drawText(QRectF(-15.0, -50.0, 30.0, 10.0), Qt::AlignCenter, QString::number(angle));
        painter.rotate(step);
    }
}

QBrush CPolarDisplay::veilBrush()
{
    return QBrush(QColor(200, 200, 200, 125));
}

bool CPolarDisplay::startsGesture(float) const
{
    return true;
}

void CPolarDisplay::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !hasActiveEntry())
        return;
    const std::optional<float> angle = angleOf(event->position());
    if (!angle || !startsGesture(*angle))
        return;
    angle_ = *angle;
    moved_ = false;
    steering_ = true;
}

void CPolarDisplay::mouseMoveEvent(QMouseEvent* event)
{
    if (!steering_ || !hasActiveEntry())
        return;
    const std::optional<float> angle = angleOf(event->position());
    if (!angle)
        return;
    moved_ = true;
    const float delta = *angle - angle_;
    angle_ = *angle;
    turnBy(delta);
}

void CPolarDisplay::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !steering_)
        return;
    steering_ = false;
    if (!moved_ && hasActiveEntry())
        clickedAt(angle_);
}

}  // namespace orvelan::app

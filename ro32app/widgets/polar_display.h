// What the two polar beam displays share: the plot frame they paint in (a
// window of plot units centred on the disc, and its inverse for the mouse),
// the three grid pens, the scale of spokes, ticks and labels, the grey veil
// of a disabled display, and the press-drag-release gesture that steers the
// active entry.
#pragma once

#include <QPen>
#include <QTransform>
#include <QWidget>

#include <optional>

class QPainter;

namespace orvelan::app {

class CPolarDisplay : public QWidget {
    Q_OBJECT

public:
    // The plot radius of the disc: 0 dB of a curve, the rim of a marker.
    static constexpr double kDiscRadius = 40.0;

    // The angle of a widget position in degrees: 0 to the right, 90 up, 180
    // left, 270 down, in [0, 360). The position is mapped with the plot's
    // inverse transform and taken to whole plot units first, so the centre
    // unit has no angle. The transform is taken when the display is painted
    // at a new size; the mouse can only reach a display already painted.
    std::optional<float> angleOf(const QPointF& position) const;

protected:
    explicit CPolarDisplay(QWidget* parent);

    struct Pens {
        QPen thick;   // 1.5: the active entry
        QPen medium;  // 0.75: the rim, the other entries, the veil's edge
        QPen thin;    // 0.25: rings, spokes and ticks
    };

    // Antialiasing, the viewport and the plot window.
    static void setPlotFrame(QPainter& painter, const QRect& viewport, const QRect& window);
    // The same on the widget's own painter; on a size change the inverse of
    // the plot transform is taken for the mouse.
    void beginPlot(QPainter& painter, const QRect& viewport, const QRect& window);
    // Grid pens in the palette's window-text brush of the current state.
    Pens gridPens() const;
    // From the painter's current frame: for every 5 degrees from 0 to
    // lastAngle a spoke from the centre (multiples of 30) or a tick at the
    // rim, a label above the rim at multiples of 90, each drawn straight up
    // and then the frame turned by step degrees (positive is clockwise).
    void drawScale(QPainter& painter, const QPen& pen, int lastAngle, double step) const;
    // The grey veil of a disabled display, over everything painted.
    static QBrush veilBrush();
    // The square around the disc, in plot units.
    static QRectF discRect() { return {-kDiscRadius, -kDiscRadius, 2.0 * kDiscRadius, 2.0 * kDiscRadius}; }

    // The gesture's hooks, called only while an entry is active.
    virtual bool hasActiveEntry() const = 0;
    // Whether a left press at this angle starts steering.
    virtual bool startsGesture(float angle) const;
    // The pointer turned by delta degrees (the plain difference of two
    // angles, so up to a full turn either way) since the last event.
    virtual void turnBy(float delta) = 0;
    // Press and release with no movement between them, at this angle.
    virtual void clickedAt(float angle) = 0;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double paintedWidth_ = 0.0;
    double paintedHeight_ = 0.0;
    QTransform inverse_;
    float angle_ = 0.0f;  // of the last press or move
    bool moved_ = false;
    // A gesture begins only with an accepted press: a press that was refused
    // must not let its drag or release act on the angle of an older one.
    bool steering_ = false;
};

}  // namespace orvelan::app

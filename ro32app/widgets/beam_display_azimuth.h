// The azimuth display: the beam tracks seen from above, every track's polar
// pattern in dB, turned to its azimuth phi (0 to the right, growing
// counter-clockwise), the active one drawn on top and filled. Clicking or
// dragging steers the active track and reports its new phi. The main window
// adds and removes curves in step with the beam-track editor, so index i
// here is the editor's track i.
#pragma once

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPointF>

#include <memory>
#include <vector>

#include "widgets/polar_display.h"

namespace orvelan::app {

// One track's curve: its colour and azimuth, the magnitudes it was given and
// the outline made from them once, so painting only turns and draws it.
class beamCurve {
public:
    // range: the dB span from the rim to the centre; magnitudes at or below
    // the level range dB under 1.0 are drawn at the centre.
    explicit beamCurve(double range = 40.0);
    ~beamCurve();
    beamCurve(const beamCurve&) = delete;
    beamCurve& operator=(const beamCurve&) = delete;

    // Stored reduced into [0, 360).
    void setPhi(double degrees);
    // Linear magnitudes at equal steps over a full turn, the last repeating
    // the first. 0 on success; 1 when an array cannot be allocated, and the
    // curve is then left without samples. Fewer than two samples (or none
    // given) leave it without samples too: no outline can be made of them.
    int setPattern(const float* magnitudes, int count);
    void setColor(const QColor& colour) { colour_ = colour; }

    QColor color() const { return colour_; }
    double phi() const { return phi_; }
    int sampleCount() const { return count_; }
    const float* magnitudes() const { return magnitudes_; }
    // sampleCount() points in plot units, 0 dB at radius 40, running
    // counter-clockwise on the screen from the right; the last equals the
    // first.
    const QPointF* outline() const { return outline_.get(); }

private:
    int computeOutline();
    void release();

    QColor colour_ = Qt::blue;
    double phi_ = 0.0;
    int count_ = 0;
    float* magnitudes_ = nullptr;  // aligned, for the vector kernels
    std::unique_ptr<QPointF[]> outline_;
    float floor_;
    float range_;
};

class CBeamDisplayAzimuth : public CPolarDisplay {
    Q_OBJECT

public:
    // capacity: the most curves the display holds; range: the dB span from
    // the rim to the centre, with a ring every 10 dB.
    CBeamDisplayAzimuth(int capacity, double range, QWidget* parent = nullptr);
    ~CBeamDisplayAzimuth() override;

    QSize sizeHint() const override { return {250, 250}; }
    QSize minimumSizeHint() const override { return {50, 50}; }

    // Appends a curve: 0; 1 when the display is full, 2 when the curve record
    // cannot be made, or the curve's own failure (the curve is then not
    // added).
    int addPattern(const float* magnitudes, int count, const QColor& colour);
    // Drops the active curve, moves the following ones down one place and
    // leaves none active; nothing without an active curve.
    void removeActivePattern();

    int capacity() const { return static_cast<int>(curves_.size()); }
    int curveCount() const { return count_; }
    // nullptr outside 0..curveCount()-1.
    const beamCurve* curve(int index) const;
    // -1 while none is active.
    int activeIndex() const { return active_; }

signals:
    // The active curve's phi after the mouse moved it, truncated (0..359).
    void phiChanged(int phi);

public slots:
    // Outside 0..curveCount()-1 no curve is active.
    void setActivePattern(int index);
    // These ignore an index outside 0..curveCount()-1; the forms without an
    // index act on the active curve and do nothing without one.
    void setColor(int index, const QColor& colour);
    void setPhi(int index, int degrees);
    void setPattern(int index, const float* magnitudes, int count);
    void setColor(const QColor& colour);
    void setPhi(int degrees);
    void setPattern(const float* magnitudes, int count);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

    bool hasActiveEntry() const override { return active_ >= 0; }
    void turnBy(float delta) override;
    void clickedAt(float angle) override;

private:
    beamCurve* at(int index);
    // Repaints; a change to any curve but the active one renews the layer.
    void changed(int index);
    void steerActive(double phi);
    QRect plotViewport() const;
    void paintLayer(const Pens& pens, qreal ratio);

    double range_;
    std::vector<std::unique_ptr<beamCurve>> curves_;
    int count_ = 0;
    int active_ = -1;
    // The background, the disc, its grid and every curve but the active
    // one, as last painted.
    QImage layer_;
    QBrush layerInk_;
    QBrush layerBackground_;
    bool layerStale_ = true;
};

}  // namespace orvelan::app

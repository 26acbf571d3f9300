// The elevation display: the beam tracks seen from the side, a half disc
// with one marker per track at its elevation theta (0 at the top, 90 to the
// right, 180 at the bottom), the active marker drawn last and heavier.
// Clicking or dragging in the half disc steers the active track and reports
// its new theta. Index i here is the beam-track editor's track i.
#pragma once

#include <QColor>

#include <vector>

#include "widgets/polar_display.h"

namespace orvelan::app {

class CBeamDisplayElevation : public CPolarDisplay {
    Q_OBJECT

public:
    explicit CBeamDisplayElevation(int capacity, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {250, 300}; }
    QSize minimumSizeHint() const override { return {50, 100}; }

    // Appends a marker at theta 0: 0; 1 when the display is full.
    int addBeam(const QColor& colour);
    // Drops the active marker, moves the following ones down one place and
    // leaves none active; nothing without an active marker.
    void removeActiveBeam();

    int capacity() const { return static_cast<int>(theta_.size()); }
    int markerCount() const { return count_; }
    // -1 while none is active.
    int activeIndex() const { return active_; }
    // Of any place up to the capacity: a free one holds theta 0 and black.
    float theta(int index) const { return theta_.at(index); }
    QColor color(int index) const { return colours_.at(index); }

signals:
    // The active marker's theta after the mouse moved it, truncated (0..180).
    void thetaChanged(int theta);

public slots:
    // Outside 0..markerCount()-1 no marker is active.
    void setActivePattern(int index);
    // These ignore an index outside 0..markerCount()-1; the forms without an
    // index act on the active marker and do nothing without one. Theta is
    // taken as it comes.
    void setColor(int index, const QColor& colour);
    void setTheta(int index, int degrees);
    void setColor(const QColor& colour);
    void setTheta(int degrees);

protected:
    void paintEvent(QPaintEvent* event) override;

    bool hasActiveEntry() const override { return active_ >= 0; }
    // Only in the right half, where the markers live.
    bool startsGesture(float angle) const override;
    void turnBy(float delta) override;
    void clickedAt(float angle) override;

private:
    bool holds(int index) const { return index >= 0 && index < count_; }
    void steerActive(float theta);

    int count_ = 0;
    int active_ = -1;
    std::vector<float> theta_;
    std::vector<QColor> colours_;
};

}  // namespace orvelan::app

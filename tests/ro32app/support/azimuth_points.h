// Where a direction lies on the azimuth display, for a test's mouse: the
// display shows 100 plot units across the largest square centred in it,
// angles counter-clockwise from the right.
#pragma once

#include <QPoint>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace orvelan::apptest {

// The widget position at `degrees` and `radius` plot units from the centre
// (the disc's rim is at 40).
inline QPoint azimuthDisplayPoint(const QWidget& display, double degrees, double radius = 20.0)
{
    const double scale = std::min(display.width(), display.height()) / 100.0;
    const double a = degrees * M_PI / 180.0;
    return QPoint(static_cast<int>(std::lround(display.width() / 2.0 + scale * radius * std::cos(a))),
                  static_cast<int>(std::lround(display.height() / 2.0 - scale * radius * std::sin(a))));
}

}  // namespace orvelan::apptest

// What a widget paints, read back from grab(): colours at points and the
// box a painted shape covers. Never used on text pixels, whose shapes
// depend on the fonts installed.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QTest>

#include <functional>

class QWidget;

namespace orvelan::apptest {

// The widget painted into an image of its own size, 32-bit ARGB.
QImage grabImage(QWidget* widget);

// Each of red, green, blue and alpha within tolerance.
bool colourNear(const QColor& actual, const QColor& expected, int tolerance = 2);
QString colourText(const QColor& colour);

// src at alpha over an opaque dst, as the raster painter composes it.
QColor over(const QColor& src, int alpha, const QColor& dst);

// The smallest rectangle holding every pixel for which inside() holds;
// an empty rectangle when there is none.
QRect boundingBox(const QImage& image, const std::function<bool(const QColor&)>& inside);

}  // namespace orvelan::apptest

// Fails the test with both colours when the pixel at (x, y) is not near.
#define ORVELAN_EXPECT_COLOUR(image, x, y, expected, tolerance)                                           \
    do {                                                                                                    \
        const QColor actual_ = (image).pixelColor((x), (y));                                                \
        QVERIFY2(orvelan::apptest::colourNear(actual_, (expected), (tolerance)),                            \
                 qPrintable(QString("pixel (%1, %2) is %3, expected %4")                                    \
                                .arg(x)                                                                     \
                                .arg(y)                                                                     \
                                .arg(orvelan::apptest::colourText(actual_), orvelan::apptest::colourText(expected)))); \
    } while (false)

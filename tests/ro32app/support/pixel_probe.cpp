#include "support/pixel_probe.h"

#include <QPixmap>
#include <QWidget>

#include <cmath>
#include <cstdlib>

namespace orvelan::apptest {

QImage grabImage(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

bool colourNear(const QColor& actual, const QColor& expected, int tolerance)
{
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance &&
           std::abs(actual.alpha() - expected.alpha()) <= tolerance;
}

QString colourText(const QColor& colour)
{
    return QString("(%1, %2, %3, alpha %4)").arg(colour.red()).arg(colour.green()).arg(colour.blue()).arg(colour.alpha());
}

QColor over(const QColor& src, int alpha, const QColor& dst)
{
    const double a = alpha / 255.0;
    const auto mix = [a](int s, int d) { return static_cast<int>(std::lround(s * a + d * (1.0 - a))); };
    return QColor(mix(src.red(), dst.red()), mix(src.green(), dst.green()), mix(src.blue(), dst.blue()));
}

QRect boundingBox(const QImage& image, const std::function<bool(const QColor&)>& inside)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (inside(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace orvelan::apptest

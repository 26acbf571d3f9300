// Draws every image the application compiles in: the transport buttons in
// their inactive and active states, the load and save file icons and the
// logo. Run at build time: draw_resources <output folder>.
//
// The buttons are shown at 64 pixels and the file icons at 25, so every
// shape is bold and simple (square, two bars, triangle, circle, folder,
// disk) and an active button is lit in its own colour, plate and all.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr int kButtonSize = 512;
constexpr int kFileIconSize = 128;
constexpr int kLogoSize = 400;

using Glyph = std::function<void(QPainter&, const QBrush&)>;

QImage blankImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A rounded plate behind the glyph; lit, it takes a glow and a rim in the
// glyph's colour.
void drawPlate(QPainter& painter, bool active, const QColor& lit)
{
    const QRectF plate(32, 32, 448, 448);
    QLinearGradient face(plate.topLeft(), plate.bottomLeft());
    face.setColorAt(0.0, active ? QColor(78, 80, 88) : QColor(96, 98, 104));
    face.setColorAt(1.0, active ? QColor(36, 38, 44) : QColor(56, 58, 64));
    painter.setPen(QPen(QColor(28, 28, 32), 8));
    painter.setBrush(face);
    painter.drawRoundedRect(plate, 96, 96);
    if (!active)
        return;
    QRadialGradient glow(plate.center(), 224);
    QColor centre = lit;
    centre.setAlpha(150);
    QColor edge = lit;
    edge.setAlpha(0);
    glow.setColorAt(0.0, centre);
    glow.setColorAt(1.0, edge);
    painter.setPen(QPen(lit, 14));
    painter.setBrush(glow);
    painter.drawRoundedRect(plate.adjusted(7, 7, -7, -7), 90, 90);
}

QImage drawButton(const Glyph& glyph, bool active, const QColor& lit, const QColor& unlit)
{
    QImage image = blankImage(kButtonSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawPlate(painter, active, lit);
    const QColor colour = active ? lit : unlit;
    QLinearGradient shade(0, 130, 0, 382);
    shade.setColorAt(0.0, colour.lighter(active ? 130 : 110));
    shade.setColorAt(1.0, colour);
    painter.setPen(QPen(colour.darker(active ? 160 : 180), 6));
    glyph(painter, QBrush(shade));
    return image;
}

void stopGlyph(QPainter& painter, const QBrush& brush)
{
    painter.setBrush(brush);
    painter.drawRoundedRect(QRectF(156, 156, 200, 200), 18, 18);
}

void pauseGlyph(QPainter& painter, const QBrush& brush)
{
    painter.setBrush(brush);
    painter.drawRoundedRect(QRectF(146, 146, 80, 220), 14, 14);
    painter.drawRoundedRect(QRectF(286, 146, 80, 220), 14, 14);
}

void playGlyph(QPainter& painter, const QBrush& brush)
{
    painter.setBrush(brush);
    const QPolygonF triangle({QPointF(186, 132), QPointF(186, 380), QPointF(396, 256)});
    painter.drawPolygon(triangle);
}

void recordGlyph(QPainter& painter, const QBrush& brush)
{
    painter.setBrush(brush);
    painter.drawEllipse(QPointF(256, 256), 116, 116);
}

// A yellow folder with an arrow coming out of it.
QImage drawLoadFile()
{
    QImage image = blankImage(kFileIconSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPen outline(QColor(120, 84, 10), 4);
    painter.setPen(outline);
    painter.setBrush(QColor(214, 160, 40));
    QPainterPath back;
    back.moveTo(8, 112);
    back.lineTo(8, 26);
    back.lineTo(46, 26);
    back.lineTo(56, 38);
    back.lineTo(112, 38);
    back.lineTo(112, 112);
    back.closeSubpath();
    painter.drawPath(back);
    QLinearGradient front(0, 56, 0, 116);
    front.setColorAt(0.0, QColor(255, 216, 96));
    front.setColorAt(1.0, QColor(240, 180, 50));
    painter.setBrush(front);
    painter.drawPolygon(QPolygonF({QPointF(8, 116), QPointF(22, 56), QPointF(124, 56), QPointF(112, 116)}));
    painter.setPen(QPen(QColor(20, 90, 30), 4));
    painter.setBrush(QColor(60, 190, 80));
    painter.drawPolygon(QPolygonF({QPointF(54, 104), QPointF(54, 78), QPointF(40, 78), QPointF(68, 44),
                                   QPointF(96, 78), QPointF(82, 78), QPointF(82, 104)}));
    return image;
}

// A blue floppy disk: shutter at the top, white label below.
QImage drawSaveFile()
{
    QImage image = blankImage(kFileIconSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(16, 40, 96), 4));
    QLinearGradient body(0, 8, 0, 120);
    body.setColorAt(0.0, QColor(80, 136, 230));
    body.setColorAt(1.0, QColor(40, 90, 190));
    painter.setBrush(body);
    QPainterPath disk;
    disk.moveTo(8, 8);
    disk.lineTo(100, 8);
    disk.lineTo(120, 28);
    disk.lineTo(120, 120);
    disk.lineTo(8, 120);
    disk.closeSubpath();
    painter.drawPath(disk);
    painter.setBrush(QColor(200, 208, 220));
    painter.drawRect(QRectF(30, 8, 60, 36));
    painter.setBrush(QColor(40, 60, 100));
    painter.drawRect(QRectF(70, 14, 12, 24));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRoundedRect(QRectF(22, 64, 84, 48), 6, 6);
    painter.setPen(QPen(QColor(150, 160, 180), 4));
    painter.drawLine(QPointF(32, 80), QPointF(96, 80));
    painter.drawLine(QPointF(32, 96), QPointF(96, 96));
    return image;
}

// The maker's mark: a sphere carrying 32 capsules (a spiral spread, the
// near half drawn), circled by an orbit.
QImage drawLogo()
{
    QImage image = blankImage(kLogoSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kLogoSize / 2.0, kLogoSize / 2.0);
    const double radius = 140;

    painter.setPen(QPen(QColor(232, 120, 24), 14, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(centre.x() - 188, centre.y() - 70, 376, 140), 200 * 16, 320 * 16);

    QRadialGradient sphere(centre - QPointF(48, 52), radius * 1.5);
    sphere.setColorAt(0.0, QColor(150, 190, 235));
    sphere.setColorAt(0.6, QColor(40, 80, 150));
    sphere.setColorAt(1.0, QColor(14, 30, 70));
    painter.setPen(QPen(QColor(10, 22, 52), 4));
    painter.setBrush(sphere);
    painter.drawEllipse(centre, radius, radius);

    constexpr int kCapsules = 32;
    const double golden = std::numbers::pi * (3.0 - std::sqrt(5.0));
    painter.setPen(QPen(QColor(20, 20, 24), 2));
    for (int i = 0; i < kCapsules; ++i) {
        const double z = 1.0 - (2.0 * i + 1.0) / kCapsules;
        const double ring = std::sqrt(1.0 - z * z);
        const double azimuth = golden * i;
        const double depth = ring * std::cos(azimuth);
        if (depth < 0.0)
            continue;
        const QPointF at(centre.x() + radius * ring * std::sin(azimuth), centre.y() - radius * z);
        const double size = 7 + 9 * depth;
        painter.setBrush(QColor(220, 224, 230));
        painter.drawEllipse(at, size, size);
    }

    painter.setPen(QPen(QColor(232, 120, 24), 14, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(centre.x() - 188, centre.y() - 70, 376, 140), 340 * 16, 180 * 16);
    return image;
}

bool save(const QImage& image, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "draw_resources: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_resources <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "draw_resources: cannot make %s\n", argv[1]);
        return 1;
    }

    struct Button {
        const char* name;
        Glyph glyph;
        QColor lit;
        QColor unlit;
    };
    const QColor unlitGrey(176, 180, 188);
    const Button buttons[] = {
        {"stop", stopGlyph, QColor(96, 186, 255), unlitGrey},
        {"pause", pauseGlyph, QColor(255, 196, 36), unlitGrey},
        {"play", playGlyph, QColor(56, 232, 88), unlitGrey},
        {"record", recordGlyph, QColor(255, 40, 40), QColor(150, 70, 70)},
    };
    bool ok = true;
    for (const Button& button : buttons) {
        const QString name = QString::fromLatin1(button.name);
        ok &= save(drawButton(button.glyph, false, button.lit, button.unlit), folder, name + "Inactive.png");
        ok &= save(drawButton(button.glyph, true, button.lit, button.unlit), folder, name + "Active.png");
    }
    ok &= save(drawLoadFile(), folder, "loadFile.png");
    ok &= save(drawSaveFile(), folder, "saveFile.png");
    ok &= save(drawLogo(), folder, "vexolabs.png");
    return ok ? 0 : 1;
}

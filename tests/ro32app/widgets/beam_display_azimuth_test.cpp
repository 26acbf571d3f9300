// The azimuth display: where a curve's magnitudes land on the disc (read
// back by pixel probes along rays from the centre), which way phi turns it,
// the active curve on top and filled, the veil, steering by mouse, and the
// curve list the main window keeps in step with the beam-track editor.
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <vector>

#include "dsp_memory.h"
#include "support/app_test_main.h"
#include "support/pixel_probe.h"
#include "widgets/beam_display_azimuth.h"

using orvelan::app::beamCurve;
using orvelan::app::CBeamDisplayAzimuth;
using namespace orvelan::apptest;

namespace {

// A 500 x 500 display shows the 100 x 100 plot units at 5 pixels each,
// centred on pixel (250, 250).
constexpr int kSide = 500;
constexpr double kScale = 5.0;
constexpr int kPoints = 73;

QPoint pixelOf(double x, double y)
{
    return QPoint(static_cast<int>(std::lround(kSide / 2 + kScale * x)),
                  static_cast<int>(std::lround(kSide / 2 + kScale * y)));
}

// The point at a radius (plot units) along a ray at an angle (degrees,
// counter-clockwise from the right).
QPoint onRay(double angle, double radius)
{
    const double a = angle * M_PI / 180.0;
    return pixelOf(radius * std::cos(a), -radius * std::sin(a));
}

std::vector<float> uniform(float magnitude, int count = kPoints)
{
    return std::vector<float>(count, magnitude);
}

// Full magnitude over 80..100 degrees, -20 dB elsewhere: a curve whose
// outline shows where it points.
std::vector<float> lobeAt90()
{
    std::vector<float> curve(kPoints, 0.1f);
    for (int k = 16; k <= 20; ++k)
        curve[k] = 1.0f;
    return curve;
}

bool isRed(const QColor& c)
{
    return c.red() >= 200 && c.green() <= 60 && c.blue() <= 60;
}

// The middle of the outermost run of red pixels along a ray, in plot units;
// -1 when the ray holds none.
double redRadius(const QImage& image, double angle)
{
    double first = -1.0, last = -1.0;
    for (double r = 0.0; r <= 48.0; r += 0.05) {
        const QPoint p = onRay(angle, r);
        if (isRed(image.pixelColor(p))) {
            if (last < r - 0.5)
                first = r;
            last = r;
        }
    }
    return first < 0.0 ? -1.0 : (first + last) / 2.0;
}

struct Fixture {
    explicit Fixture(int capacity = 18) : widget(capacity, 40.0) { widget.resize(kSide, kSide); }
    int add(const std::vector<float>& curve, const QColor& colour)
    {
        return widget.addPattern(curve.data(), static_cast<int>(curve.size()), colour);
    }
    QImage paint() { return grabImage(&widget); }
    CBeamDisplayAzimuth widget;
};

// Failing allocations from the n-th on; counts what is still held.
struct FailingAllocator {
    static inline int calls = 0;
    static inline int failFrom = 0;
    static inline int held = 0;
    static void* allocate(std::size_t bytes)
    {
        if (++calls >= failFrom)
            return nullptr;
        ++held;
        return std::malloc(bytes);
    }
    static void release(void* block)
    {
        --held;
        std::free(block);
    }
};

}  // namespace

class BeamDisplayAzimuthTest : public QObject {
    Q_OBJECT

private slots:
    void magnitudeSetsTheRadius_data()
    {
        QTest::addColumn<float>("magnitude");
        QTest::addColumn<double>("radius");  // -1: at the centre
        QTest::newRow("0 dB on the rim") << 1.0f << 40.0;
        QTest::newRow("-10 dB") << 0.31622777f << 30.0;
        QTest::newRow("-20 dB") << 0.1f << 20.0;
        QTest::newRow("-40 dB at the centre") << 0.01f << -1.0;
        QTest::newRow("below -40 dB at the centre") << 1e-4f << -1.0;
        QTest::newRow("zero at the centre") << 0.0f << -1.0;
    }

    void magnitudeSetsTheRadius()
    {
        QFETCH(float, magnitude);
        QFETCH(double, radius);
        Fixture display;
        QCOMPARE(display.add(uniform(magnitude), Qt::red), 0);
        const QImage image = display.paint();
        for (double angle : {12.5, 137.5, 257.5}) {
            const double found = redRadius(image, angle);
            if (radius < 0.0)
                QVERIFY2(found < 1.0, qPrintable(QString("radius %1 at %2").arg(found).arg(angle)));
            else
                QVERIFY2(std::abs(found - radius) < 0.4, qPrintable(QString("radius %1 at %2").arg(found).arg(angle)));
        }
    }

    void phiTurnsTheCurveCounterClockwise()
    {
        Fixture display;
        display.add(lobeAt90(), Qt::red);
        QImage image = display.paint();
        QVERIFY(std::abs(redRadius(image, 90.0) - 40.0) < 0.4);
        QVERIFY(std::abs(redRadius(image, 0.0) - 20.0) < 0.4);
        QVERIFY(std::abs(redRadius(image, 180.0) - 20.0) < 0.4);

        display.widget.setPhi(0, 90);
        image = display.paint();
        QVERIFY(std::abs(redRadius(image, 180.0) - 40.0) < 0.4);
        QVERIFY(std::abs(redRadius(image, 90.0) - 20.0) < 0.4);
        QVERIFY(std::abs(redRadius(image, 270.0) - 20.0) < 0.4);
    }

    void activeCurveIsDrawnOnTopAndFilled()
    {
        Fixture display;
        display.add(uniform(0.1f), Qt::red);
        display.add(uniform(0.1f), Qt::blue);
        const QPoint onCurve = onRay(47.5, 20.0);
        const QPoint inside = onRay(47.5, 15.0);
        const QPoint outside = onRay(47.5, 25.0);

        ORVELAN_EXPECT_COLOUR(display.paint(), onCurve.x(), onCurve.y(), QColor(Qt::blue), 2);
        ORVELAN_EXPECT_COLOUR(display.paint(), inside.x(), inside.y(), QColor(Qt::white), 2);

        display.widget.setActivePattern(0);
        QImage image = display.paint();
        ORVELAN_EXPECT_COLOUR(image, onCurve.x(), onCurve.y(), QColor(Qt::red), 2);
        ORVELAN_EXPECT_COLOUR(image, inside.x(), inside.y(), over(Qt::red, 50, Qt::white), 3);
        ORVELAN_EXPECT_COLOUR(image, outside.x(), outside.y(), QColor(Qt::white), 2);

        display.widget.setActivePattern(1);
        image = display.paint();
        ORVELAN_EXPECT_COLOUR(image, onCurve.x(), onCurve.y(), QColor(Qt::blue), 2);
        ORVELAN_EXPECT_COLOUR(image, inside.x(), inside.y(), over(Qt::blue, 50, Qt::white), 3);
    }

    // What is not the active curve is painted once and kept; each of these
    // changes must still show on the next paint.
    void everyChangeShowsOnTheNextPaint_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<double>("angle");
        QTest::addColumn<double>("radius");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("colour of another curve") << 0 << 90.0 << 40.0 << QColor(Qt::green);
        QTest::newRow("phi of another curve") << 1 << 180.0 << 40.0 << QColor(Qt::red);
        QTest::newRow("pattern of another curve") << 2 << 0.0 << 40.0 << QColor(Qt::red);
        QTest::newRow("another active curve") << 3 << 87.5 << 34.0 << over(Qt::red, 50, Qt::white);
        QTest::newRow("active curve removed") << 4 << 47.5 << 8.0 << QColor(Qt::white);
        QTest::newRow("ink of the rim") << 5 << 47.5 << 40.0 << QColor(Qt::yellow);
    }

    void everyChangeShowsOnTheNextPaint()
    {
        QFETCH(int, change);
        QFETCH(double, angle);
        QFETCH(double, radius);
        QFETCH(QColor, colour);
        Fixture display;
        display.add(lobeAt90(), Qt::red);
        display.add(uniform(0.031622777f), Qt::blue);  // -30 dB: radius 10
        display.widget.setActivePattern(1);
        display.paint();

        const auto whole = uniform(1.0f);
        QPalette palette = display.widget.palette();
        switch (change) {
        case 0: display.widget.setColor(0, Qt::green); break;
        case 1: display.widget.setPhi(0, 90); break;
        case 2: display.widget.setPattern(0, whole.data(), kPoints); break;
        case 3: display.widget.setActivePattern(0); break;
        case 4: display.widget.removeActivePattern(); break;
        case 5:
            palette.setColor(QPalette::WindowText, Qt::yellow);
            display.widget.setPalette(palette);
            break;
        }
        const QPoint probe = onRay(angle, radius);
        ORVELAN_EXPECT_COLOUR(display.paint(), probe.x(), probe.y(), colour, 3);
    }

    void theBackgroundOutsideTheDiscIsTheDisplaysOwn()
    {
        // The display paints its whole area itself, nothing behind it is
        // painted first: the corners carry the palette's background, also
        // after the palette changes.
        Fixture display;
        display.add(uniform(1.0f), Qt::blue);
        display.widget.setActivePattern(0);
        for (const QColor& colour : {QColor(10, 200, 30), QColor(250, 240, 10)}) {
            QPalette palette = display.widget.palette();
            palette.setColor(QPalette::Window, colour);
            display.widget.setPalette(palette);
            const QImage image = display.paint();
            ORVELAN_EXPECT_COLOUR(image, 2, 2, colour, 0);
            ORVELAN_EXPECT_COLOUR(image, kSide - 3, kSide - 3, colour, 0);
        }
    }

    void disabledDisplayShowsItsCurvesUnderTheVeil()
    {
        Fixture display;
        display.add(uniform(0.1f), Qt::red);
        display.add(uniform(1.0f), Qt::blue);
        display.widget.setActivePattern(1);
        const QPoint onCurve = onRay(47.5, 20.0);
        const QPoint empty = onRay(47.5, 35.0);
        const QPoint corner(3, 3);
        const QColor background = display.paint().pixelColor(corner);

        display.widget.setEnabled(false);
        const QImage image = display.paint();
        const QColor veil(200, 200, 200);
        ORVELAN_EXPECT_COLOUR(image, onCurve.x(), onCurve.y(), over(veil, 125, over(Qt::blue, 50, Qt::red)), 3);
        ORVELAN_EXPECT_COLOUR(image, empty.x(), empty.y(), over(veil, 125, over(Qt::blue, 50, Qt::white)), 3);
        ORVELAN_EXPECT_COLOUR(image, corner.x(), corner.y(), background, 0);
    }

    void clickPutsTheActiveBeamWhereClicked_data()
    {
        QTest::addColumn<QPointF>("plot");
        QTest::addColumn<int>("phi");
        QTest::newRow("right") << QPointF(20, 0) << 0;
        QTest::newRow("straight above") << QPointF(0, -20) << 90;
        QTest::newRow("left") << QPointF(-20, 0) << 180;
        QTest::newRow("straight below") << QPointF(0, 20) << 270;
        QTest::newRow("lower left") << QPointF(-20, 20) << 225;
        QTest::newRow("near the centre") << QPointF(1, -1) << 45;
    }

    void clickPutsTheActiveBeamWhereClicked()
    {
        QFETCH(QPointF, plot);
        QFETCH(int, phi);
        Fixture display;
        display.add(uniform(1.0f), Qt::red);
        display.add(uniform(1.0f), Qt::blue);
        display.widget.setPhi(1, 300);
        display.widget.setActivePattern(1);
        display.paint();
        QSignalSpy changes(&display.widget, &CBeamDisplayAzimuth::phiChanged);

        QTest::mouseClick(&display.widget, Qt::LeftButton, {}, pixelOf(plot.x(), plot.y()));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toInt(), phi);
        QCOMPARE(display.widget.curve(1)->phi(), double(phi));
        QCOMPARE(display.widget.curve(0)->phi(), 0.0);
    }

    void dragAcrossZeroTurnsTheShortWay()
    {
        Fixture display;
        display.add(uniform(1.0f), Qt::red);
        display.widget.setActivePattern(0);
        display.widget.setPhi(100);
        display.paint();
        QSignalSpy changes(&display.widget, &CBeamDisplayAzimuth::phiChanged);

        // From 350.07 to 9.93 degrees: +19.85, not -340.15.
        QTest::mousePress(&display.widget, Qt::LeftButton, {}, pixelOf(40, 7));
        QTest::mouseMove(&display.widget, pixelOf(40, -7));
        QTest::mouseRelease(&display.widget, Qt::LeftButton, {}, pixelOf(40, -7));
        QCOMPARE(changes.count(), 1);  // the release after a move adds nothing
        QCOMPARE(changes.at(0).at(0).toInt(), 119);
        QVERIFY(std::abs(display.widget.curve(0)->phi() - (100.0 + 2.0 * std::atan2(7.0, 40.0) * 180.0 / M_PI)) < 1e-3);
    }

    void phiJustShortOfAFullTurnEmits359()
    {
        Fixture display;
        display.add(uniform(1.0f), Qt::red);
        display.widget.setActivePattern(0);
        display.paint();
        QSignalSpy changes(&display.widget, &CBeamDisplayAzimuth::phiChanged);

        // From 1.43 to 1.27 degrees: phi 0 becomes 359.84.
        QTest::mousePress(&display.widget, Qt::LeftButton, {}, pixelOf(40, -1));
        QTest::mouseMove(&display.widget, pixelOf(45, -1));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toInt(), 359);
        const double phi = display.widget.curve(0)->phi();
        QVERIFY2(phi > 359.8 && phi < 360.0, qPrintable(QString::number(phi)));
    }

    void gesturesThatSteerNothing_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPointF>("press");
        QTest::addColumn<QPointF>("to");  // equal to press: a click
        QTest::newRow("click, no active curve") << -1 << int(Qt::LeftButton) << QPointF(0, -20) << QPointF(0, -20);
        QTest::newRow("drag, no active curve") << -1 << int(Qt::LeftButton) << QPointF(20, 0) << QPointF(0, -20);
        QTest::newRow("click with the right button") << 0 << int(Qt::RightButton) << QPointF(0, -20) << QPointF(0, -20);
        QTest::newRow("click at the centre") << 0 << int(Qt::LeftButton) << QPointF(0, 0) << QPointF(0, 0);
    }

    void gesturesThatSteerNothing()
    {
        QFETCH(int, active);
        QFETCH(int, button);
        QFETCH(QPointF, press);
        QFETCH(QPointF, to);
        Fixture display;
        display.add(uniform(1.0f), Qt::red);
        display.widget.setPhi(0, 30);
        display.widget.setActivePattern(active);
        display.paint();
        // An earlier click leaves its angle behind; nothing below may use it.
        if (active >= 0) {
            QTest::mouseClick(&display.widget, Qt::LeftButton, {}, pixelOf(-20, 0));
            display.widget.setPhi(30);
        }
        QSignalSpy changes(&display.widget, &CBeamDisplayAzimuth::phiChanged);

        const auto mouseButton = static_cast<Qt::MouseButton>(button);
        QTest::mousePress(&display.widget, mouseButton, {}, pixelOf(press.x(), press.y()));
        if (to != press)
            QTest::mouseMove(&display.widget, pixelOf(to.x(), to.y()));
        QTest::mouseRelease(&display.widget, mouseButton, {}, pixelOf(to.x(), to.y()));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(display.widget.curve(0)->phi(), 30.0);
    }

    void setPhiKeepsPhiInAFullTurn_data()
    {
        QTest::addColumn<int>("degrees");
        QTest::addColumn<double>("phi");
        QTest::newRow("725") << 725 << 5.0;
        QTest::newRow("-30") << -30 << 330.0;
        QTest::newRow("360") << 360 << 0.0;
        QTest::newRow("-720") << -720 << 0.0;
        QTest::newRow("359") << 359 << 359.0;
    }

    void setPhiKeepsPhiInAFullTurn()
    {
        QFETCH(int, degrees);
        QFETCH(double, phi);
        Fixture display;
        display.add(uniform(1.0f), Qt::red);
        display.add(uniform(1.0f), Qt::blue);
        QSignalSpy changes(&display.widget, &CBeamDisplayAzimuth::phiChanged);
        display.widget.setPhi(0, degrees);
        display.widget.setActivePattern(1);
        display.widget.setPhi(degrees);
        QCOMPARE(display.widget.curve(0)->phi(), phi);
        QCOMPARE(display.widget.curve(1)->phi(), phi);
        QCOMPARE(changes.count(), 0);  // setters restore, they do not report
    }

    void slotsIgnoreIndicesOutsideTheCurves()
    {
        Fixture display;
        display.add(uniform(1.0f), Qt::red);
        const auto other = uniform(0.1f, 37);
        for (int index : {-1, 1, 18}) {
            display.widget.setPhi(index, 45);
            display.widget.setColor(index, Qt::green);
            display.widget.setPattern(index, other.data(), 37);
        }
        display.widget.setActivePattern(1);  // beyond the last curve: none
        QCOMPARE(display.widget.activeIndex(), -1);
        display.widget.setPhi(45);
        display.widget.setColor(Qt::green);
        display.widget.setPattern(other.data(), 37);
        const beamCurve* curve = display.widget.curve(0);
        QCOMPARE(curve->phi(), 0.0);
        QCOMPARE(curve->color(), QColor(Qt::red));
        QCOMPARE(curve->sampleCount(), kPoints);
        QCOMPARE(display.widget.curve(1), nullptr);
    }

    void outlineFollowsTheSampleCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("73, 5-degree steps") << 73;
        QTest::newRow("37, 10-degree steps") << 37;
        QTest::newRow("5, quarter turns") << 5;
    }

    void outlineFollowsTheSampleCount()
    {
        QFETCH(int, count);
        Fixture display;
        display.add(uniform(1.0f), Qt::red);
        // A new count replaces the arrays of the old one.
        std::vector<float> curve = uniform(0.1f, count);
        curve[(count - 1) / 4] = 1.0f;  // the quarter turn, straight up
        display.widget.setPattern(0, curve.data(), count);

        const beamCurve* c = display.widget.curve(0);
        QCOMPARE(c->sampleCount(), count);
        QCOMPARE(c->magnitudes()[(count - 1) / 4], 1.0f);
        const QPointF* outline = c->outline();
        QVERIFY(std::abs(outline[0].x() - 20.0) < 1e-3 && std::abs(outline[0].y()) < 1e-3);
        QVERIFY(std::abs(outline[(count - 1) / 4].x()) < 1e-3 && std::abs(outline[(count - 1) / 4].y() + 40.0) < 1e-3);
        QVERIFY(std::abs(outline[(count - 1) / 2].x() + 20.0) < 1e-3);
        QCOMPARE(outline[count - 1], outline[0]);
    }

    void curvesAreAddedUpToTheCapacityAndRemovedInPlace()
    {
        Fixture display(3);
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
        for (const QColor& colour : colours)
            QCOMPARE(display.add(uniform(1.0f), colour), 0);
        QCOMPARE(display.add(uniform(1.0f), Qt::black), 1);
        QCOMPARE(display.widget.curveCount(), 3);
        display.widget.setPhi(2, 200);

        display.widget.setActivePattern(1);
        display.widget.removeActivePattern();
        QCOMPARE(display.widget.curveCount(), 2);
        QCOMPARE(display.widget.activeIndex(), -1);
        QCOMPARE(display.widget.curve(0)->color(), QColor(Qt::red));
        QCOMPARE(display.widget.curve(1)->color(), QColor(Qt::blue));
        QCOMPARE(display.widget.curve(1)->phi(), 200.0);

        display.widget.removeActivePattern();  // none active: nothing
        QCOMPARE(display.widget.curveCount(), 2);
        QCOMPARE(display.add(uniform(0.1f), Qt::black), 0);
        QCOMPARE(display.widget.curve(2)->color(), QColor(Qt::black));
    }

    void failedAllocationLeavesNoCurveAndNothingHeld_data()
    {
        QTest::addColumn<int>("failFrom");
        QTest::newRow("the magnitude copy") << 1;
        QTest::newRow("the first working array") << 2;
        QTest::newRow("the last working array") << 5;
    }

    void failedAllocationLeavesNoCurveAndNothingHeld()
    {
        QFETCH(int, failFrom);
        const DspMemHooks saved = dspMemHooks;
        FailingAllocator::calls = 0;
        FailingAllocator::held = 0;
        FailingAllocator::failFrom = 1 << 30;
        dspMemHooks.allocate = FailingAllocator::allocate;
        dspMemHooks.release = FailingAllocator::release;
        {
            Fixture display;
            QCOMPARE(display.add(uniform(0.1f), Qt::red), 0);
            QCOMPARE(FailingAllocator::held, 1);  // the working arrays went back

            FailingAllocator::calls = 0;
            FailingAllocator::failFrom = failFrom;
            QCOMPARE(display.add(uniform(1.0f), Qt::blue), 1);
            QCOMPARE(display.widget.curveCount(), 1);

            // A curve that cannot take its new samples keeps none.
            FailingAllocator::calls = 0;
            const auto wider = uniform(1.0f, 37);
            display.widget.setPattern(0, wider.data(), 37);
            QCOMPARE(display.widget.curve(0)->sampleCount(), 0);
            QCOMPARE(redRadius(display.paint(), 47.5), -1.0);
        }
        const int held = FailingAllocator::held;
        dspMemHooks = saved;
        QCOMPARE(held, 0);
    }
};

ORVELAN_APP_TEST_MAIN(BeamDisplayAzimuthTest)
#include "beam_display_azimuth_test.moc"

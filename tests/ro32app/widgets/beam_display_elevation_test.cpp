// The elevation display: markers at their theta on the right half disc,
// the active one drawn last, the veil, steering by click and drag within
// 0..180, presses outside the half disc, and the marker list.
#include <QSignalSpy>
#include <QTest>

#include <cmath>

#include "support/app_test_main.h"
#include "support/pixel_probe.h"
#include "widgets/beam_display_elevation.h"

using orvelan::app::CBeamDisplayElevation;
using namespace orvelan::apptest;

namespace {

// A 300 x 500 display shows the 60 x 100 plot units at 5 pixels each; the
// disc's centre, plot (0, 0), lies on pixel (50, 250).
constexpr int kWidth = 300;
constexpr int kHeight = 500;

QPoint pixelOf(double x, double y)
{
    return QPoint(static_cast<int>(std::lround(50 + 5.0 * x)), static_cast<int>(std::lround(250 + 5.0 * y)));
}

// The pixel holding the point at a radius along a marker's line (theta 0
// up, 90 right), aside from it by a distance at right angles, in plot units.
QPoint atTheta(double theta, double radius, double aside = 0.0)
{
    const double t = theta * M_PI / 180.0;
    const double x = radius * std::sin(t) + aside * std::cos(t), y = -radius * std::cos(t) + aside * std::sin(t);
    return QPoint(static_cast<int>(std::floor(50 + 5.0 * x)), static_cast<int>(std::floor(250 + 5.0 * y)));
}

struct Fixture {
    explicit Fixture(int capacity = 18) : widget(capacity)
    {
        widget.resize(kWidth, kHeight);
    }
    void add(const QColor& colour, int theta)
    {
        widget.addBeam(colour);
        widget.setTheta(widget.markerCount() - 1, theta);
    }
    QImage paint() { return grabImage(&widget); }
    void click(double x, double y) { QTest::mouseClick(&widget, Qt::LeftButton, {}, pixelOf(x, y)); }
    CBeamDisplayElevation widget;
};

}  // namespace

class BeamDisplayElevationTest : public QObject {
    Q_OBJECT

private slots:
    void markersStandAtTheirTheta()
    {
        Fixture display;
        display.add(Qt::red, 30);
        display.add(Qt::blue, 150);
        const QImage image = display.paint();
        for (double radius : {10.0, 25.0, 35.0}) {
            const QPoint red = atTheta(30.0, radius), blue = atTheta(150.0, radius), none = atTheta(75.0, radius);
            ORVELAN_EXPECT_COLOUR(image, red.x(), red.y(), QColor(Qt::red), 2);
            ORVELAN_EXPECT_COLOUR(image, blue.x(), blue.y(), QColor(Qt::blue), 2);
            ORVELAN_EXPECT_COLOUR(image, none.x(), none.y(), QColor(Qt::white), 2);
        }
    }

    void activeMarkerIsDrawnLast()
    {
        Fixture display;
        display.add(Qt::red, 60);
        display.add(Qt::blue, 60);
        const QPoint onLine = atTheta(60.0, 25.0);
        ORVELAN_EXPECT_COLOUR(display.paint(), onLine.x(), onLine.y(), QColor(Qt::blue), 2);
        display.widget.setActivePattern(0);
        ORVELAN_EXPECT_COLOUR(display.paint(), onLine.x(), onLine.y(), QColor(Qt::red), 2);
        // The active marker's line is twice as heavy: 1.5 units against 0.75,
        // so a pixel 0.56 units aside lies wholly inside the one and wholly
        // outside the other.
        display.widget.setTheta(1, 120);
        const QImage image = display.paint();
        const QPoint besideActive = atTheta(60.0, 25.0, 0.56), besideOther = atTheta(120.0, 25.0, 0.56);
        ORVELAN_EXPECT_COLOUR(image, besideActive.x(), besideActive.y(), QColor(Qt::red), 2);
        ORVELAN_EXPECT_COLOUR(image, besideOther.x(), besideOther.y(), QColor(Qt::white), 2);
    }

    void disabledDisplayShowsItsMarkersUnderTheVeil()
    {
        Fixture display;
        display.add(Qt::red, 45);
        display.add(Qt::blue, 135);
        display.widget.setActivePattern(1);
        display.widget.setEnabled(false);
        const QImage image = display.paint();
        const QColor veil(200, 200, 200);
        const QPoint red = atTheta(45.0, 25.0), blue = atTheta(135.0, 25.0), empty = atTheta(75.0, 25.0);
        ORVELAN_EXPECT_COLOUR(image, red.x(), red.y(), over(veil, 125, Qt::red), 3);
        ORVELAN_EXPECT_COLOUR(image, blue.x(), blue.y(), over(veil, 125, Qt::blue), 3);
        ORVELAN_EXPECT_COLOUR(image, empty.x(), empty.y(), over(veil, 125, Qt::white), 3);
    }

    void clickSetsTheActiveTheta_data()
    {
        QTest::addColumn<QPointF>("plot");
        QTest::addColumn<int>("theta");
        QTest::newRow("rightmost") << QPointF(40, 0) << 90;
        QTest::newRow("top") << QPointF(0, -40) << 0;
        QTest::newRow("bottom") << QPointF(0, 40) << 180;
        QTest::newRow("upper right") << QPointF(20, -20) << 45;
        QTest::newRow("lower right") << QPointF(20, 20) << 135;
    }

    void clickSetsTheActiveTheta()
    {
        QFETCH(QPointF, plot);
        QFETCH(int, theta);
        Fixture display;
        display.add(Qt::red, 60);
        display.add(Qt::blue, 60);
        display.widget.setActivePattern(1);
        display.paint();
        QSignalSpy changes(&display.widget, &CBeamDisplayElevation::thetaChanged);

        display.click(plot.x(), plot.y());
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toInt(), theta);
        QCOMPARE(display.widget.theta(1), float(theta));
        QCOMPARE(display.widget.theta(0), 60.0f);
    }

    void pressOutsideTheHalfDiscIsIgnored_data()
    {
        QTest::addColumn<QPointF>("press");
        QTest::newRow("left") << QPointF(-20, 0);
        QTest::newRow("upper left") << QPointF(-20, -20);
        QTest::newRow("just left of the top") << QPointF(-1, -30);
        QTest::newRow("the centre") << QPointF(0, 0);
    }

    void pressOutsideTheHalfDiscIsIgnored()
    {
        QFETCH(QPointF, press);
        Fixture display;
        display.add(Qt::red, 60);
        display.widget.setActivePattern(0);
        display.paint();
        // An earlier click leaves its angle behind; the refused press must
        // not act on it, by its release or by a drag.
        display.click(20, 20);
        display.widget.setTheta(60);
        QSignalSpy changes(&display.widget, &CBeamDisplayElevation::thetaChanged);

        display.click(press.x(), press.y());
        QTest::mousePress(&display.widget, Qt::LeftButton, {}, pixelOf(press.x(), press.y()));
        QTest::mouseMove(&display.widget, pixelOf(30, -30));
        QTest::mouseRelease(&display.widget, Qt::LeftButton, {}, pixelOf(30, -30));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(display.widget.theta(0), 60.0f);
    }

    void dragTurnsTheActiveMarkerWithinTheHalfCircle_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QPointF>("press");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<int>("theta");
        QTest::newRow("up by 45") << 90 << QPointF(40, 0) << QPointF(20, -20) << 45;
        QTest::newRow("past the top stops at 0") << 10 << QPointF(20, -20) << QPointF(-20, -20) << 0;
        QTest::newRow("past the bottom stops at 180") << 170 << QPointF(20, 20) << QPointF(-20, 20) << 180;
        // From 350.07 to 9.93 degrees: 19.85 up, not 340.15 down.
        QTest::newRow("up across the right") << 100 << QPointF(40, 7) << QPointF(40, -7) << 80;
        QTest::newRow("down across the right") << 80 << QPointF(40, -7) << QPointF(40, 7) << 99;
    }

    void dragTurnsTheActiveMarkerWithinTheHalfCircle()
    {
        QFETCH(int, start);
        QFETCH(QPointF, press);
        QFETCH(QPointF, to);
        QFETCH(int, theta);
        Fixture display;
        display.add(Qt::red, start);
        display.widget.setActivePattern(0);
        display.paint();
        QSignalSpy changes(&display.widget, &CBeamDisplayElevation::thetaChanged);

        QTest::mousePress(&display.widget, Qt::LeftButton, {}, pixelOf(press.x(), press.y()));
        QTest::mouseMove(&display.widget, pixelOf(to.x(), to.y()));
        QTest::mouseRelease(&display.widget, Qt::LeftButton, {}, pixelOf(to.x(), to.y()));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toInt(), theta);
        QVERIFY(display.widget.theta(0) >= 0.0f && display.widget.theta(0) <= 180.0f);
    }

    void mouseWithoutActiveMarkerChangesNothing()
    {
        Fixture display;
        display.add(Qt::red, 60);
        display.paint();
        QSignalSpy changes(&display.widget, &CBeamDisplayElevation::thetaChanged);
        display.click(40, 0);
        QTest::mousePress(&display.widget, Qt::LeftButton, {}, pixelOf(40, 0));
        QTest::mouseMove(&display.widget, pixelOf(0, -40));
        QTest::mouseRelease(&display.widget, Qt::LeftButton, {}, pixelOf(0, -40));
        display.widget.setTheta(10);  // no active marker: nothing
        QCOMPARE(changes.count(), 0);
        QCOMPARE(display.widget.theta(0), 60.0f);
    }

    void settersTakeThetaAsItComesAndIgnoreOtherIndices()
    {
        Fixture display;
        display.add(Qt::red, 0);
        QSignalSpy changes(&display.widget, &CBeamDisplayElevation::thetaChanged);
        display.widget.setTheta(0, 200);
        QCOMPARE(display.widget.theta(0), 200.0f);
        display.widget.setActivePattern(0);
        display.widget.setTheta(-20);
        display.widget.setColor(Qt::green);
        QCOMPARE(display.widget.theta(0), -20.0f);
        QCOMPARE(display.widget.color(0), QColor(Qt::green));
        for (int index : {-1, 1, 17}) {
            display.widget.setTheta(index, 45);
            display.widget.setColor(index, Qt::blue);
        }
        QCOMPARE(display.widget.theta(1), 0.0f);
        QCOMPARE(display.widget.color(1), QColor(Qt::black));
        display.widget.setActivePattern(1);  // beyond the last marker: none
        QCOMPARE(display.widget.activeIndex(), -1);
        QCOMPARE(changes.count(), 0);
    }

    void markersAreAddedUpToTheCapacityAndRemovedInPlace()
    {
        Fixture display(3);
        QCOMPARE(display.widget.addBeam(Qt::red), 0);
        QCOMPARE(display.widget.addBeam(Qt::green), 0);
        QCOMPARE(display.widget.addBeam(Qt::blue), 0);
        QCOMPARE(display.widget.addBeam(Qt::black), 1);
        QCOMPARE(display.widget.markerCount(), 3);
        QCOMPARE(display.widget.theta(2), 0.0f);
        display.widget.setTheta(1, 40);
        display.widget.setTheta(2, 140);

        display.widget.setActivePattern(0);
        display.widget.removeActiveBeam();
        QCOMPARE(display.widget.markerCount(), 2);
        QCOMPARE(display.widget.activeIndex(), -1);
        QCOMPARE(display.widget.color(0), QColor(Qt::green));
        QCOMPARE(display.widget.theta(0), 40.0f);
        QCOMPARE(display.widget.color(1), QColor(Qt::blue));
        QCOMPARE(display.widget.theta(1), 140.0f);
        QCOMPARE(display.widget.color(2), QColor(Qt::black));
        QCOMPARE(display.widget.theta(2), 0.0f);

        display.widget.removeActiveBeam();  // none active: nothing
        QCOMPARE(display.widget.markerCount(), 2);
    }
};

ORVELAN_APP_TEST_MAIN(BeamDisplayElevationTest)
#include "beam_display_elevation_test.moc"

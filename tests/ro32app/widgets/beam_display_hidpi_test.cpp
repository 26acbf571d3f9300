// Both beam displays on a screen of pixel ratio 2: the mouse speaks in
// widget coordinates while the painter works in device pixels, and steering
// must follow the former.
#include <QSignalSpy>
#include <QTest>

#include <vector>

#include "support/app_test_main.h"
#include "widgets/beam_display_azimuth.h"
#include "widgets/beam_display_elevation.h"

using orvelan::app::CBeamDisplayAzimuth;
using orvelan::app::CBeamDisplayElevation;

namespace {

// Before the test main makes the application.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

}  // namespace

class BeamDisplayHiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(kScaled);
        CBeamDisplayAzimuth probe(1, 40.0);
        if (probe.devicePixelRatioF() != 2.0)
            QSKIP("the platform gives no pixel ratio of 2");
    }

    void azimuthClickFollowsWidgetCoordinates()
    {
        CBeamDisplayAzimuth display(2, 40.0);
        display.resize(200, 200);
        const std::vector<float> curve(73, 1.0f);
        display.addPattern(curve.data(), 73, Qt::red);
        display.setActivePattern(0);
        display.grab();
        QSignalSpy changes(&display, &CBeamDisplayAzimuth::phiChanged);

        QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(100, 60));  // straight above the centre
        QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(60, 140));  // lower left
        QCOMPARE(changes.count(), 2);
        QCOMPARE(changes.at(0).at(0).toInt(), 90);
        QCOMPARE(changes.at(1).at(0).toInt(), 225);
    }

    void elevationClickFollowsWidgetCoordinates()
    {
        CBeamDisplayElevation display(2);
        display.resize(120, 200);  // 2 pixels a unit, the centre at (20, 100)
        display.addBeam(Qt::red);
        display.setActivePattern(0);
        display.grab();
        QSignalSpy changes(&display, &CBeamDisplayElevation::thetaChanged);

        QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(100, 100));  // rightmost
        QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(20, 20));    // top
        QCOMPARE(changes.count(), 2);
        QCOMPARE(changes.at(0).at(0).toInt(), 90);
        QCOMPARE(changes.at(1).at(0).toInt(), 0);
    }
};

ORVELAN_APP_TEST_MAIN(BeamDisplayHiDpiTest)
#include "beam_display_hidpi_test.moc"

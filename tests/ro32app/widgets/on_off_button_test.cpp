// What an on/off button paints, read back by pixel probes: the colour
// scheme of its checked or unchecked state, paler while disabled, and the
// face one pixel right and down while held.
#include <QTest>

#include "support/app_test_main.h"
#include "support/pixel_probe.h"
#include "widgets/on_off_button.h"

using orvelan::app::COnOffButton;
using namespace orvelan::apptest;

namespace {

struct Stops {
    QColor from, to;
};

// The scheme table: enabled and disabled gradients.
const Stops kEnabled[] = {{QColor(255, 0, 0), QColor(182, 0, 0)},
                          {QColor(29, 255, 20), QColor(29, 182, 20)},
                          {QColor(250, 250, 20), QColor(180, 180, 20)},
                          {QColor(230, 230, 230), QColor(150, 150, 150)}};
const Stops kDisabled[] = {{QColor(255, 105, 105), QColor(182, 105, 105)},
                           {QColor(149, 255, 140), QColor(139, 182, 130)},
                           {QColor(220, 220, 140), QColor(150, 150, 130)},
                           {QColor(150, 150, 150), QColor(80, 80, 80)}};

QColor lerp(const Stops& stops, double t)
{
    const auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    return QColor(mix(stops.from.red(), stops.to.red()), mix(stops.from.green(), stops.to.green()),
                  mix(stops.from.blue(), stops.to.blue()));
}

// On a 40 x 40 button the face is the circle of radius 16 around (20, 20)
// and the gradient runs from (16, 16) to (32, 32): pixel (11, 11) lies
// before its start, pixel (24, 24) (centre 24.5) at t = 17/32.
constexpr int kSide = 40;
void expectFace(const QImage& image, const Stops& stops)
{
    ORVELAN_EXPECT_COLOUR(image, 11, 11, stops.from, 2);
    ORVELAN_EXPECT_COLOUR(image, 24, 24, lerp(stops, 17.0 / 32.0), 4);
}

}  // namespace

class OnOffButtonTest : public QObject {
    Q_OBJECT

private slots:
    void paintsTheSchemeOfItsState_data()
    {
        QTest::addColumn<int>("onScheme");
        QTest::addColumn<int>("offScheme");
        for (int scheme = 0; scheme < 4; ++scheme)
            QTest::addRow("on %d", scheme) << scheme << (scheme + 1) % 4;
    }

    void paintsTheSchemeOfItsState()
    {
        QFETCH(int, onScheme);
        QFETCH(int, offScheme);
        COnOffButton button;
        button.setCheckable(true);
        button.resize(kSide, kSide);
        button.setColorScheme(onScheme, offScheme);

        expectFace(grabImage(&button), kEnabled[offScheme]);
        button.setChecked(true);
        expectFace(grabImage(&button), kEnabled[onScheme]);
        button.setEnabled(false);
        expectFace(grabImage(&button), kDisabled[onScheme]);
        button.setChecked(false);
        expectFace(grabImage(&button), kDisabled[offScheme]);
    }

    void newButtonIsRedWhenCheckedGreenOtherwise()
    {
        COnOffButton button;
        button.resize(kSide, kSide);
        // Not checkable by itself, so it keeps the unchecked face.
        button.setChecked(true);
        expectFace(grabImage(&button), kEnabled[1]);
        button.setCheckable(true);
        button.setChecked(true);
        expectFace(grabImage(&button), kEnabled[0]);
    }

    void schemeNumbersOutsideTheTableLeaveThatSide_data()
    {
        QTest::addColumn<int>("onScheme");
        QTest::addColumn<int>("offScheme");
        QTest::addColumn<int>("checkedFace");
        QTest::addColumn<int>("uncheckedFace");
        QTest::newRow("5, 2") << 5 << 2 << 3 << 2;
        QTest::newRow("2, -1") << 2 << -1 << 2 << 1;
        QTest::newRow("4, 7") << 4 << 7 << 3 << 1;
    }

    void schemeNumbersOutsideTheTableLeaveThatSide()
    {
        QFETCH(int, onScheme);
        QFETCH(int, offScheme);
        QFETCH(int, checkedFace);
        QFETCH(int, uncheckedFace);
        COnOffButton button;
        button.setCheckable(true);
        button.resize(kSide, kSide);
        button.setColorScheme(3, 1);
        button.setColorScheme(onScheme, offScheme);
        expectFace(grabImage(&button), kEnabled[uncheckedFace]);
        button.setChecked(true);
        expectFace(grabImage(&button), kEnabled[checkedFace]);
    }

    void heldFaceMovesOnePixelRightAndDown()
    {
        COnOffButton button;
        button.resize(50, 30);
        const QColor background = grabImage(&button).pixelColor(0, 0);
        const auto faceBox = [&](const QImage& image) {
            return boundingBox(image, [&](const QColor& c) { return !colourNear(c, background, 8); });
        };
        const QRect up = faceBox(grabImage(&button));
        button.setDown(true);
        const QRect down = faceBox(grabImage(&button));
        // mx = 5, my = 3: a 40 x 24 face at (5, 3), its pen half a pixel out.
        QVERIFY2(qAbs(up.left() - 5) <= 1 && qAbs(up.top() - 3) <= 1, qPrintable(QString("face at %1, %2")
                                                                                      .arg(up.left())
                                                                                      .arg(up.top())));
        QCOMPARE(down, up.translated(1, 1));
    }
};

ORVELAN_APP_TEST_MAIN(OnOffButtonTest)
#include "on_off_button_test.moc"

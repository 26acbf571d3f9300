// The gain display of a beam-track row: the fill runs from the centre
// (0 dB) by value x pixels per dB, the value is written with one decimal,
// and a widget squeezed below its minimum height shrinks its margins first,
// then its bar, and keeps the height it settled on as its minimum.
#include <QTest>

#include "support/app_test_main.h"
#include "support/pixel_probe.h"
#include "widgets/h_volume_slider.h"

using orvelan::app::CHVolumeSlider;
using namespace orvelan::apptest;

namespace {

const QColor kBar(210, 210, 210);
const QColor kFill = over(QColor(0, 250, 0), 100, kBar);

bool isBar(const QColor& c) { return colourNear(c, kBar, 3); }
bool isFill(const QColor& c) { return colourNear(c, kFill, 3); }

}  // namespace

class HVolumeSliderTest : public QObject {
    Q_OBJECT

private slots:
    void fillsFromTheCentreByValueTimesPixelsPerDb_data()
    {
        QTest::addColumn<float>("dB");
        QTest::newRow("0") << 0.0f;
        QTest::newRow("-6.5") << -6.5f;
        QTest::newRow("+6.5") << 6.5f;
        QTest::newRow("+15") << 15.0f;
        QTest::newRow("-20, the whole left half") << -20.0f;
        QTest::newRow("-3.6") << -3.6f;
    }

    void fillsFromTheCentreByValueTimesPixelsPerDb()
    {
        QFETCH(float, dB);
        // 610 wide: a bar of 600 pixels, 15 per dB, centre at 305. At 42
        // high the bar covers rows 20..31 and the fill rows 21..30.
        CHVolumeSlider slider;
        slider.resize(610, 42);
        slider.setValue(dB);
        const QImage image = grabImage(&slider);
        const int row = 22;
        const double edge = 305 + dB * 15.0;
        // The value's text sits around the centre; the probes keep off it.
        const int textHalf = 30;
        for (int x = 6; x < 604; ++x) {
            if (qAbs(x - 305) < textHalf || qAbs(x + 0.5 - edge) < 1.0)
                continue;
            const bool inFill = dB < 0 ? (x + 0.5 > edge && x < 305) : (x + 0.5 < edge && x >= 305);
            const QColor c = image.pixelColor(x, row);
            QVERIFY2(inFill ? isFill(c) : isBar(c), qPrintable(QString("x %1: %2 (%3 expected)")
                                                                  .arg(x)
                                                                  .arg(colourText(c))
                                                                  .arg(inFill ? "fill" : "bar")));
        }
        // The fill's rows: one above the bar's bottom, fillHeight high.
        const int inside = dB < 0 ? 305 - textHalf - 1 : 305 + textHalf + 1;
        if (qAbs(dB) * 15 > textHalf + 2) {
            QVERIFY(isBar(image.pixelColor(inside, 20)));
            QVERIFY(isFill(image.pixelColor(inside, 21)));
            QVERIFY(isFill(image.pixelColor(inside, 30)));
            QVERIFY(isBar(image.pixelColor(inside, 31)));
        }
    }

    void writesTheValueWithOneDecimal_data()
    {
        QTest::addColumn<float>("dB");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0.0f << "0.0 dB";
        QTest::newRow("-6.5") << -6.5f << "-6.5 dB";
        QTest::newRow("12.34") << 12.34f << "12.3 dB";
        QTest::newRow("beyond the scale") << 27.0f << "27.0 dB";
    }

    void writesTheValueWithOneDecimal()
    {
        QFETCH(float, dB);
        QFETCH(QString, text);
        QCOMPARE(CHVolumeSlider::valueText(dB), text);
    }

    void squeezedHeightShrinksMarginsThenBar_data()
    {
        QTest::addColumn<QList<int>>("heights");
        QTest::addColumn<int>("barTop");
        QTest::addColumn<int>("barBottom");
        QTest::addColumn<int>("minimumHeight");
        QTest::newRow("42, room to spare") << QList<int>{42} << 20 << 32 << 32;
        QTest::newRow("32, just enough") << QList<int>{32} << 15 << 27 << 32;
        QTest::newRow("28, margin 3") << QList<int>{28} << 13 << 25 << 28;
        QTest::newRow("20, bar 8 high") << QList<int>{20} << 11 << 19 << 20;
        QTest::newRow("28 then 42 keeps 28") << QList<int>{28, 42} << 20 << 32 << 28;
    }

    void squeezedHeightShrinksMarginsThenBar()
    {
        QFETCH(QList<int>, heights);
        QFETCH(int, barTop);
        QFETCH(int, barBottom);
        QFETCH(int, minimumHeight);
        CHVolumeSlider slider;
        QCOMPARE(slider.sizeHint(), QSize(160, 42));
        QCOMPARE(slider.minimumSizeHint(), QSize(60, 32));
        QImage image;
        for (int h : heights) {
            slider.resize(210, h);
            image = grabImage(&slider);
        }
        // Column 30 is clear of the scale marks (every 50 pixels from 5)
        // and of the centred text.
        const int x = 30;
        QVERIFY(!isBar(image.pixelColor(x, barTop - 1)));
        QVERIFY(isBar(image.pixelColor(x, barTop)));
        QVERIFY(isBar(image.pixelColor(x, barBottom - 1)));
        QVERIFY(!isBar(image.pixelColor(x, barBottom)));
        QCOMPARE(slider.minimumSizeHint(), QSize(60, minimumHeight));
        QCOMPARE(slider.sizeHint(), QSize(160, minimumHeight + 10));
    }
};

ORVELAN_APP_TEST_MAIN(HVolumeSliderTest)
#include "h_volume_slider_test.moc"

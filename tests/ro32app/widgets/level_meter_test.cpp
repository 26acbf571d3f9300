// The bar meter: levels pulled from a real level detector, the floor and
// full scale, the ballistics of bars and peak lines, the colour change at
// exactly 70 %, the hold strip's clicks, the layout rules for tall and
// wide meters, and a meter without channels.
//
// The detector runs without a sample rate, where its envelope follows
// every sample at once: a block of constant value v then reads v as both
// running level and peak, and a block that ends on another value reads
// that value as the level and the largest as the peak. The meter's own
// timer is stopped; each poll is sent by hand and each paint is a grab(),
// so nothing depends on when the event loop runs.
#include <QFontMetricsF>
#include <QTest>
#include <QTimerEvent>

#include <cmath>
#include <vector>

#include "blocks/max_value.h"
#include "support/app_test_main.h"
#include "support/mouse_events.h"
#include "support/pixel_probe.h"
#include "widgets/level_meter.h"

using orvelan::app::CLevelMeter;
using namespace orvelan::apptest;

namespace {

constexpr int kFrames = 16;
constexpr float kFloor = 1e-5f;
const QColor kFrame(200, 200, 200);
const QColor kWellOverFrame = over(QColor(50, 50, 50), 200, kFrame);

class ExactDetector {
public:
    explicit ExactDetector(int channels) : samples_(channels, std::vector<float>(kFrames))
    {
        const auto format = vxAudioInterface::timeDomain(channels, 0.0f, kFrames);
        detector_.configure(format, vxAudioInterface::timeDomain(0, 0.0f, kFrames));
    }

    // One block per channel: peak[c] first, then level[c] to the end.
    void play(const std::vector<float>& levels, const std::vector<float>& peaks = {})
    {
        std::vector<float*> in;
        for (size_t c = 0; c < samples_.size(); ++c) {
            std::fill(samples_[c].begin(), samples_[c].end(), levels[c]);
            if (!peaks.empty())
                samples_[c][0] = peaks[c];
            in.push_back(samples_[c].data());
        }
        detector_.process(in.data(), nullptr, kFrames);
    }

    CMaxValue* detector() { return &detector_; }

private:
    CMaxValue detector_;
    std::vector<std::vector<float>> samples_;
};

// A meter of its own size with the poll timer stopped.
struct Meter {
    Meter(int channels, int w, int h, ExactDetector* source = nullptr) : meter(channels)
    {
        meter.stopTimer();
        meter.resize(w, h);
        if (source != nullptr)
            meter.setSource(source->detector());
    }

    void poll()
    {
        QTimerEvent tick(0);
        QCoreApplication::sendEvent(&meter, &tick);
    }
    // One poll and one paint, as a timer tick gives them.
    QImage tick()
    {
        poll();
        return grabImage(&meter);
    }

    double yScale() const { return meter.scaleHeight() / 100; }
    // The centre of channel i's column and the row of percent p on it.
    int columnX(int i) const { return int(meter.origin().x() + (i + 0.5) * meter.pitch()); }
    int rowOf(double percent) const { return int(meter.origin().y() - percent * yScale()); }

    CLevelMeter meter;
};

bool reddish(const QColor& c) { return c.red() > c.green() + 60; }
bool greenish(const QColor& c) { return c.green() > c.red() + 60; }

float nextDown(float x) { return std::nextafter(x, 0.0f); }
float nextUp(float x) { return std::nextafter(x, 1.0f); }

}  // namespace

class LevelMeterTest : public QObject {
    Q_OBJECT

private slots:
    void silenceReadsMinus100AndOverloadReadsFullScale()
    {
        ExactDetector source(2);
        Meter m(2, 200, 200, &source);
        source.play({0.0f, 2.0f});
        const QImage image = m.tick();

        QVERIFY(std::abs(m.meter.barPercent(0)) < 0.01f);
        QVERIFY(std::abs(m.meter.peakPercent(0)) < 0.01f);
        QVERIFY(std::abs(m.meter.peakDb(0) + 100.0f) < 0.01f);
        QCOMPARE(m.meter.holdText(0), QString("100.0"));
        QVERIFY(std::abs(m.meter.barPercent(1) - 100.0f) < 0.01f);
        QVERIFY(std::abs(m.meter.peakDb(1)) < 0.001f);
        QVERIFY(std::abs(m.meter.holdDb(1)) < 0.001f);

        // Channel 1's column is red from the bottom to the top of the
        // scale; channel 0's is the bare well.
        for (double percent : {2.0, 50.0, 98.0}) {
            ORVELAN_EXPECT_COLOUR(image, m.columnX(0), m.rowOf(percent), kWellOverFrame, 3);
            ORVELAN_EXPECT_COLOUR(image, m.columnX(1), m.rowOf(percent), CLevelMeter::highColour(), 3);
        }
    }

    void withoutASourceTheMeterRestsAtTheFloor()
    {
        Meter m(3, 200, 200);
        m.tick();
        m.tick();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(m.meter.barLevel(i), kFloor);
            QCOMPARE(m.meter.peakLevel(i), kFloor);
            QCOMPARE(m.meter.holdText(i), QString("100.0"));
        }
    }

    void aStoppingSignalGlidesWhileAFallingOneJumps()
    {
        ExactDetector source(2);
        Meter m(2, 200, 200, &source);
        const float c = m.meter.coefficient();
        QVERIFY(std::abs(c - 0.11929f) < 1e-5f);
        source.play({0.5f, 0.5f});
        m.tick();
        QCOMPARE(m.meter.barLevel(0), 0.5f);

        source.play({0.0f, 0.1f});
        double expected = 0.5;
        for (int paint = 0; paint < 4; ++paint) {
            m.tick();
            expected += (kFloor - expected) * c;
            QVERIFY2(std::abs(m.meter.barLevel(0) - expected) <= 1e-6 * expected,
                     qPrintable(QString("paint %1: %2, expected %3").arg(paint).arg(m.meter.barLevel(0)).arg(expected)));
            QCOMPARE(m.meter.barLevel(1), 0.1f);
        }
        // A signal coming back takes the bar straight to its level.
        source.play({0.01f, 0.1f});
        m.tick();
        QCOMPARE(m.meter.barLevel(0), 0.01f);
    }

    void peakLinesJumpUpAndFallByTheSameFactor()
    {
        ExactDetector source(1);
        Meter m(1, 200, 200, &source);
        const float c = m.meter.coefficient();
        source.play({0.1f}, {0.8f});
        QImage image = m.tick();
        QCOMPARE(m.meter.peakLevel(0), 0.8f);
        QCOMPARE(m.meter.barLevel(0), 0.1f);

        source.play({0.1f}, {0.2f});
        image = m.tick();
        const double fallen = 0.8 + (0.2 - 0.8) * c;
        QVERIFY(std::abs(m.meter.peakLevel(0) - fallen) < 1e-6);
        QVERIFY(std::abs(m.meter.peakDb(0) - 20 * std::log10(fallen)) < 1e-3);
        // The hold keeps the highest peak.
        QVERIFY(std::abs(m.meter.holdDb(0) - 20 * std::log10(0.8)) < 1e-3);
        QCOMPARE(m.meter.holdText(0), QString("1.9"));

        // The peak line (red at -2.7 dB) is drawn where its percent says,
        // above the bar, and the well between them is bare.
        const int x = m.columnX(0);
        const int line = m.rowOf(m.meter.peakPercent(0));
        QRect drawn = boundingBox(image.copy(x, 0, 1, m.rowOf(m.meter.barPercent(0)) - 2), reddish);
        QVERIFY2(!drawn.isEmpty() && std::abs(drawn.center().y() - line) <= 1,
                 qPrintable(QString("line at %1, expected %2").arg(drawn.center().y()).arg(line)));
        ORVELAN_EXPECT_COLOUR(image, x, (line + m.rowOf(m.meter.barPercent(0))) / 2, kWellOverFrame, 3);

        source.play({0.1f}, {0.9f});
        m.tick();
        QCOMPARE(m.meter.peakLevel(0), 0.9f);
    }

    // The level whose display value is exactly the threshold is found on
    // the meter itself, so the test holds whatever the logarithm kernel
    // rounds to on this processor.
    void barsAndPeakLinesTurnRedAtExactly70Percent()
    {
        QCOMPARE(Meter(1, 100, 100).meter.threshold(), 70.0f);
        ExactDetector source(1);
        Meter probe(1, 100, 100, &source);
        const auto percentOf = [&](float level) {
            source.play({level});
            probe.tick();
            return probe.meter.barPercent(0);
        };
        float level = std::pow(10.0f, -9.0f / 20);
        while (percentOf(level) >= 70.0f)
            level = nextDown(level);
        while (percentOf(level) < 70.0f)
            level = nextUp(level);
        const float red = level, green = nextDown(level);
        QCOMPARE(percentOf(red), 70.0f);

        // Bars at both levels, then peak lines at both over low bars.
        ExactDetector both(2);
        Meter m(2, 200, 300, &both);
        both.play({red, green});
        QImage image = m.tick();
        QCOMPARE(m.meter.barPercent(0), 70.0f);
        QVERIFY(m.meter.barPercent(1) < 70.0f && m.meter.barPercent(1) > 69.99f);
        ORVELAN_EXPECT_COLOUR(image, m.columnX(0), m.rowOf(35), CLevelMeter::highColour(), 3);
        ORVELAN_EXPECT_COLOUR(image, m.columnX(1), m.rowOf(35), CLevelMeter::lowColour(), 3);

        ExactDetector peaks(2);
        Meter p(2, 200, 300, &peaks);
        peaks.play({0.01f, 0.01f}, {red, green});
        image = p.tick();
        QCOMPARE(p.meter.peakPercent(0), 70.0f);
        QVERIFY(p.meter.peakPercent(1) < 70.0f);
        QVERIFY(greenish(image.pixelColor(p.columnX(0), p.rowOf(20))));
        QVERIFY(reddish(image.pixelColor(p.columnX(0), p.rowOf(70))));
        QVERIFY(greenish(image.pixelColor(p.columnX(1), p.rowOf(70))));
    }

    void aClickOnTheHoldStripResetsThatChannelOnly_data()
    {
        // Four channels at 300 x 200: narrowed columns of 37.5 pixels
        // from x = 75, whose edges in whole pixels are 112, 149, 186, 223.
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("reset");
        QTest::newRow("channel 3") << QPoint(170, 17) << int(Qt::LeftButton) << 2;
        QTest::newRow("an edge belongs to the left column") << QPoint(112, 17) << int(Qt::LeftButton) << 0;
        QTest::newRow("one past the edge") << QPoint(113, 17) << int(Qt::LeftButton) << 1;
        QTest::newRow("last column") << QPoint(223, 12) << int(Qt::LeftButton) << 3;
        QTest::newRow("right of the columns") << QPoint(224, 17) << int(Qt::LeftButton) << -1;
        QTest::newRow("left of the columns") << QPoint(75, 17) << int(Qt::LeftButton) << -1;
        QTest::newRow("strip's top edge") << QPoint(170, 10) << int(Qt::LeftButton) << -1;
        QTest::newRow("strip's bottom edge") << QPoint(170, 25) << int(Qt::LeftButton) << -1;
        QTest::newRow("on the bars") << QPoint(170, 100) << int(Qt::LeftButton) << -1;
        QTest::newRow("right button") << QPoint(170, 17) << int(Qt::RightButton) << -1;
    }

    void aClickOnTheHoldStripResetsThatChannelOnly()
    {
        QFETCH(QPoint, at);
        QFETCH(int, button);
        QFETCH(int, reset);
        ExactDetector source(4);
        Meter m(4, 300, 200, &source);
        source.play({0.5f, 0.25f, 0.125f, 0.0625f});
        m.tick();
        QCOMPARE(m.meter.pitch(), 37.5);
        const std::vector<float> before = {m.meter.holdDb(0), m.meter.holdDb(1), m.meter.holdDb(2), m.meter.holdDb(3)};

        mouseClick(&m.meter, at, Qt::MouseButton(button));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(m.meter.holdDb(i), i == reset ? -100.0f : before[i]);
        if (reset >= 0)
            QCOMPARE(m.meter.holdText(reset), QString("100.0"));
    }

    void aDoubleClickAnywhereResetsEveryHold()
    {
        ExactDetector source(4);
        Meter m(4, 300, 200, &source);
        source.play({0.5f, 0.25f, 0.125f, 0.0625f});
        m.tick();
        mouseDoubleClick(&m.meter, QPoint(150, 120), Qt::RightButton);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(m.meter.holdText(i), QString("100.0"));
        // The holds start again from where the falling peak lines are.
        source.play({0.0f, 0.0f, 0.0f, 0.0f});
        m.tick();
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(m.meter.holdDb(i), m.meter.peakDb(i));
            QVERIFY(m.meter.holdDb(i) > -100.0f);
        }
    }

    void layoutFillsTallMetersAndCentresNarrowedColumnsInWideOnes_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("leftMargin");
        QTest::addColumn<double>("pitch");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("tall") << 8 << QSize(300, 400) << 10.0 << 30.0 << QRect(10, 10, 280, 380);
        QTest::newRow("32 channels") << 32 << QSize(550, 200) << 10.0 << 490.0 / 32 << QRect(10, 10, 530, 180);
        QTest::newRow("exactly a quarter") << 1 << QSize(110, 250) << 10.0 << 50.0 << QRect(10, 10, 90, 230);
        QTest::newRow("wide and low") << 4 << QSize(600, 100) << 255.0 << 12.5 << QRect(255, 10, 90, 80);
    }

    void layoutFillsTallMetersAndCentresNarrowedColumnsInWideOnes()
    {
        QFETCH(int, channels);
        QFETCH(QSize, size);
        QFETCH(double, leftMargin);
        QFETCH(double, pitch);
        QFETCH(QRect, frame);
        Meter m(channels, size.width(), size.height());
        const QImage image = m.tick();
        QCOMPARE(m.meter.leftMargin(), leftMargin);
        QCOMPARE(m.meter.pitch(), pitch);
        QCOMPARE(m.meter.scaleHeight(), size.height() - 50.0);
        QCOMPARE(m.meter.origin(), QPointF(leftMargin + 20, size.height() - 25));

        QCOMPARE(boundingBox(image, [](const QColor& c) { return c == kFrame; }), frame);
        // Every well, and nothing of a bar at the floor.
        for (int i = 0; i < channels; ++i)
            ORVELAN_EXPECT_COLOUR(image, m.columnX(i), m.rowOf(50), kWellOverFrame, 3);
    }

    void holdNumbersFitTheirColumns_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("reset");
        QTest::newRow("wide columns keep the decimal") << 8 << QSize(300, 400) << "100.0";
        QTest::newRow("32 in a window's meter") << 32 << QSize(550, 200) << "100";
        QTest::newRow("18 outputs beside it") << 18 << QSize(280, 200) << "100";
    }

    void holdNumbersFitTheirColumns()
    {
        QFETCH(int, channels);
        QFETCH(QSize, size);
        QFETCH(QString, reset);
        Meter m(channels, size.width(), size.height());
        m.tick();
        QCOMPARE(m.meter.holdText(0), reset);
        QFont font = m.meter.font();
        font.setPixelSize(m.meter.holdFontPixels());
        QVERIFY(m.meter.holdFontPixels() >= 6);
        QVERIFY(QFontMetricsF(font).horizontalAdvance(m.meter.holdText(0)) < m.meter.pitch());
    }

    void aResizeLaysTheMeterOutAgain()
    {
        Meter m(4, 300, 400);
        m.tick();
        QCOMPARE(m.meter.leftMargin(), 10.0);
        m.meter.resize(600, 100);
        m.tick();
        QCOMPARE(m.meter.leftMargin(), 255.0);
        QCOMPARE(m.meter.pitch(), 12.5);
    }

    void withoutChannelsNothingIsHeldOrPainted_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("0") << 0;
        QTest::newRow("negative") << -3;
    }

    void withoutChannelsNothingIsHeldOrPainted()
    {
        QFETCH(int, channels);
        ExactDetector source(2);
        source.play({0.5f, 0.5f});
        Meter m(channels, 200, 200, &source);
        QCOMPARE(m.meter.channelCount(), 0);
        QVERIFY(!m.meter.hasBackground());
        const QImage image = m.tick();
        const QColor first = image.pixelColor(0, 0);
        QVERIFY(boundingBox(image, [&](const QColor& c) { return c != first; }).isEmpty());
        mouseClick(&m.meter, QPoint(100, 17));
        mouseDoubleClick(&m.meter, QPoint(100, 17));
        m.meter.resize(300, 100);
        QVERIFY(!m.meter.hasBackground());
    }
};

ORVELAN_APP_TEST_MAIN(LevelMeterTest)
#include "level_meter_test.moc"

// The file navigator: tick tables and labels by length, the last tick's
// label giving way to the end label, refusals, the mouse rules of the time
// line (band, range, drags) and the alternation past the range end.
//
// Most tests use a ruler of 600 x 120 pixels: margins of 30, a time line of
// 540 pixels and a band from y = 80 to 100; a 54-second file at 100 Hz
// then puts 10 samples under every pixel, sample (x - 30) x 10 under x.
#include <QTest>

#include "support/app_test_main.h"
#include "support/mouse_events.h"
#include "support/pixel_probe.h"
#include "support/signal_log.h"
#include "widgets/audio_file_navigator.h"

using orvelan::app::CAudioFileNavigator;
using namespace orvelan::apptest;

namespace {

constexpr int kRate = 100;
constexpr int kLength = 5400;
constexpr int kBandY = 90;

int xOf(int sample) { return 30 + sample / 10; }

// Counts the paint events a widget receives.
struct PaintCount : QObject {
    explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

struct Ruler {
    explicit Ruler(int length = kLength, int fs = kRate, QSize size = QSize(600, 120))
    {
        navigator.resize(size);
        navigator.setFs(fs);
        navigator.setNumSamples(length);
        log.watch(&navigator, &CAudioFileNavigator::updateStartSample, "updateStartSample");
        log.watch(&navigator, &CAudioFileNavigator::seek, "seek");
        log.watch(&navigator, &CAudioFileNavigator::stop, "stop");
    }

    void drag(int fromX, std::initializer_list<int> throughX, int y = kBandY)
    {
        mousePress(&navigator, QPoint(fromX, y));
        int last = fromX;
        for (int x : throughX) {
            mouseMove(&navigator, QPoint(x, y));
            last = x;
        }
        mouseRelease(&navigator, QPoint(last, y));
    }

    QStringList placedTexts() const
    {
        QStringList texts;
        for (const auto& label : navigator.labelPlacements())
            texts << label.text;
        return texts;
    }

    CAudioFileNavigator navigator;
    SignalLog log;
};

QStringList secondsLabels(int first, int last)
{
    QStringList labels;
    for (int s = first; s <= last; ++s)
        labels << QString("0:00:%1").arg(s, 2, 10, QChar('0'));
    return labels;
}

QStringList everyTwoHours(int count)
{
    QStringList labels;
    for (int i = 0; i < count; ++i)
        labels << QString("%1:00:00").arg(2 * i);
    return labels;
}

// Separate runs of tick-coloured pixels along one row.
int runsOnRow(const QImage& image, int y)
{
    int runs = 0;
    bool inside = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool tick = colourNear(image.pixelColor(x, y), QColor(100, 100, 100), 40);
        runs += tick && !inside;
        inside = tick;
    }
    return runs;
}

}  // namespace

class AudioFileNavigatorTest : public QObject {
    Q_OBJECT

private slots:
    void aLengthSetsTicksAndLabels_data()
    {
        QTest::addColumn<int>("fs");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("tickInterval");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("9.5 s") << 1000 << 9500 << 1000 << secondsLabels(0, 9) + QStringList{"0:00:09"};
        QTest::newRow("exactly 10 s") << 100 << 1000 << 200
                                      << QStringList{"0:00:00", "0:00:02", "0:00:04", "0:00:06", "0:00:08", "0:00:10"};
        QTest::newRow("65 s") << 1000 << 65000 << 20000
                              << QStringList{"0:00:00", "0:00:20", "0:00:40", "0:01:00", "0:01:05"};
        QTest::newRow("exactly an hour") << 10 << 36000 << 12000
                                         << QStringList{"0:00:00", "0:20:00", "0:40:00", "1:00:00"};
        QTest::newRow("1 frame") << 48000 << 1 << 48000 << QStringList{"0:00:00", "0:00:00"};
        QTest::newRow("20 hours") << 8000 << 72000 * 8000 << 7200 * 8000 << everyTwoHours(10) + QStringList{"20:00:00"};
        QTest::newRow("20 hours and a half second")
            << 8000 << 72000 * 8000 + 4000 << 7200 * 8000 << everyTwoHours(11) + QStringList{"20:00:00"};
    }

    void aLengthSetsTicksAndLabels()
    {
        QFETCH(int, fs);
        QFETCH(int, length);
        QFETCH(int, tickInterval);
        QFETCH(QStringList, labels);
        Ruler ruler(kLength);
        ruler.navigator.setCurrentSample(100);
        QCOMPARE(ruler.navigator.setFs(fs), 0);
        QCOMPARE(ruler.navigator.setNumSamples(length), 0);
        QVERIFY(ruler.navigator.loaded());
        QCOMPARE(ruler.navigator.numSamples(), length);
        QCOMPARE(ruler.navigator.startSample(), 0);
        QCOMPARE(ruler.navigator.endSample(), length);
        QCOMPARE(ruler.navigator.currentSample(), 0);
        QCOMPARE(ruler.navigator.timeText(), QString("00:00:00"));
        QCOMPARE(ruler.navigator.tickInterval(), tickInterval);
        QCOMPARE(ruler.navigator.labels(), labels);
        QVERIFY(ruler.log.names().isEmpty());
    }

    void withoutAFileTenSecondsAreShownAndTheMouseIsIgnored()
    {
        CAudioFileNavigator navigator;
        QVERIFY(!navigator.loaded());
        QCOMPARE(navigator.fs(), 1.0);
        QCOMPARE(navigator.numSamples(), 10);
        QCOMPARE(navigator.labels().last(), QString("0:00:10"));
        QVERIFY(navigator.labelPlacements().empty());

        Ruler ruler;
        ruler.navigator.setNumSamples(0);
        QVERIFY(!ruler.navigator.loaded());
        QCOMPARE(ruler.navigator.numSamples(), 10 * kRate);
        QCOMPARE(ruler.navigator.endSample(), 10 * kRate);
        ruler.drag(100, {200, 300});
        mouseClick(&ruler.navigator, QPoint(200, kBandY));
        QVERIFY(ruler.log.names().isEmpty());
        QCOMPARE(ruler.navigator.startSample(), 0);
        QCOMPARE(ruler.navigator.endSample(), 10 * kRate);
    }

    void refusalsChangeNothing()
    {
        Ruler ruler;
        ruler.drag(130, {330});
        const QStringList labels = ruler.navigator.labels();
        QCOMPARE(ruler.navigator.setNumSamples(-1), 1);
        QCOMPARE(ruler.navigator.setNumSamples(72001 * kRate), 2);
        QCOMPARE(ruler.navigator.setFs(0), 1);
        QCOMPARE(ruler.navigator.setFs(-44100), 1);
        QVERIFY(ruler.navigator.loaded());
        QCOMPARE(ruler.navigator.fs(), double(kRate));
        QCOMPARE(ruler.navigator.numSamples(), kLength);
        QCOMPARE(ruler.navigator.startSample(), 1000);
        QCOMPARE(ruler.navigator.endSample(), 3000);
        QCOMPARE(ruler.navigator.labels(), labels);
        // The last length accepted: 72000 whole seconds and a fraction.
        QCOMPARE(ruler.navigator.setNumSamples(72001 * kRate - 1), 0);
    }

    void theTimeIsShownInHoursMinutesAndSeconds()
    {
        Ruler ruler(72000 * 8000, 8000);
        ruler.navigator.setCurrentSample(3725 * 8000 + 7999);
        QCOMPARE(ruler.navigator.timeText(), QString("01:02:05"));
        ruler.navigator.setCurrentSample(72000 * 8000);
        QCOMPARE(ruler.navigator.timeText(), QString("20:00:00"));
    }

    // At 400 pixels the 60 s tick of a 65 s file is 27 pixels from the end,
    // at 1800 pixels 124: less and more than the width of a time.
    void theLastTickLabelGivesWayToTheEndLabel()
    {
        Ruler narrow(65000, 1000, QSize(400, 120));
        const int timeWidth = narrow.navigator.timeTextWidth();
        QVERIFY2(timeWidth >= 28 && timeWidth < 124, qPrintable(QString::number(timeWidth)));
        QCOMPARE(narrow.placedTexts(), (QStringList{"0:00:00", "0:00:20", "0:00:40", "0:01:05"}));

        Ruler wide(65000, 1000, QSize(1800, 120));
        QCOMPARE(wide.placedTexts(), (QStringList{"0:00:00", "0:00:20", "0:00:40", "0:01:00", "0:01:05"}));
        // A length of whole ticks leaves a full spacing after the last one.
        Ruler whole(60000, 1000, QSize(600, 120));
        QCOMPARE(whole.placedTexts(), (QStringList{"0:00:00", "0:00:20", "0:00:40", "0:01:00"}));

        // Each label centred over its tick; the end label over the end.
        const auto placements = wide.navigator.labelPlacements();
        const double spacing = 20.0 / 65 * 1620;
        for (int i = 0; i < 4; ++i)
            QCOMPARE(placements[i].rect.center().x(), 90 + i * spacing);
        QCOMPARE(placements[4].rect.center().x(), 1800 - 90.0);
        QCOMPARE(placements[4].rect.top(), 60.0);
        QCOMPARE(placements[4].rect.height(), 20.0);
    }

    void twentyHoursPaintEveryLabel_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("placed");
        QTest::newRow("20 hours") << 72000 * 8000 << everyTwoHours(10) + QStringList{"20:00:00"};
        // The last tick falls half a second before the end: its label
        // would sit on the end label's.
        QTest::newRow("and a half second") << 72000 * 8000 + 4000 << everyTwoHours(10) + QStringList{"20:00:00"};
    }

    void twentyHoursPaintEveryLabel()
    {
        QFETCH(int, length);
        QFETCH(QStringList, placed);
        Ruler ruler(length, 8000, QSize(1200, 240));
        QCOMPARE(ruler.placedTexts(), placed);
        // Ticks at 0 to 18 hours and the end mark, on the row above the
        // band's upper line, clear of the label texts.
        QCOMPARE(runsOnRow(grabImage(&ruler.navigator), 157), 11);
    }

    void aRulerWithoutRoomStillPaints_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("no width") << QSize(0, 120);
        QTest::newRow("3 pixels") << QSize(3, 120);
        QTest::newRow("no height") << QSize(600, 0);
    }

    void aRulerWithoutRoomStillPaints()
    {
        QFETCH(QSize, size);
        Ruler ruler(65000, 1000, size);
        grabImage(&ruler.navigator);
        if (size.width() < 10)
            QCOMPARE(ruler.placedTexts(), (QStringList{"0:00:00", "0:00:20", "0:00:40", "0:01:05"}));
        if (size.width() == 0) {
            mouseClick(&ruler.navigator, QPoint(0, 90));
            QVERIFY(ruler.log.names().isEmpty());
        }
    }

    void pressesOutsideTheBandAreIgnored_data()
    {
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("taken");
        QTest::newRow("above the band") << 79 << int(Qt::LeftButton) << false;
        QTest::newRow("band's upper line") << 80 << int(Qt::LeftButton) << true;
        QTest::newRow("band's lower line") << 100 << int(Qt::LeftButton) << true;
        QTest::newRow("below the band") << 101 << int(Qt::LeftButton) << false;
        QTest::newRow("right button") << kBandY << int(Qt::RightButton) << false;
    }

    void pressesOutsideTheBandAreIgnored()
    {
        QFETCH(int, y);
        QFETCH(int, button);
        QFETCH(bool, taken);
        Ruler ruler;
        mouseClick(&ruler.navigator, QPoint(xOf(2000), y), Qt::MouseButton(button));
        QCOMPARE(ruler.log.values("seek"), taken ? QVariantList{2000} : QVariantList{});
        ruler.log.clear();
        // Nor does a drag start from there.
        mousePress(&ruler.navigator, QPoint(xOf(1000), y), Qt::MouseButton(button));
        mouseMove(&ruler.navigator, QPoint(xOf(3000), y), Qt::MouseButtons(button));
        mouseRelease(&ruler.navigator, QPoint(xOf(3000), y), Qt::MouseButton(button));
        QCOMPARE(ruler.log.names().isEmpty(), !taken);
        QCOMPARE(ruler.navigator.endSample(), taken ? 3000 : kLength);
    }

    void clicksSeekOnlyInsideTheRange_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<QVariantList>("seeks");
        QTest::newRow("before the range") << xOf(990) << QVariantList{};
        QTest::newRow("range start") << xOf(1000) << QVariantList{1000};
        QTest::newRow("inside") << xOf(2000) << QVariantList{2000};
        QTest::newRow("range end") << xOf(3000) << QVariantList{3000};
        QTest::newRow("after the range") << xOf(3010) << QVariantList{};
    }

    void clicksSeekOnlyInsideTheRange()
    {
        QFETCH(int, x);
        QFETCH(QVariantList, seeks);
        Ruler ruler;
        ruler.drag(xOf(1000), {xOf(3000)});
        ruler.log.clear();
        mouseClick(&ruler.navigator, QPoint(x, kBandY));
        QCOMPARE(ruler.log.values("seek"), seeks);
        QCOMPARE(ruler.log.names().size(), seeks.size());
    }

    void aDragSetsTheStartAtOnceAndTheEndWhereItStops_data()
    {
        QTest::addColumn<int>("pressX");
        QTest::addColumn<QList<int>>("throughX");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::newRow("rightward") << xOf(1000) << QList<int>{xOf(2000), xOf(3000)} << 1000 << 3000;
        QTest::newRow("ending left of its press") << xOf(2000) << QList<int>{xOf(2500), xOf(1500)} << 2000 << 2000;
        QTest::newRow("beyond the right end") << xOf(4000) << QList<int>{700} << 4000 << kLength;
        QTest::newRow("from left of the line") << 10 << QList<int>{xOf(500)} << 0 << 500;
    }

    void aDragSetsTheStartAtOnceAndTheEndWhereItStops()
    {
        QFETCH(int, pressX);
        QFETCH(QList<int>, throughX);
        QFETCH(int, start);
        QFETCH(int, end);
        Ruler ruler;
        mousePress(&ruler.navigator, QPoint(pressX, kBandY));
        for (int x : throughX)
            mouseMove(&ruler.navigator, QPoint(x, kBandY));
        mouseRelease(&ruler.navigator, QPoint(throughX.last(), kBandY));
        QCOMPARE(ruler.log.names(), QStringList{"updateStartSample"});
        QCOMPARE(ruler.log.values("updateStartSample"), QVariantList{start});
        QCOMPARE(ruler.navigator.startSample(), start);
        QCOMPARE(ruler.navigator.currentSample(), start);
        QCOMPARE(ruler.navigator.endSample(), end);
    }

    void positionsPastTheEndSeekBackOnEverySecondCall()
    {
        Ruler ruler;
        ruler.drag(xOf(1000), {xOf(3000)});
        ruler.log.clear();
        QVariantList expected;
        for (int position : {2500, 3001, 3002, 3003, 3004, 3000, 3001, 4000}) {
            ruler.navigator.setCurrentSample(position);
            QCOMPARE(ruler.navigator.currentSample(), position);
        }
        // 3001 seeks, 3002 not, 3003 seeks, 3004 not, 3000 ends the run,
        // 3001 seeks, 4000 not.
        QCOMPARE(ruler.log.names(), (QStringList{"seek", "seek", "seek"}));
        QCOMPARE(ruler.log.values("seek"), (QVariantList{1000, 1000, 1000}));
        QVERIFY(!ruler.navigator.pastEnd());
        QVERIFY(ruler.navigator.loop());
    }

    void onlyAMovedPositionIsPaintedAgain()
    {
        // The window sends the position every tick, also while nothing
        // plays; a ruler shown on screen repaints only when it moved.
        Ruler ruler;
        ruler.drag(xOf(1000), {xOf(3000)});
        ruler.navigator.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ruler.navigator));
        PaintCount paints(&ruler.navigator);
        ruler.navigator.setCurrentSample(2000);
        QTRY_VERIFY(paints.count > 0);
        paints.count = 0;
        for (int tick = 0; tick < 3; ++tick)
            ruler.navigator.setCurrentSample(2000);
        QTest::qWait(50);
        QCOMPARE(paints.count, 0);
        ruler.navigator.setCurrentSample(2100);
        QTRY_VERIFY(paints.count > 0);
    }

    void theBandShowsTheRangeAndThePlayedPart()
    {
        Ruler ruler;
        ruler.drag(xOf(1000), {xOf(3000)});
        ruler.navigator.setCurrentSample(2000);
        const QImage image = grabImage(&ruler.navigator);
        const QColor background = ruler.navigator.palette().color(QPalette::Window);
        const QColor range = over(QColor(0, 100, 250), 50, background);
        const QColor played = over(QColor(0, 100, 250), 200, range);
        ORVELAN_EXPECT_COLOUR(image, xOf(500), kBandY, background, 2);
        ORVELAN_EXPECT_COLOUR(image, xOf(1500), kBandY, played, 3);
        ORVELAN_EXPECT_COLOUR(image, xOf(2500), kBandY, range, 3);
        ORVELAN_EXPECT_COLOUR(image, xOf(4000), kBandY, background, 2);
    }
};

ORVELAN_APP_TEST_MAIN(AudioFileNavigatorTest)
#include "audio_file_navigator_test.moc"

// The monitor selector: one list of inputs then outputs and how an entry
// maps to (inout, channel) and back; channels the device lacks are
// ignored; devices without outputs or without inputs; the switch and the
// gain strip forwarded.
#include <QCheckBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <cmath>

#include "support/app_test_main.h"
#include "widgets/monitor_unit.h"
#include "widgets/volume_unit.h"

using orvelan::app::CMonitorUnit;

namespace {

QStringList entriesOf(const CMonitorUnit& panel)
{
    QStringList texts;
    for (int i = 0; i < panel.channelBox()->count(); ++i)
        texts << panel.channelBox()->itemText(i);
    return texts;
}

}  // namespace

class MonitorUnitTest : public QObject {
    Q_OBJECT

private slots:
    void listsInputsThenOutputsAndReportsNothingWhileFilling()
    {
        CMonitorUnit panel(32, 8);
        const QStringList entries = entriesOf(panel);
        QCOMPARE(entries.size(), 40);
        QCOMPARE(entries[0], QString("1 (input)"));
        QCOMPARE(entries[31], QString("32 (input)"));
        QCOMPARE(entries[32], QString("1 (output)"));
        QCOMPARE(entries[39], QString("8 (output)"));
        QCOMPARE(panel.channelBox()->currentIndex(), 0);
        QCOMPARE(panel.channel(), 0);
        QVERIFY(!panel.isOutput());
        QVERIFY(!panel.status());
        QCOMPARE(panel.onButton()->text(), QString("monitor"));
        QCOMPARE(panel.strip()->tickLabels(), (QStringList{"-40", "-30", "-20", "-10", "0", "10", "20", "30", "40"}));
    }

    void choosingAnEntryReportsItsKindAndChannel_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("inout");
        QTest::addColumn<int>("channel");
        QTest::newRow("second input") << 1 << 0 << 1;
        QTest::newRow("last input") << 31 << 0 << 31;
        QTest::newRow("first output") << 32 << 1 << 0;
        QTest::newRow("second output") << 33 << 1 << 1;
        QTest::newRow("last output") << 39 << 1 << 7;
    }

    void choosingAnEntryReportsItsKindAndChannel()
    {
        QFETCH(int, entry);
        QFETCH(int, inout);
        QFETCH(int, channel);
        CMonitorUnit panel(32, 8);
        QSignalSpy spy(&panel, &CMonitorUnit::channelChanged);
        panel.channelBox()->setCurrentIndex(entry);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toInt(), inout);
        QCOMPARE(spy[0][1].toInt(), channel);
        QCOMPARE(panel.isOutput(), inout == 1);
        QCOMPARE(panel.channel(), channel);

        // And back: setting what was reported selects the same entry.
        panel.channelBox()->setCurrentIndex(entry == 1 ? 2 : 1);
        panel.setChannel(inout, channel);
        QCOMPARE(panel.channelBox()->currentIndex(), entry);
    }

    void setChannelIgnoresWhatTheDeviceLacks_data()
    {
        QTest::addColumn<int>("inout");
        QTest::addColumn<int>("channel");
        QTest::newRow("output 8 of 8") << 1 << 8;
        QTest::newRow("input 32 of 32") << 0 << 32;
        QTest::newRow("input 35 (flat index of output 3)") << 0 << 35;
        QTest::newRow("output -1 (flat index of input 31)") << 1 << -1;
        QTest::newRow("input -1") << 0 << -1;
        QTest::newRow("inout 2") << 2 << 0;
        QTest::newRow("inout -1, channel 40 (flat index 8)") << -1 << 40;
    }

    void setChannelIgnoresWhatTheDeviceLacks()
    {
        QFETCH(int, inout);
        QFETCH(int, channel);
        CMonitorUnit panel(32, 8);
        panel.setChannel(0, 5);
        QSignalSpy spy(&panel, &CMonitorUnit::channelChanged);
        panel.setChannel(inout, channel);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(panel.channelBox()->currentIndex(), 5);
    }

    void setChannelReportsOnlyAChange()
    {
        CMonitorUnit panel(32, 8);
        QSignalSpy spy(&panel, &CMonitorUnit::channelChanged);
        panel.setChannel(0, 31);
        QCOMPARE(panel.channelBox()->currentIndex(), 31);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toInt(), 0);
        QCOMPARE(spy[0][1].toInt(), 31);
        panel.setChannel(0, 31);
        QCOMPARE(spy.count(), 1);
    }

    void withoutOutputsOnlyInputsAreListed()
    {
        CMonitorUnit panel(4, 0);
        QCOMPARE(entriesOf(panel), (QStringList{"1 (input)", "2 (input)", "3 (input)", "4 (input)"}));
        QSignalSpy spy(&panel, &CMonitorUnit::channelChanged);
        panel.setChannel(1, 0);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(panel.channelBox()->currentIndex(), 0);
    }

    void withoutInputsEntryZeroIsTheFirstOutput()
    {
        CMonitorUnit panel(0, 3);
        QCOMPARE(entriesOf(panel), (QStringList{"1 (output)", "2 (output)", "3 (output)"}));
        QVERIFY(panel.isOutput());
        QCOMPARE(panel.channel(), 0);
        QSignalSpy spy(&panel, &CMonitorUnit::channelChanged);
        panel.setChannel(0, 0);
        QCOMPARE(spy.count(), 0);
        panel.setChannel(1, 2);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toInt(), 1);
        QCOMPARE(spy[0][1].toInt(), 2);
    }

    void withNeitherTheListIsEmptyAndSettersAreHarmless()
    {
        CMonitorUnit panel(0, 0);
        QCOMPARE(panel.channelBox()->count(), 0);
        QSignalSpy spy(&panel, &CMonitorUnit::channelChanged);
        panel.setChannel(0, 0);
        panel.setChannel(1, 0);
        QCOMPARE(spy.count(), 0);
        QVERIFY(!panel.isOutput());
    }

    void onlyAUserClickOnTheSwitchIsReported()
    {
        CMonitorUnit panel(2, 2);
        QSignalSpy spy(&panel, &CMonitorUnit::statusChanged);
        panel.setStatus(true);
        QVERIFY(panel.status());
        QCOMPARE(spy.count(), 0);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTest::mouseClick(panel.onButton(), Qt::LeftButton);
        QVERIFY(!panel.status());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toBool(), false);
    }

    void theStripsGainIsForwarded()
    {
        CMonitorUnit panel(2, 2);
        QSignalSpy spy(&panel, &CMonitorUnit::gainChanged);
        panel.setVolume(-6);
        QCOMPARE(panel.volume(), -6);
        QCOMPARE(spy.count(), 1);
        const double expected = std::pow(10.0, -6.0 / 20.0);
        QVERIFY(std::abs(spy[0][0].toFloat() - expected) < 1e-6);
        QVERIFY(std::abs(panel.gain() - expected) < 1e-6);
        // A fader between whole dB is stored truncated toward zero.
        panel.strip()->slider()->setValue(-29);
        QCOMPARE(panel.volume(), -2);
        QCOMPARE(spy.count(), 2);
    }
};

ORVELAN_APP_TEST_MAIN(MonitorUnitTest)
#include "monitor_unit_test.moc"

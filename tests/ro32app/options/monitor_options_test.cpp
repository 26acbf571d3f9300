// The plain monitor page: stored values loaded clamped to the device
// without a message, and every user change asked about where count and
// offset do not fit, emitted through the window on OK and restored on
// Cancel. Devices of 0, 1 and 2 outputs get a page that cannot go wrong.
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "options/monitor_options.h"
#include "options/page_test_support.h"
#include "options/ro_options.h"
#include "support/app_test_main.h"

using orvelan::app::CMonitorOptions;
using orvelan::app::CRoOptions;
using orvelan::apptest::actOnMonitorPage;
using orvelan::apptest::BoxAnswers;
using orvelan::apptest::kMonitorReduceCount;
using orvelan::apptest::kMonitorReduceOffset;
using orvelan::apptest::pairs;

class MonitorOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void buildsItsRowsUnchecked()
    {
        CMonitorOptions page;
        QCOMPARE(page.oneChannelButton()->text(), QString("1"));
        QCOMPARE(page.twoChannelsButton()->text(), QString("2"));
        QVERIFY(page.oneChannelButton()->isChecked());
        QCOMPARE(page.numChannels(), 1);
        QCOMPARE(page.offsetList()->count(), 0);
    }

    void loadsClampedToTheDevice_data()
    {
        QTest::addColumn<int>("outputs");
        QTest::addColumn<int>("storedCount");
        QTest::addColumn<int>("storedOffset");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("count");

        QTest::newRow("fits") << 8 << 2 << 3 << 3 << 2;
        QTest::newRow("2 at the last output loads 1") << 8 << 2 << 7 << 7 << 1;
        QTest::newRow("offset beyond the device") << 8 << 1 << 12 << 7 << 1;
        QTest::newRow("negative offset") << 8 << 1 << -3 << 0 << 1;
        QTest::newRow("count 3 keeps the buttons") << 8 << 3 << 0 << 0 << 1;
        QTest::newRow("count 0 keeps the buttons") << 8 << 0 << 2 << 2 << 1;
        QTest::newRow("two outputs, 2 from 0") << 2 << 2 << 0 << 0 << 2;
        QTest::newRow("two outputs, 2 from 1 loads 1") << 2 << 2 << 1 << 1 << 1;
        QTest::newRow("one output, 2 stored") << 1 << 2 << 0 << 0 << 1;
        QTest::newRow("one output, offset 5") << 1 << 1 << 5 << 0 << 1;
    }

    void loadsClampedToTheDevice()
    {
        QFETCH(int, outputs);
        QFETCH(int, storedCount);
        QFETCH(int, storedOffset);
        QFETCH(int, offset);
        QFETCH(int, count);

        CRoOptions window;
        QSignalSpy emitted(&window, &CRoOptions::monitorChannelsChanged);
        window.addMonitorTab(storedCount, storedOffset, outputs);
        CMonitorOptions* page = window.monitorPage();
        QVERIFY(page);
        QCOMPARE(orvelan::apptest::entries(page->offsetList()), orvelan::app::numberEntries(0, outputs));
        QCOMPARE(page->offsetList()->currentIndex(), offset);
        QCOMPARE(page->numChannels(), count);
        QVERIFY(page->isEnabled());
        QCOMPARE(page->twoChannelsButton()->isEnabled(), outputs >= 2);
        QCOMPARE(emitted.count(), 0);
    }

    void aDeviceWithoutOutputsDisablesThePage()
    {
        CRoOptions window;
        QSignalSpy emitted(&window, &CRoOptions::monitorChannelsChanged);
        window.addMonitorTab(2, 3, 0);
        CMonitorOptions* page = window.monitorPage();
        QVERIFY(!page->isEnabled());
        QCOMPARE(page->offsetList()->count(), 0);
        QCOMPARE(page->offsetList()->currentIndex(), -1);
        BoxAnswers answers;
        for (const char* action : {"count 1", "count 2", "offset 0", "offset -1"})
            actOnMonitorPage(page, action);
        QCOMPARE(emitted.count(), 0);
        QCOMPARE(answers.problems(), QStringList());
    }

    void reloadingOnASmallerDeviceDropsTwoChannels()
    {
        CRoOptions window;
        window.addMonitorTab(2, 6, 8);
        QCOMPARE(window.monitorPage()->numChannels(), 2);
        window.addMonitorTab(2, 0, 1);
        CMonitorOptions* page = window.monitorPage();
        QCOMPARE(page->offsetList()->count(), 1);
        QCOMPARE(page->offsetList()->currentIndex(), 0);
        QCOMPARE(page->numChannels(), 1);
        QVERIFY(!page->twoChannelsButton()->isEnabled());
    }

    void userChangesAskWhereTheyDoNotFit_data()
    {
        QTest::addColumn<int>("outputs");
        QTest::addColumn<int>("storedCount");
        QTest::addColumn<int>("storedOffset");
        orvelan::apptest::addUserChangeColumns();
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("count");

        QTest::newRow("2 at the last output, OK")
            << 8 << 1 << 7 << "click 2" << "OK" << kMonitorReduceOffset << QStringList{"2,6"} << 6 << 2;
        QTest::newRow("2 at the last output, Cancel")
            << 8 << 1 << 7 << "click 2" << "Cancel" << kMonitorReduceOffset << QStringList{} << 7 << 1;
        QTest::newRow("2 where it fits") << 8 << 1 << 3 << "click 2" << "" << "" << QStringList{"2,3"} << 3 << 2;
        QTest::newRow("1 clicked again") << 8 << 1 << 3 << "click 1" << "" << "" << QStringList{"1,3"} << 3 << 1;
        QTest::newRow("2 clicked again") << 8 << 2 << 3 << "click 2" << "" << "" << QStringList{"2,3"} << 3 << 2;
        QTest::newRow("back to 1") << 8 << 2 << 3 << "click 1" << "" << "" << QStringList{"1,3"} << 3 << 1;
        QTest::newRow("last output with 2, OK")
            << 8 << 2 << 3 << "choose 7" << "OK" << kMonitorReduceCount << QStringList{"1,7"} << 7 << 1;
        QTest::newRow("last output with 2, Cancel")
            << 8 << 2 << 3 << "choose 7" << "Cancel" << kMonitorReduceCount << QStringList{} << 3 << 2;
        QTest::newRow("offset that fits") << 8 << 2 << 3 << "choose 6" << "" << "" << QStringList{"2,6"} << 6 << 2;
        QTest::newRow("the stored offset by slot")
            << 8 << 2 << 3 << "offset 3" << "" << "" << QStringList{"2,3"} << 3 << 2;
        QTest::newRow("two outputs: 2 from 1, OK")
            << 2 << 1 << 1 << "click 2" << "OK" << kMonitorReduceOffset << QStringList{"2,0"} << 0 << 2;
        QTest::newRow("one output: 2 cannot be clicked")
            << 1 << 1 << 0 << "click 2" << "" << "" << QStringList{} << 0 << 1;
        QTest::newRow("one output: 2 by slot sends 1")
            << 1 << 1 << 0 << "count 2" << "" << "" << QStringList{"1,0"} << 0 << 1;
        QTest::newRow("offset outside the list") << 8 << 1 << 3 << "offset 8" << "" << "" << QStringList{} << 3 << 1;
    }

    void userChangesAskWhereTheyDoNotFit()
    {
        QFETCH(int, outputs);
        QFETCH(int, storedCount);
        QFETCH(int, storedOffset);
        QFETCH(int, offset);
        QFETCH(int, count);

        CRoOptions window;
        window.addMonitorTab(storedCount, storedOffset, outputs);
        CMonitorOptions* page = window.monitorPage();
        QSignalSpy spy(&window, &CRoOptions::monitorChannelsChanged);
        const auto change = orvelan::apptest::fetchUserChange();
        BoxAnswers answers(change);
        actOnMonitorPage(page, change.action);

        ORVELAN_EXPECT_ONLY_BOX(answers, "Monitor Options", change.question, true);
        QCOMPARE(pairs(spy), change.emitted);
        QCOMPARE(page->offsetList()->currentIndex(), offset);
        QCOMPARE(page->numChannels(), count);

        // The page's own selections asked nothing more, and the list still
        // reaches the page: a later choice that fits is reported.
        spy.clear();
        const int next = offset == 0 ? 1 : 0;
        if (next + page->numChannels() <= outputs) {
            page->offsetList()->setCurrentIndex(next);
            QCOMPARE(pairs(spy), QStringList{QString("%1,%2").arg(page->numChannels()).arg(next)});
        }
    }
};

ORVELAN_APP_TEST_MAIN(MonitorOptionsTest)
#include "monitor_options_test.moc"

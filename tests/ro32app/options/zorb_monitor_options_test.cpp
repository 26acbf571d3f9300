// The box's monitor page: the stored channel loads as the group that holds
// it and the offset inside (a channel no offered group holds: the first
// group at offset 0); a group change starts at its offset 0; count and
// offset changes ask as on the plain page and report the group's base
// plus the offset.
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "options/page_test_support.h"
#include "options/ro_options.h"
#include "options/zorb_monitor_options.h"
#include "support/app_test_main.h"

using orvelan::app::CRoOptions;
using orvelan::app::CZorbMonitorOptions;
using orvelan::apptest::actOnMonitorPage;
using orvelan::apptest::BoxAnswers;
using orvelan::apptest::kMonitorReduceCount;
using orvelan::apptest::kMonitorReduceOffset;
using orvelan::apptest::entries;
using orvelan::apptest::pairs;

class ZorbMonitorOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void loadsTheGroupHoldingTheChannel_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("storedChannel");
        QTest::addColumn<int>("storedCount");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("offsets");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("count");

        const QStringList two{"headphone", "ADAT"};
        const QStringList three{"headphone", "ADAT", "8-LO"};
        QTest::newRow("headphone 1") << 3 << 1 << 1 << two << 0 << 2 << 1 << 1;
        QTest::newRow("headphone 1 with 2 loads 1") << 3 << 1 << 2 << two << 0 << 2 << 1 << 1;
        QTest::newRow("headphone 0 with 2") << 3 << 0 << 2 << two << 0 << 2 << 0 << 2;
        QTest::newRow("ADAT 10 with 2") << 3 << 10 << 2 << two << 1 << 8 << 2 << 2;
        QTest::newRow("3, between headphone and ADAT") << 3 << 3 << 1 << two << 0 << 2 << 0 << 1;
        QTest::newRow("8-LO 23 with 2 loads 1") << 7 << 23 << 2 << three << 2 << 8 << 7 << 1;
        QTest::newRow("8-LO not offered") << 3 << 20 << 2 << two << 0 << 2 << 0 << 2;
        QTest::newRow("beyond every group") << 7 << 24 << 1 << three << 0 << 2 << 0 << 1;
        QTest::newRow("negative") << 3 << -1 << 1 << two << 0 << 2 << 0 << 1;
        QTest::newRow("count 3 keeps the buttons") << 7 << 8 << 3 << three << 1 << 8 << 0 << 1;
        QTest::newRow("groups that are not a leading run")
            << 6 << 17 << 1 << QStringList{"ADAT", "8-LO"} << 1 << 8 << 1 << 1;
    }

    void loadsTheGroupHoldingTheChannel()
    {
        QFETCH(int, available);
        QFETCH(int, storedChannel);
        QFETCH(int, storedCount);
        QFETCH(QStringList, groups);
        QFETCH(int, group);
        QFETCH(int, offsets);
        QFETCH(int, offset);
        QFETCH(int, count);

        CRoOptions window;
        QSignalSpy emitted(&window, &CRoOptions::monitorChannelsChanged);
        window.addZorbMonitorTab(available, storedChannel, storedCount);
        CZorbMonitorOptions* page = window.zorbMonitorPage();
        QVERIFY(page);
        QVERIFY(page->isEnabled());
        QCOMPARE(entries(page->groupList()), groups);
        QCOMPARE(page->groupList()->currentIndex(), group);
        QCOMPARE(entries(page->offsetList()), orvelan::app::numberEntries(0, offsets));
        QCOMPARE(page->offsetList()->currentIndex(), offset);
        QCOMPARE(page->numChannels(), count);
        QCOMPARE(emitted.count(), 0);

        // The next report counts from the loaded group's base.
        page->updateNumMonitorChannels(1);
        const int base = QList<int>{0, 8, 16}.at(QStringList{"headphone", "ADAT", "8-LO"}.indexOf(groups[group]));
        QCOMPARE(pairs(emitted), QStringList{QString("1,%1").arg(base + offset)});
    }

    void aBoxWithoutGroupsDisablesThePage()
    {
        CRoOptions window;
        QSignalSpy emitted(&window, &CRoOptions::monitorChannelsChanged);
        window.addZorbMonitorTab(0, 1, 1);
        CZorbMonitorOptions* page = window.zorbMonitorPage();
        QVERIFY(!page->isEnabled());
        QCOMPARE(page->groupList()->count(), 0);
        QCOMPARE(page->offsetList()->count(), 0);
        BoxAnswers answers;
        page->updateOutputGroup(0);
        page->updateNumMonitorChannels(2);
        page->updateStartChannel(0);
        QCOMPARE(emitted.count(), 0);
        QCOMPARE(answers.problems(), QStringList());
    }

    void userChangesReportTheChannelInTheGroup_data()
    {
        QTest::addColumn<int>("storedChannel");
        QTest::addColumn<int>("storedCount");
        orvelan::apptest::addUserChangeColumns();  // actions "group g" and those of both monitor pages
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("count");

        QTest::newRow("to ADAT") << 1 << 1 << "group 1" << "" << "" << QStringList{"1,8"} << 1 << 0 << 1;
        QTest::newRow("to 8-LO with 2") << 10 << 2 << "group 2" << "" << "" << QStringList{"2,16"} << 2 << 0 << 2;
        QTest::newRow("back to headphone with 2") << 20 << 2 << "group 0" << "" << "" << QStringList{"2,0"} << 0 << 0 << 2;
        QTest::newRow("2 at the last ADAT offset, OK")
            << 15 << 1 << "click 2" << "OK" << kMonitorReduceOffset << QStringList{"2,14"} << 1 << 6 << 2;
        QTest::newRow("2 at the last ADAT offset, Cancel")
            << 15 << 1 << "click 2" << "Cancel" << kMonitorReduceOffset << QStringList{} << 1 << 7 << 1;
        QTest::newRow("2 at headphone 1, OK")
            << 1 << 1 << "click 2" << "OK" << kMonitorReduceOffset << QStringList{"2,0"} << 0 << 0 << 2;
        QTest::newRow("2 clicked again") << 10 << 2 << "click 2" << "" << "" << QStringList{"2,10"} << 1 << 2 << 2;
        QTest::newRow("1 clicked again") << 18 << 1 << "click 1" << "" << "" << QStringList{"1,18"} << 2 << 2 << 1;
        QTest::newRow("last ADAT offset with 2, OK")
            << 8 << 2 << "choose 7" << "OK" << kMonitorReduceCount << QStringList{"1,15"} << 1 << 7 << 1;
        QTest::newRow("last ADAT offset with 2, Cancel")
            << 8 << 2 << "choose 7" << "Cancel" << kMonitorReduceCount << QStringList{} << 1 << 0 << 2;
        QTest::newRow("an offset that fits") << 8 << 2 << "choose 3" << "" << "" << QStringList{"2,11"} << 1 << 3 << 2;
    }

    void userChangesReportTheChannelInTheGroup()
    {
        QFETCH(int, storedChannel);
        QFETCH(int, storedCount);
        QFETCH(int, group);
        QFETCH(int, offset);
        QFETCH(int, count);

        CRoOptions window;
        window.addZorbMonitorTab(7, storedChannel, storedCount);
        CZorbMonitorOptions* page = window.zorbMonitorPage();
        QSignalSpy spy(&window, &CRoOptions::monitorChannelsChanged);
        const auto change = orvelan::apptest::fetchUserChange();
        BoxAnswers answers(change);
        if (change.action.startsWith("group "))
            page->groupList()->setCurrentIndex(change.action.section(' ', 1).toInt());
        else
            actOnMonitorPage(page, change.action);

        ORVELAN_EXPECT_ONLY_BOX(answers, "Monitor Options", change.question, true);
        QCOMPARE(pairs(spy), change.emitted);
        QCOMPARE(page->groupList()->currentIndex(), group);
        QCOMPARE(page->offsetList()->currentIndex(), offset);
        QCOMPARE(page->numChannels(), count);
    }
};

ORVELAN_APP_TEST_MAIN(ZorbMonitorOptionsTest)
#include "zorb_monitor_options_test.moc"

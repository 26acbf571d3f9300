// The options window: a tab widget alone in its layout, the box's pages or
// the plain ones under their titles, each page built and added once however
// often it is loaded, and every page's change forwarded under the window's
// signal of the same meaning.
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include "options/monitor_options.h"
#include "options/output_options.h"
#include "options/ro_options.h"
#include "options/zorb_monitor_options.h"
#include "options/zorb_output_options.h"
#include "support/app_test_main.h"

using orvelan::app::CMonitorOptions;
using orvelan::app::COutputOptions;
using orvelan::app::CRoOptions;
using orvelan::app::CZorbMonitorOptions;
using orvelan::app::CZorbOutputOptions;

namespace {

QStringList tabTitles(const CRoOptions& window)
{
    QStringList titles;
    for (int i = 0; i < window.tabs()->count(); ++i)
        titles << window.tabs()->tabText(i);
    return titles;
}

}  // namespace

class RoOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void startsAsAWindowWithAnEmptyTabWidget()
    {
        CRoOptions window;
        QVERIFY(window.isWindow());
        QCOMPARE(window.layout()->count(), 1);
        QCOMPARE(window.layout()->itemAt(0)->widget(), window.tabs());
        QCOMPARE(window.tabs()->count(), 0);
        QVERIFY(!window.outputPage() && !window.monitorPage());
        QVERIFY(!window.zorbOutputPage() && !window.zorbMonitorPage());
    }

    void withoutTheBoxThePlainPages()
    {
        CRoOptions window;
        window.addOutputTab(2, 0, 18, 24);
        window.addMonitorTab(2, 0, 24);
        QCOMPARE(tabTitles(window), (QStringList{"Output", "Monitor"}));
        QCOMPARE(window.tabs()->widget(0), window.outputPage());
        QCOMPARE(window.tabs()->widget(1), window.monitorPage());
        QVERIFY(window.tabs()->isAncestorOf(window.outputPage()));
        QVERIFY(!window.zorbOutputPage() && !window.zorbMonitorPage());
    }

    void withTheBoxTheBoxPages()
    {
        CRoOptions window;
        window.addZorbOutputTab(7, 3, 2);
        window.addZorbMonitorTab(7, 8, 2);
        QCOMPARE(tabTitles(window), (QStringList{"ZORB Output", "ZORB Monitor"}));
        QCOMPARE(window.tabs()->widget(0), window.zorbOutputPage());
        QCOMPARE(window.tabs()->widget(1), window.zorbMonitorPage());
        QVERIFY(window.tabs()->isAncestorOf(window.zorbMonitorPage()));
        QVERIFY(!window.outputPage() && !window.monitorPage());
    }

    void loadingAgainKeepsThePageAndItsOneConnection()
    {
        CRoOptions window;
        QSignalSpy monitor(&window, &CRoOptions::monitorChannelsChanged);
        QSignalSpy output(&window, &CRoOptions::outputChannelsChanged);
        QSignalSpy groups(&window, &CRoOptions::zorbOutputGroupsChanged);
        for (int round = 0; round < 2; ++round) {
            window.addOutputTab(2, round, 8, 8);
            window.addMonitorTab(1, round, 8);
            window.addZorbOutputTab(7, 3, 1);
            window.addZorbMonitorTab(7, round, 1);
        }
        QCOMPARE(window.tabs()->count(), 4);
        QCOMPARE(window.outputPage()->offsetList()->currentIndex(), 1);
        QCOMPARE(window.monitorPage()->offsetList()->currentIndex(), 1);
        QCOMPARE(window.zorbMonitorPage()->offsetList()->currentIndex(), 1);

        // One signal of the window per change of a page, from each page.
        window.outputPage()->numberList()->setCurrentIndex(3);
        window.monitorPage()->twoChannelsButton()->click();
        window.zorbMonitorPage()->groupList()->setCurrentIndex(1);
        window.zorbOutputPage()->firstButton(1)->click();
        QCOMPARE(output.count(), 1);
        QCOMPARE(output[0], (QList<QVariant>{4, 1}));
        QCOMPARE(monitor.count(), 2);
        QCOMPARE(monitor[0], (QList<QVariant>{2, 1}));
        QCOMPARE(monitor[1], (QList<QVariant>{1, 8}));
        QCOMPARE(groups.count(), 1);
        QCOMPARE(groups[0], (QList<QVariant>{3, 2}));
    }
};

ORVELAN_APP_TEST_MAIN(RoOptionsTest)
#include "ro_options_test.moc"

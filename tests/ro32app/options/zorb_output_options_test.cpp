// The box's output-group page: which groups the box offers, which are
// active and which comes first, loaded without a message; a click that
// would leave no group active or disable the first group is refused with
// a warning and undone, every other click reported through the window.
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "options/page_test_support.h"
#include "options/ro_options.h"
#include "options/zorb_output_options.h"
#include "support/app_test_main.h"

using orvelan::app::CRoOptions;
using orvelan::app::CZorbOutputOptions;
using orvelan::apptest::BoxAnswers;
using orvelan::apptest::pairs;

namespace {

const char* const kOneRemains = "One output group has to remain active!";
const char* const kMoveFirst = "Please set the \"first output\" to another output group before disabling this output";

// The groups (as a bit mask) for which test holds, in table order.
template <class Test>
int maskOf(const CZorbOutputOptions* page, Test test)
{
    int mask = 0;
    for (int g = 0; g < 3; ++g)
        if (test(page, g))
            mask |= 1 << g;
    return mask;
}

int checkedBoxes(const CZorbOutputOptions* page)
{
    return maskOf(page, [](const CZorbOutputOptions* p, int g) { return p->activeBox(g)->isChecked(); });
}

int enabledFirstButtons(const CZorbOutputOptions* page)
{
    return maskOf(page, [](const CZorbOutputOptions* p, int g) { return p->firstButton(g)->isEnabled(); });
}

int checkedFirstButton(const CZorbOutputOptions* page)
{
    return maskOf(page, [](const CZorbOutputOptions* p, int g) { return p->firstButton(g)->isChecked(); });
}

}  // namespace

class ZorbOutputOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void buildsOneRowPerGroup()
    {
        CZorbOutputOptions page;
        QStringList names;
        for (int g = 0; g < 3; ++g) {
            names << page.groupLabel(g)->text();
            QVERIFY(page.activeBox(g)->text().isEmpty());
            QVERIFY(page.firstButton(g)->text().isEmpty());
        }
        QCOMPARE(names, (QStringList{"headphone", "ADAT", "8-LO"}));
        QStringList headings;
        for (QLabel* label : page.findChildren<QLabel*>())
            if (!names.contains(label->text()))
                headings << label->text();
        QCOMPARE(headings, (QStringList{"active", "group", "first group"}));
    }

    void loadsTheStoredGroups_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("storedFirst");
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("first");

        QTest::newRow("two active, ADAT first") << 7 << 3 << 2 << 3 << 2;
        QTest::newRow("all active, 8-LO first") << 7 << 7 << 4 << 7 << 4;
        QTest::newRow("first not active: the lowest active") << 7 << 3 << 4 << 3 << 1;
        QTest::newRow("first not one group's bit") << 7 << 6 << 3 << 6 << 2;
        QTest::newRow("first 0") << 3 << 3 << 0 << 3 << 1;
        QTest::newRow("an active group the box does not offer") << 3 << 5 << 4 << 5 << 4;
        QTest::newRow("none active: the lowest offered") << 6 << 0 << 2 << 2 << 2;
        QTest::newRow("bits beyond the groups") << 7 << 8 << 1 << 1 << 1;
    }

    void loadsTheStoredGroups()
    {
        QFETCH(int, available);
        QFETCH(int, stored);
        QFETCH(int, storedFirst);
        QFETCH(int, checked);
        QFETCH(int, first);

        CRoOptions window;
        QSignalSpy emitted(&window, &CRoOptions::zorbOutputGroupsChanged);
        window.addZorbOutputTab(available, stored, storedFirst);
        CZorbOutputOptions* page = window.zorbOutputPage();
        QVERIFY(page);
        QVERIFY(page->isEnabled());
        for (int g = 0; g < 3; ++g) {
            QCOMPARE(page->activeBox(g)->isEnabled(), (available & (1 << g)) != 0);
            QCOMPARE(page->groupLabel(g)->isEnabled(), (available & (1 << g)) != 0);
        }
        QCOMPARE(checkedBoxes(page), checked);
        QCOMPARE(enabledFirstButtons(page), checked);
        QCOMPARE(checkedFirstButton(page), first);
        QCOMPARE(emitted.count(), 0);

        // The loaded state is what the next click reports.
        page->firstButton(first == 4 ? 2 : first - 1)->click();
        QCOMPARE(pairs(emitted), QStringList{QString("%1,%2").arg(checked).arg(first)});
    }

    void aBoxWithoutOutputsDisablesThePage()
    {
        CRoOptions window;
        window.addZorbOutputTab(0, 3, 1);
        QVERIFY(!window.zorbOutputPage()->isEnabled());
    }

    void clicksAreReportedOrRefused_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("storedFirst");
        orvelan::apptest::addUserChangeColumns();  // actions "box g" and "first g"
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("first");

        QTest::newRow("check a group") << 1 << 1 << "box 1" << "" << "" << QStringList{"3,1"} << 3 << 1;
        QTest::newRow("check the third group") << 3 << 2 << "box 2" << "" << "" << QStringList{"7,2"} << 7 << 2;
        QTest::newRow("uncheck a group") << 3 << 1 << "box 1" << "" << "" << QStringList{"1,1"} << 1 << 1;
        QTest::newRow("uncheck the first group while others are active")
            << 3 << 1 << "box 0" << "OK" << kMoveFirst << QStringList{} << 3 << 1;
        QTest::newRow("uncheck the last active group") << 2 << 2 << "box 1" << "OK" << kOneRemains << QStringList{} << 2 << 2;
        QTest::newRow("choose another first group") << 3 << 1 << "first 1" << "" << "" << QStringList{"3,2"} << 3 << 2;
        QTest::newRow("click the first group again") << 3 << 1 << "first 0" << "" << "" << QStringList{"3,1"} << 3 << 1;
        QTest::newRow("an inactive group cannot come first") << 1 << 1 << "first 2" << "" << "" << QStringList{} << 1 << 1;
    }

    void clicksAreReportedOrRefused()
    {
        QFETCH(int, stored);
        QFETCH(int, storedFirst);
        QFETCH(int, checked);
        QFETCH(int, first);

        CRoOptions window;
        window.addZorbOutputTab(7, stored, storedFirst);
        CZorbOutputOptions* page = window.zorbOutputPage();
        QSignalSpy spy(&window, &CRoOptions::zorbOutputGroupsChanged);
        const auto change = orvelan::apptest::fetchUserChange();
        BoxAnswers answers(change);
        const int g = change.action.section(' ', 1).toInt();
        if (change.action.startsWith("box"))
            page->activeBox(g)->click();
        else
            page->firstButton(g)->click();

        ORVELAN_EXPECT_ONLY_BOX(answers, "ZORB Options", change.question, false);
        QCOMPARE(pairs(spy), change.emitted);
        QCOMPARE(checkedBoxes(page), checked);
        QCOMPARE(enabledFirstButtons(page), checked);
        QCOMPARE(checkedFirstButton(page), first);
    }

    void aGroupTheBoxDoesNotOfferCannotBeChecked()
    {
        CRoOptions window;
        window.addZorbOutputTab(3, 1, 1);
        QSignalSpy spy(&window, &CRoOptions::zorbOutputGroupsChanged);
        window.zorbOutputPage()->activeBox(2)->click();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(checkedBoxes(window.zorbOutputPage()), 1);
    }
};

ORVELAN_APP_TEST_MAIN(ZorbOutputOptionsTest)
#include "zorb_output_options_test.moc"

// The plain beam-output page: stored count and offset loaded clamped to the
// device without a message, user changes that do not fit asked about and
// emitted through the window on OK, restored on Cancel; a slot call with
// the value already stored does nothing.
#include <QSignalSpy>
#include <QTest>

#include "options/output_options.h"
#include "options/page_test_support.h"
#include "options/ro_options.h"
#include "support/app_test_main.h"

using orvelan::app::COutputOptions;
using orvelan::app::CRoOptions;
using orvelan::app::numberEntries;
using orvelan::apptest::BoxAnswers;
using orvelan::apptest::entries;
using orvelan::apptest::pairs;

namespace {

const char* const kReduceOffset =
    "There are not enough channels available beyond the current offset.\nDo you want to reduce the offset?";
const char* const kReduceCount =
    "There are not enough channels available beyond the offset selection.\n"
    "Do you want to reduce the number of output channels?";

// "number 7" and "offset 4" choose list entries as the user does;
// "slot-number 3" and "slot-offset 2" call the slots themselves.
void act(COutputOptions* page, const QString& action)
{
    const QStringList words = action.split(' ');
    const int value = words.value(1).toInt();
    if (words[0] == "number")
        page->numberList()->setCurrentIndex(value);
    else if (words[0] == "offset")
        page->offsetList()->setCurrentIndex(value);
    else if (words[0] == "slot-number")
        page->updateNumOutputChannels(value);
    else if (words[0] == "slot-offset")
        page->updateStartChannel(value);
    else
        QFAIL(qPrintable("unknown action " + action));
}

}  // namespace

class OutputOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void loadsClampedToTheDevice_data()
    {
        QTest::addColumn<int>("storedCount");
        QTest::addColumn<int>("storedOffset");
        QTest::addColumn<int>("maxOutputs");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<int>("numberEntries");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("offset");

        QTest::newRow("fits") << 4 << 2 << 8 << 8 << 8 << 4 << 2;
        QTest::newRow("offset leaves room for 2 only") << 4 << 6 << 8 << 8 << 8 << 2 << 6;
        QTest::newRow("offset beyond the device") << 2 << 12 << 8 << 8 << 8 << 1 << 7;
        QTest::newRow("count beyond the device") << 12 << 0 << 8 << 8 << 8 << 8 << 0;
        QTest::newRow("more outputs than beams") << 18 << 10 << 18 << 24 << 18 << 8 << 10;
        QTest::newRow("stored count above the room") << 8 << 20 << 18 << 24 << 18 << 1 << 20;
        // The offset keeps its place and the count shrinks to the room left,
        // as the window's output list plays it.
        QTest::newRow("1 at the last output stays there") << 1 << 7 << 8 << 8 << 8 << 1 << 7;
        QTest::newRow("count 0") << 0 << 3 << 8 << 8 << 8 << 1 << 3;
        QTest::newRow("negative offset") << 2 << -1 << 8 << 8 << 8 << 2 << 0;
        QTest::newRow("maximum above the outputs") << 4 << 0 << 18 << 8 << 8 << 4 << 0;
        QTest::newRow("two outputs") << 2 << 1 << 2 << 2 << 2 << 1 << 1;
        QTest::newRow("two outputs, 4 stored") << 4 << 1 << 2 << 2 << 2 << 1 << 1;
        QTest::newRow("one output") << 2 << 1 << 1 << 1 << 1 << 1 << 0;
    }

    void loadsClampedToTheDevice()
    {
        QFETCH(int, storedCount);
        QFETCH(int, storedOffset);
        QFETCH(int, maxOutputs);
        QFETCH(int, outputs);
        QFETCH(int, numberEntries);
        QFETCH(int, count);
        QFETCH(int, offset);

        CRoOptions window;
        QSignalSpy emitted(&window, &CRoOptions::outputChannelsChanged);
        window.addOutputTab(storedCount, storedOffset, maxOutputs, outputs);
        COutputOptions* page = window.outputPage();
        QVERIFY(page);
        QCOMPARE(entries(page->offsetList()), orvelan::app::numberEntries(0, outputs));
        QCOMPARE(entries(page->numberList()), orvelan::app::numberEntries(1, numberEntries));
        QCOMPARE(page->numberList()->currentIndex() + 1, count);
        QCOMPARE(page->offsetList()->currentIndex(), offset);
        QVERIFY(page->isEnabled());
        QCOMPARE(emitted.count(), 0);
    }

    void aDeviceWithoutOutputsDisablesThePage()
    {
        CRoOptions window;
        QSignalSpy emitted(&window, &CRoOptions::outputChannelsChanged);
        window.addOutputTab(2, 0, 0, 0);
        COutputOptions* page = window.outputPage();
        QVERIFY(!page->isEnabled());
        QCOMPARE(page->numberList()->count(), 0);
        QCOMPARE(page->offsetList()->count(), 0);
        BoxAnswers answers;
        for (const char* action : {"slot-number 0", "slot-number 1", "slot-offset 0", "slot-offset 1"})
            act(page, action);
        QCOMPARE(emitted.count(), 0);
        QCOMPARE(answers.problems(), QStringList());
    }

    void userChangesAskWhereTheyDoNotFit_data()
    {
        QTest::addColumn<int>("outputs");
        QTest::addColumn<int>("storedCount");
        QTest::addColumn<int>("storedOffset");
        orvelan::apptest::addUserChangeColumns();
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("offset");

        QTest::newRow("8 from offset 4 on 8 outputs, OK")
            << 8 << 2 << 4 << "number 7" << "OK" << kReduceOffset << QStringList{"8,0"} << 8 << 0;
        QTest::newRow("8 from offset 4 on 8 outputs, Cancel")
            << 8 << 2 << 4 << "number 7" << "Cancel" << kReduceOffset << QStringList{} << 2 << 4;
        QTest::newRow("5 from offset 4, OK")
            << 8 << 2 << 4 << "number 4" << "OK" << kReduceOffset << QStringList{"5,3"} << 5 << 3;
        QTest::newRow("a count that fits") << 8 << 2 << 4 << "number 3" << "" << "" << QStringList{"4,4"} << 4 << 4;
        QTest::newRow("offset leaving too little room, OK")
            << 8 << 4 << 2 << "offset 6" << "OK" << kReduceCount << QStringList{"2,6"} << 2 << 6;
        QTest::newRow("offset leaving too little room, Cancel")
            << 8 << 4 << 2 << "offset 6" << "Cancel" << kReduceCount << QStringList{} << 4 << 2;
        QTest::newRow("an offset that fits") << 8 << 4 << 2 << "offset 4" << "" << "" << QStringList{"4,4"} << 4 << 4;
        QTest::newRow("the stored count by slot")
            << 8 << 4 << 2 << "slot-number 3" << "" << "" << QStringList{} << 4 << 2;
        QTest::newRow("the stored offset by slot")
            << 8 << 4 << 2 << "slot-offset 2" << "" << "" << QStringList{} << 4 << 2;
        QTest::newRow("two outputs: 2 from 0") << 2 << 1 << 0 << "number 1" << "" << "" << QStringList{"2,0"} << 2 << 0;
        QTest::newRow("two outputs: offset 1 with 2, OK")
            << 2 << 2 << 0 << "offset 1" << "OK" << kReduceCount << QStringList{"1,1"} << 1 << 1;
        QTest::newRow("a count outside the list")
            << 8 << 2 << 0 << "slot-number 8" << "" << "" << QStringList{} << 2 << 0;
    }

    void userChangesAskWhereTheyDoNotFit()
    {
        QFETCH(int, outputs);
        QFETCH(int, storedCount);
        QFETCH(int, storedOffset);
        QFETCH(int, count);
        QFETCH(int, offset);

        CRoOptions window;
        window.addOutputTab(storedCount, storedOffset, outputs, outputs);
        COutputOptions* page = window.outputPage();
        QSignalSpy spy(&window, &CRoOptions::outputChannelsChanged);
        const auto change = orvelan::apptest::fetchUserChange();
        BoxAnswers answers(change);
        act(page, change.action);

        ORVELAN_EXPECT_ONLY_BOX(answers, "Output Options", change.question, true);
        QCOMPARE(pairs(spy), change.emitted);
        QCOMPARE(page->numberList()->currentIndex() + 1, count);
        QCOMPARE(page->offsetList()->currentIndex(), offset);

        // What the page selected itself reached no slot, and the lists
        // still reach it: choosing one channel asks nothing and reports.
        spy.clear();
        if (count != 1) {
            page->numberList()->setCurrentIndex(0);
            QCOMPARE(pairs(spy), QStringList{QString("1,%1").arg(offset)});
        }
    }
};

ORVELAN_APP_TEST_MAIN(OutputOptionsTest)
#include "output_options_test.moc"

// The high-pass selector: one radio button per label in list order, the
// stored index checked (none when it is outside the list), and every
// click reported, also on the button already checked.
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "support/app_test_main.h"
#include "widgets/hp_selection.h"

using orvelan::app::CHpSelection;

namespace {

QList<QRadioButton*> buttonsOf(const CHpSelection& selection)
{
    return selection.findChildren<QRadioButton*>();
}

}  // namespace

class HpSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void labelsComeFromTheCornerFrequencies()
    {
        QCOMPARE(CHpSelection::labelsFor({0, 80, 160, 320}), (QStringList{"off", "80 Hz", "160 Hz", "320 Hz"}));
    }

    void buildsOneButtonPerLabelInOrder()
    {
        CHpSelection selection;
        QSignalSpy spy(&selection, &CHpSelection::selectionChanged);
        selection.setItems({"off", "80 Hz", "160 Hz", "320 Hz"}, 2);
        QStringList texts;
        for (QRadioButton* button : buttonsOf(selection))
            texts << button->text();
        QCOMPARE(texts, (QStringList{"off", "80 Hz", "160 Hz", "320 Hz"}));
        QVERIFY(buttonsOf(selection)[2]->isChecked());
        QCOMPARE(selection.selectedIndex(), 2);
        QCOMPARE(spy.count(), 0);
    }

    void storedIndexOutsideTheListChecksNone_data()
    {
        QTest::addColumn<int>("stored");
        QTest::newRow("-1") << -1;
        QTest::newRow("one past the end") << 4;
        QTest::newRow("far out") << 1000;
    }

    void storedIndexOutsideTheListChecksNone()
    {
        QFETCH(int, stored);
        CHpSelection selection;
        selection.setItems({"off", "80 Hz", "160 Hz", "320 Hz"}, stored);
        for (QRadioButton* button : buttonsOf(selection))
            QVERIFY(!button->isChecked());
        QCOMPARE(selection.selectedIndex(), -1);

        selection.show();
        QVERIFY(QTest::qWaitForWindowExposed(&selection));
        QSignalSpy spy(&selection, &CHpSelection::selectionChanged);
        QTest::mouseClick(buttonsOf(selection)[1], Qt::LeftButton);
        QCOMPARE(selection.selectedIndex(), 1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toInt(), 1);
    }

    void everyClickEmitsAlsoOnTheCheckedButton()
    {
        CHpSelection selection;
        selection.setItems({"off", "80 Hz", "160 Hz", "320 Hz"}, 0);
        selection.show();
        QVERIFY(QTest::qWaitForWindowExposed(&selection));
        QSignalSpy spy(&selection, &CHpSelection::selectionChanged);
        QTest::mouseClick(buttonsOf(selection)[3], Qt::LeftButton);
        QTest::mouseClick(buttonsOf(selection)[3], Qt::LeftButton);
        QTest::mouseClick(buttonsOf(selection)[0], Qt::LeftButton);
        QCOMPARE(spy.count(), 3);
        QCOMPARE((QList<int>{spy[0][0].toInt(), spy[1][0].toInt(), spy[2][0].toInt()}), (QList<int>{3, 3, 0}));
        QCOMPARE(selection.selectedIndex(), 0);
    }
};

ORVELAN_APP_TEST_MAIN(HpSelectionTest)
#include "hp_selection_test.moc"

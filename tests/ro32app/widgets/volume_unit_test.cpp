// The fader strip: dB to slider steps (halves upward), the gain table on
// and off, ranges widened outward to whole steps, the page-step rule, tick
// labels, the label dialog, and the value field applied per keystroke;
// only a complete number moves the gain, so typing never passes through
// 0 dB on the way to the value.
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <cmath>

#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "support/signal_log.h"
#include "widgets/on_off_button.h"
#include "widgets/volume_unit.h"

using orvelan::app::CVolumeUnit;
using namespace orvelan::apptest;

namespace {

void watchLevels(SignalLog& log, CVolumeUnit& unit)
{
    log.watch(&unit, &CVolumeUnit::gainChanged, "gainChanged");
    log.watch(&unit, &CVolumeUnit::volumeChanged, "volumeChanged");
}

bool closeTo(double actual, double expected, double relative = 1e-5)
{
    return std::abs(actual - expected) <= relative * std::abs(expected);
}

// Ctrl+A then the keys, as a user replacing the field's text types them.
void typeInto(QLineEdit* edit, const QString& keys)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, keys);
}

}  // namespace

class VolumeUnitTest : public QObject {
    Q_OBJECT

private slots:
    void setVolumeRoundsToTheNearestStepHalvesUp_data()
    {
        QTest::addColumn<float>("dB");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("shown");
        QTest::newRow("-3.04") << -3.04f << -30 << "-3.0";
        QTest::newRow("-3.06") << -3.06f << -31 << "-3.1";
        QTest::newRow("-2.5 steps") << -0.25f << -2 << "-0.2";
        QTest::newRow("+2.5 steps") << 0.25f << 3 << "0.3";
        QTest::newRow("-0.04") << -0.04f << 0 << "0.0";
        QTest::newRow("top") << 40.0f << 400 << "40.0";
        QTest::newRow("beyond the top clamps") << 55.0f << 400 << "40.0";
        QTest::newRow("below the bottom clamps") << -41.0f << -400 << "-40.0";
    }

    void setVolumeRoundsToTheNearestStepHalvesUp()
    {
        QFETCH(float, dB);
        QFETCH(int, step);
        QFETCH(QString, shown);
        CVolumeUnit unit(0);
        unit.setVolume(10.0f);
        unit.setVolume(dB);
        QCOMPARE(unit.slider()->value(), step);
        QCOMPARE(unit.valueEdit()->text(), shown);
        QCOMPARE(unit.volume(), step * 0.1f);
    }

    void withTheGainTableBothLevelsAreSentGainFirst()
    {
        CVolumeUnit unit(0);
        unit.setGainTableEnabled(true);
        unit.setRange(-40, 40, 0.1f, 1, 50);
        SignalLog log;
        watchLevels(log, unit);
        unit.valueEdit()->setText("12.3");
        QCOMPARE(unit.slider()->value(), 123);
        QCOMPARE(log.names(), (QStringList{"gainChanged", "volumeChanged"}));
        QVERIFY(closeTo(log.values("gainChanged")[0].toFloat(), std::pow(10.0, 12.3 / 20)));
        QCOMPARE(log.values("volumeChanged")[0].toFloat(), 123 * 0.1f);
        QVERIFY(closeTo(unit.gain(), std::pow(10.0, 12.3 / 20)));
        // The field keeps the text typed: 12.3 is what the slider shows.
        QCOMPARE(unit.valueEdit()->text(), QString("12.3"));
    }

    void gainTableHoldsTheFactorOfEveryPosition()
    {
        CVolumeUnit unit(CVolumeUnit::kMute);
        unit.setGainTableEnabled(true);
        unit.setRange(-15, 15, 0.1f, 1, 10);
        QCOMPARE(unit.slider()->minimum(), -150);
        QCOMPARE(unit.slider()->maximum(), 150);
        for (int step = -150; step <= 150; ++step) {
            unit.slider()->setValue(step);
            QVERIFY2(closeTo(unit.gain(), std::pow(10.0, 0.05 * step * 0.1)), qPrintable(QString::number(step)));
        }
    }

    void withoutTheGainTableOnlyTheDbValueIsSent()
    {
        CVolumeUnit unit(0);
        unit.setGainTableEnabled(true);
        unit.setGainTableEnabled(false);
        SignalLog log;
        watchLevels(log, unit);
        unit.setVolume(-6.5f);
        QCOMPARE(log.names(), QStringList{"volumeChanged"});
        QCOMPARE(log.values("volumeChanged")[0].toFloat(), -65 * 0.1f);
        QCOMPARE(unit.gain(), 0.0f);
    }

    void rangeIsWidenedOutwardToWholeSteps_data()
    {
        QTest::addColumn<int>("minDb");
        QTest::addColumn<int>("maxDb");
        QTest::addColumn<float>("stepDb");
        QTest::addColumn<int>("lowest");
        QTest::addColumn<int>("highest");
        QTest::newRow("multiples of 0.1") << -40 << 40 << 0.1f << -400 << 400;
        QTest::newRow("-20..20 by 0.1") << -20 << 20 << 0.1f << -200 << 200;
        QTest::newRow("-5..5 by 0.3") << -5 << 5 << 0.3f << -17 << 17;
        QTest::newRow("-10..10 by 3") << -10 << 10 << 3.0f << -4 << 4;
        QTest::newRow("-3..7 by 0.5") << -3 << 7 << 0.5f << -6 << 14;
        QTest::newRow("-1..1 by 0.75") << -1 << 1 << 0.75f << -2 << 2;
    }

    void rangeIsWidenedOutwardToWholeSteps()
    {
        QFETCH(int, minDb);
        QFETCH(int, maxDb);
        QFETCH(float, stepDb);
        QFETCH(int, lowest);
        QFETCH(int, highest);
        CVolumeUnit unit(0);
        unit.setGainTableEnabled(true);
        unit.setRange(minDb, maxDb, stepDb, 1, 10);
        QCOMPARE(unit.slider()->minimum(), lowest);
        QCOMPARE(unit.slider()->maximum(), highest);
        // The table covers the widened ends too.
        for (int step : {lowest, highest}) {
            unit.slider()->setValue(step);
            QVERIFY(closeTo(unit.gain(), std::pow(10.0, 0.05 * step * stepDb)));
        }
    }

    void gainTableSwitchLeavesThePageStepAtTen()
    {
        CVolumeUnit unit(0);
        QCOMPARE(unit.slider()->pageStep(), 50);
        unit.setRange(-40, 40, 0.1f, 2, 50);
        QCOMPARE(unit.slider()->pageStep(), 50);
        unit.setGainTableEnabled(true);
        QCOMPARE(unit.slider()->pageStep(), 10);
        QCOMPARE(unit.slider()->singleStep(), 2);
        unit.setRange(-15, 15, 0.1f, 1, 25);
        QCOMPARE(unit.slider()->pageStep(), 25);
        unit.setGainTableEnabled(false);
        QCOMPARE(unit.slider()->pageStep(), 10);
        QCOMPARE(unit.slider()->minimum(), -150);
    }

    void tickLabels()
    {
        CVolumeUnit unit(0);
        unit.setRange(-15, 15, 0.1f, 1, 10);
        unit.setTickInterval(5);
        QCOMPARE(unit.tickLabels(), (QStringList{"-15", "-10", "-5", "0", "5", "10", "15"}));
        unit.setUnit(" dB");
        QCOMPARE(unit.tickLabels().first(), QString("-15 dB"));
        unit.setTickInterval(12);
        QCOMPARE(unit.tickLabels(), (QStringList{"-15 dB", "-3 dB", "9 dB"}));
    }

    void tickIntervalZeroPaintsHalfTheRange()
    {
        CVolumeUnit unit(0);
        unit.setRange(-40, 40, 0.1f, 1, 50);
        unit.setTickInterval(0);
        unit.resize(unit.sizeHint());
        QCOMPARE(unit.tickLabels(), QStringList());
        unit.grab();
        QCOMPARE(unit.tickLabels(), QStringList());  // ticks not visible: no labels painted
        unit.setTicksVisible(2);
        QCOMPARE(unit.slider()->tickPosition(), QSlider::TicksRight);
        unit.grab();
        QCOMPARE(unit.tickLabels(), (QStringList{"-40", "0", "40"}));
    }

    void valueFieldAppliesEachKeystroke()
    {
        CVolumeUnit unit(0);
        unit.setGainTableEnabled(true);
        unit.setRange(-40, 40, 0.1f, 1, 50);
        unit.setVolume(0.0f);
        SignalLog log;
        watchLevels(log, unit);
        typeInto(unit.valueEdit(), "1");
        QCOMPARE(unit.slider()->value(), 10);
        QCOMPARE(unit.valueEdit()->text(), QString("1.0"));
        QCOMPARE(log.names(), (QStringList{"gainChanged", "volumeChanged"}));
        // A text that maps to the current position changes nothing and
        // stays as typed.
        log.clear();
        typeInto(unit.valueEdit(), "1");
        QCOMPARE(unit.valueEdit()->text(), QString("1"));
        QCOMPARE(log.names(), QStringList());
        // A pasted text beyond the range: the slider clamps and the field
        // shows its limit.
        unit.valueEdit()->setText("40.5");
        QCOMPARE(unit.slider()->value(), 400);
        QCOMPARE(unit.valueEdit()->text(), QString("40.0"));
    }

    // Typing "-12" over -20 dB: the "-" on the way must not read as 0 dB,
    // a 20 dB jump in the monitor or the recording.
    void typingNeverPassesThroughZeroDb()
    {
        CVolumeUnit unit(0);
        unit.setGainTableEnabled(true);
        unit.setRange(-40, 40, 0.1f, 1, 50);
        unit.setVolume(-20.0f);
        SignalLog log;
        watchLevels(log, unit);
        QTest::keyClick(unit.valueEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(unit.valueEdit(), '-');
        QCOMPARE(unit.valueEdit()->text(), QString("-"));
        QCOMPARE(unit.slider()->value(), -200);
        QCOMPARE(log.names(), QStringList());
        QTest::keyClicks(unit.valueEdit(), "12");
        for (const QVariant& dB : log.values("volumeChanged"))
            QVERIFY2(dB.toFloat() < -0.5f, qPrintable(QString("the gain passed %1 dB").arg(dB.toFloat())));
        QVERIFY(!log.values("volumeChanged").isEmpty());
    }

    void textsOnTheWayToANumberLeaveTheGain_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("step");
        QTest::newRow("empty") << "" << -200;
        QTest::newRow("minus") << "-" << -200;
        QTest::newRow("plus") << "+" << -200;
        QTest::newRow("dot") << "." << -200;
        QTest::newRow("1.") << "1." << -200;
        QTest::newRow("-1.") << "-1." << -200;
        QTest::newRow("-12") << "-12" << -120;
        QTest::newRow("+3") << "+3" << 30;
        QTest::newRow(".5") << ".5" << 5;
        QTest::newRow("-0.5") << "-0.5" << -5;
        QTest::newRow("1.5 in any locale") << "1.5" << 15;
        QTest::newRow("0") << "0" << 0;
    }

    void textsOnTheWayToANumberLeaveTheGain()
    {
        QFETCH(QString, text);
        QFETCH(int, step);
        CVolumeUnit unit(0);
        unit.setVolume(-20.0f);
        QSignalSpy volume(&unit, &CVolumeUnit::volumeChanged);
        unit.valueEdit()->setText(text);
        QCOMPARE(unit.slider()->value(), step);
        QCOMPARE(volume.count(), step == -200 ? 0 : 1);
        if (step == -200)
            QCOMPARE(unit.valueEdit()->text(), text);
    }

    void labelChangesOnceAndBecomesTheToolTip()
    {
        CVolumeUnit unit(CVolumeUnit::kLabel);
        QCOMPARE(unit.label(), QString("0"));
        QCOMPARE(unit.labelWidget()->toolTip(), QString("Channel Label (click to change)"));
        QSignalSpy spy(&unit, &CVolumeUnit::labelChanged);
        unit.setLabel("0");
        unit.setLabel("Beam 2");
        unit.setLabel("Beam 2");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toString(), QString("Beam 2"));
        QCOMPARE(unit.labelWidget()->text(), QString("Beam 2"));
        QCOMPARE(unit.labelWidget()->toolTip(), QString("Beam 2"));
    }

    void labelDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("label");
        QTest::newRow("OK") << "Choir left" << "OK" << "Choir left";
        QTest::newRow("Cancel") << "Choir left" << "Cancel" << "Beam 1";
        QTest::newRow("OK on an empty text") << "" << "OK" << "Beam 1";
    }

    void labelDialog()
    {
        QFETCH(QString, typed);
        QFETCH(QString, button);
        QFETCH(QString, label);
        CVolumeUnit unit(CVolumeUnit::kLabel);
        unit.setLabel("Beam 1");
        ModalAnswerer answerer;
        answerer.fillAndPress(typed, button);
        unit.labelDialog();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].title, QString("Label Dialog"));
        QVERIFY(answerer.seen()[0].labels.contains("New Label:"));
        QCOMPARE(unit.label(), label);
    }

    void pressOnTheLabelOpensTheDialog()
    {
        CVolumeUnit unit(CVolumeUnit::kLabel);
        unit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&unit));
        ModalAnswerer answerer;
        answerer.press("Cancel");
        QTest::mousePress(&unit, Qt::LeftButton, {}, QPoint(2, 2));
        QCoreApplication::processEvents();
        QCOMPARE(answerer.seen().size(), 0);
        unit.labelWidget()->setAttribute(Qt::WA_UnderMouse);
        QTest::mousePress(&unit, Qt::RightButton, {}, unit.labelWidget()->geometry().center());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].title, QString("Label Dialog"));
    }

    void flagsDecideWhichPartsShow_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("none") << 0 << QStringList{};
        QTest::newRow("mute") << 1 << QStringList{"M"};
        QTest::newRow("label") << 4 << QStringList{"label"};
        QTest::newRow("mute and link") << 9 << QStringList{"M", "L"};
        QTest::newRow("all") << 15 << QStringList{"label", "M", "S", "L"};
    }

    void flagsDecideWhichPartsShow()
    {
        QFETCH(int, flags);
        QFETCH(QStringList, shown);
        CVolumeUnit unit(flags);
        unit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&unit));
        QStringList visible;
        if (unit.labelWidget()->isVisible())
            visible << "label";
        for (auto* button : {unit.muteButton(), unit.soloButton(), unit.linkButton()}) {
            if (button->isVisible())
                visible << button->onText();
            QCOMPARE(button->size(), QSize(14, 14));
            QVERIFY(button->isCheckable());
        }
        QCOMPARE(visible, shown);
        QVERIFY(unit.valueEdit()->isVisible());
        QVERIFY(unit.slider()->isVisible());
        if (flags == 0) {
            QCOMPARE(unit.minimumSizeHint(), QSize(45, 140));
            QCOMPARE(unit.sizeHint(), QSize(55, 160));
        } else {
            QVERIFY(unit.minimumSizeHint().height() > 140 + 14 * (shown.size() - shown.contains("label")));
        }
    }

    void switchesReportClicksButNotSetters()
    {
        CVolumeUnit unit(CVolumeUnit::kMute | CVolumeUnit::kSolo | CVolumeUnit::kLink);
        SignalLog log;
        log.watch(&unit, &CVolumeUnit::muteClicked, "mute");
        log.watch(&unit, &CVolumeUnit::soloClicked, "solo");
        log.watch(&unit, &CVolumeUnit::linkClicked, "link");
        unit.setMute(true);
        unit.setSolo(true);
        unit.setLink(true);
        QVERIFY(unit.muteButton()->isChecked() && unit.soloButton()->isChecked() && unit.linkButton()->isChecked());
        QCOMPARE(log.names(), QStringList());
        unit.muteButton()->click();
        unit.linkButton()->click();
        QCOMPARE(log.names(), (QStringList{"mute", "link"}));
        QCOMPARE(log.values("mute")[0].toBool(), false);
    }
};

ORVELAN_APP_TEST_MAIN(VolumeUnitTest)
#include "volume_unit_test.moc"

// The input gain: which preamplifier step a stored value selects, the
// gains each step button and each fader move report (the step alone, the
// fader alone and their product), and restoring a state without feedback.
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <cmath>

#include "support/app_test_main.h"
#include "support/signal_log.h"
#include "widgets/input_volume.h"
#include "widgets/on_off_button.h"
#include "widgets/volume_unit.h"

using orvelan::app::CInputVolume;
using orvelan::app::CVolumeUnit;
using orvelan::apptest::SignalLog;

namespace {

float dBToFactor(double dB)
{
    return static_cast<float>(std::pow(10.0, dB / 20.0));
}

bool closeTo(double actual, double expected)
{
    return std::abs(actual - expected) <= 1e-5 * std::abs(expected);
}

void watch(SignalLog& log, CInputVolume& panel)
{
    log.watch(&panel, &CInputVolume::preampVolumeChanged, "preamp");
    log.watch(&panel, &CInputVolume::sliderGainChanged, "slider");
    log.watch(&panel, &CInputVolume::gainChanged, "gain");
    log.watch(&panel, &CInputVolume::muteClicked, "mute");
}

}  // namespace

class InputVolumeTest : public QObject {
    Q_OBJECT

private slots:
    void buildsTheStepsTopDownAndTheStrip()
    {
        CInputVolume panel;
        QStringList texts;
        for (QLabel* label : panel.findChildren<QLabel*>())
            if (label->text().endsWith(" dB"))
                texts << label->text();
        QCOMPARE(texts, (QStringList{"30 dB", "20 dB", "10 dB", "0 dB", "-10 dB"}));
        QVERIFY(panel.buttonGroup().button(0)->isChecked());
        QCOMPARE(panel.preampVolume(), -10);
        QCOMPARE(panel.sliderGain(), 1.0f);
        QVERIFY(closeTo(panel.gain(), dBToFactor(-10)));
        QCOMPARE(panel.strip()->minDb(), -15);
        QCOMPARE(panel.strip()->maxDb(), 15);
        QCOMPARE(panel.strip()->tickLabels(), (QStringList{"-15", "-10", "-5", "0", "5", "10", "15"}));
        QVERIFY(panel.strip()->muteButton()->isVisibleTo(&panel));
        QVERIFY(!panel.strip()->soloButton()->isVisibleTo(&panel));
    }

    void storedPreampValueSelectsTheNextStepUp_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("step");
        QTest::newRow("5 -> 10") << 5 << 10;
        QTest::newRow("-20 -> -10") << -20 << -10;
        QTest::newRow("30 -> 30") << 30 << 30;
        QTest::newRow("0 exactly") << 0 << 0;
        QTest::newRow("11 -> 20") << 11 << 20;
        QTest::newRow("31 -> the top step") << 31 << 30;
        QTest::newRow("far above -> the top step") << 1000 << 30;
    }

    void storedPreampValueSelectsTheNextStepUp()
    {
        QFETCH(int, stored);
        QFETCH(int, step);
        CInputVolume panel;
        panel.setVolume(6);
        SignalLog log;
        watch(log, panel);
        panel.setPreampVolume(stored);
        QCOMPARE(panel.preampVolume(), step);
        const int id = (step + 10) / 10;
        QVERIFY(panel.buttonGroup().button(id)->isChecked());
        QCOMPARE(panel.buttonGroup().checkedId(), id);
        QVERIFY(closeTo(panel.gain(), dBToFactor(step) * dBToFactor(6)));
        QCOMPARE(log.names(), QStringList());
    }

    void eachStepButtonReportsTheStepAndTheTotal()
    {
        CInputVolume panel;
        panel.setVolume(6);
        const float fader = panel.sliderGain();
        QVERIFY(closeTo(fader, dBToFactor(6)));
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        for (int id : {3, 4, 1, 0, 2, 2}) {
            SignalLog log;
            watch(log, panel);
            QTest::mouseClick(panel.buttonGroup().button(id), Qt::LeftButton);
            const int step = -10 + 10 * id;
            QCOMPARE(log.names(), (QStringList{"preamp", "gain"}));
            QCOMPARE(log.values("preamp")[0].toInt(), step);
            QVERIFY2(closeTo(log.values("gain")[0].toFloat(), dBToFactor(step) * fader), qPrintable(QString::number(id)));
            QCOMPARE(panel.preampVolume(), step);
            QCOMPARE(panel.sliderGain(), fader);
            QVERIFY(closeTo(panel.gain(), dBToFactor(step) * fader));
        }
    }

    void faderMovesReportTheFaderAndTheTotal()
    {
        CInputVolume panel;
        panel.setPreampVolume(20);
        SignalLog log;
        watch(log, panel);
        panel.strip()->slider()->setValue(-35);
        QCOMPARE(log.names(), (QStringList{"slider", "gain"}));
        QVERIFY(closeTo(log.values("slider")[0].toFloat(), dBToFactor(-3.5)));
        QVERIFY(closeTo(log.values("gain")[0].toFloat(), dBToFactor(20 - 3.5)));
        QVERIFY(closeTo(panel.sliderGain(), dBToFactor(-3.5)));
        QVERIFY(closeTo(panel.gain(), dBToFactor(16.5)));
        // The stored fader value is whole dB, truncated toward zero.
        QCOMPARE(panel.volume(), -3);
    }

    void setVolumeKeepsBothGainsInStep()
    {
        CInputVolume panel;
        panel.setPreampVolume(10);
        SignalLog log;
        watch(log, panel);
        panel.setVolume(-12);
        QCOMPARE(panel.volume(), -12);
        QVERIFY(closeTo(panel.sliderGain(), dBToFactor(-12)));
        QVERIFY(closeTo(panel.gain(), dBToFactor(-2)));
        // The fader moved, so it reports as any move does; the same value
        // again leaves it where it is and reports nothing.
        QCOMPARE(log.names(), (QStringList{"slider", "gain"}));
        log.clear();
        panel.setVolume(-12);
        QCOMPARE(log.names(), QStringList());
        // Beyond the strip's range the fader stops at its end.
        panel.setVolume(40);
        QCOMPARE(panel.volume(), 15);
        QVERIFY(closeTo(panel.sliderGain(), dBToFactor(15)));
    }

    void muteIsForwarded()
    {
        CInputVolume panel;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        SignalLog log;
        watch(log, panel);
        QTest::mouseClick(panel.strip()->muteButton(), Qt::LeftButton);
        QTest::mouseClick(panel.strip()->muteButton(), Qt::LeftButton);
        QCOMPARE(log.names(), (QStringList{"mute", "mute"}));
        QCOMPARE(log.values("mute"), (QVariantList{true, false}));
    }
};

ORVELAN_APP_TEST_MAIN(InputVolumeTest)
#include "input_volume_test.moc"

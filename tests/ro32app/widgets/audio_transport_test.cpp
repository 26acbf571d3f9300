// The transport's state table: every setState code from every state, in
// both record modes, with the signals it emits in order and the checked
// and enabled state of every button afterwards.
#include <QPushButton>
#include <QTest>

#include "app/resources.h"
#include "support/app_test_main.h"
#include "support/signal_log.h"
#include "widgets/audio_transport.h"

using orvelan::app::CAudioTransport;
using orvelan::apptest::SignalLog;

namespace {

constexpr int kAllButtons = 0x1F;
constexpr int kWindowMask = 0x17;  // the main window's: no loop

void watchAll(SignalLog& log, CAudioTransport& transport)
{
    log.watch(&transport, &CAudioTransport::startAudio, "startAudio");
    log.watch(&transport, &CAudioTransport::stopAudio, "stopAudio");
    log.watch(&transport, &CAudioTransport::pauseAudio, "pauseAudio");
    log.watch(&transport, &CAudioTransport::loopAudio, "loopAudio");
    log.watch(&transport, &CAudioTransport::recordAudioOn, "recordAudioOn");
    log.watch(&transport, &CAudioTransport::recordAudioOff, "recordAudioOff");
}

struct NamedButton {
    const char* name;
    QPushButton* button;
};

QList<NamedButton> buttonsOf(const CAudioTransport& transport)
{
    return {{"stop", transport.stopButton()},
            {"pause", transport.pauseButton()},
            {"start", transport.startButton()},
            {"loop", transport.loopButton()},
            {"rec", transport.recordButton()}};
}

QStringList checkedButtons(const CAudioTransport& transport)
{
    QStringList names;
    for (const NamedButton& b : buttonsOf(transport))
        if (b.button->isChecked())
            names << b.name;
    return names;
}

QStringList disabledButtons(const CAudioTransport& transport)
{
    QStringList names;
    for (const NamedButton& b : buttonsOf(transport))
        if (!b.button->isEnabled())
            names << b.name;
    return names;
}

}  // namespace

class AudioTransportTest : public QObject {
    Q_OBJECT

private slots:
    void setStateFollowsTheTable_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QStringList>("disabled");
        const QStringList none;
        using L = QStringList;

        // Record mode 1: recording switches at any time, stopping ends it.
        QTest::newRow("1 stopped, stop") << 1 << QList<int>{1} << 1 << none << L{"stop"} << none;
        QTest::newRow("1 stopped, pause") << 1 << QList<int>{1} << 2 << L{"pauseAudio"} << L{"pause"} << none;
        QTest::newRow("1 stopped, start") << 1 << QList<int>{1} << 4 << L{"startAudio"} << L{"start"} << none;
        QTest::newRow("1 stopped, loop") << 1 << QList<int>{1} << 8 << L{"loopAudio"} << L{"loop"} << none;
        QTest::newRow("1 stopped, record on")
            << 1 << QList<int>{1} << 0x80 << L{"recordAudioOn"} << L{"stop", "rec"} << L{"loop"};
        QTest::newRow("1 stopped, record off") << 1 << QList<int>{1} << 0x81 << none << L{"stop"} << none;
        QTest::newRow("1 stopped, mask bit is no code") << 1 << QList<int>{1} << 16 << none << L{"stop"} << none;
        QTest::newRow("1 stopped, unknown code") << 1 << QList<int>{1} << 3 << none << L{"stop"} << none;
        QTest::newRow("1 started, stop") << 1 << QList<int>{1, 4} << 1 << L{"stopAudio"} << L{"stop"} << none;
        QTest::newRow("1 started, start") << 1 << QList<int>{1, 4} << 4 << none << L{"start"} << none;
        QTest::newRow("1 recording, stop")
            << 1 << QList<int>{1, 4, 0x80} << 1 << L{"stopAudio", "recordAudioOff", "recordAudioOff"} << L{"stop"}
            << none;
        QTest::newRow("1 recording paused, stop")
            << 1 << QList<int>{1, 2, 0x80} << 1 << L{"stopAudio", "recordAudioOff", "recordAudioOff"} << L{"stop"}
            << none;
        QTest::newRow("1 recording, record off")
            << 1 << QList<int>{1, 4, 0x80} << 0x81 << L{"recordAudioOff"} << L{"start"} << none;
        QTest::newRow("1 recording, record on") << 1 << QList<int>{1, 4, 0x80} << 0x80 << none << L{"start", "rec"}
                                                << L{"loop"};
        QTest::newRow("1 recording, pause")
            << 1 << QList<int>{1, 4, 0x80} << 2 << L{"pauseAudio"} << L{"pause", "rec"} << L{"loop"};
        QTest::newRow("1 recording stopped, stop")
            << 1 << QList<int>{1, 0x80} << 1 << none << L{"stop", "rec"} << L{"loop"};
        QTest::newRow("1 recording stopped, start")
            << 1 << QList<int>{1, 0x80} << 4 << L{"startAudio"} << L{"start", "rec"} << L{"loop"};

        // Any other mode: armed or disarmed only while stopped.
        QTest::newRow("0 stopped, arm")
            << 0 << QList<int>{1} << 0x80 << L{"recordAudioOn"} << L{"stop", "rec"} << L{"pause", "loop"};
        QTest::newRow("0 stopped, start") << 0 << QList<int>{1} << 4 << L{"startAudio"} << L{"start"} << L{"rec"};
        QTest::newRow("0 stopped, pause") << 0 << QList<int>{1} << 2 << L{"pauseAudio"} << L{"pause"} << L{"rec"};
        QTest::newRow("0 stopped, stop") << 0 << QList<int>{1} << 1 << none << L{"stop"} << none;
        QTest::newRow("0 started, stop") << 0 << QList<int>{1, 4} << 1 << L{"stopAudio"} << L{"stop"} << none;
        QTest::newRow("0 started, pause") << 0 << QList<int>{1, 4} << 2 << L{"pauseAudio"} << L{"pause"} << L{"rec"};
        QTest::newRow("0 armed, start")
            << 0 << QList<int>{1, 0x80} << 4 << L{"startAudio"} << L{"start", "rec"} << L{"pause", "loop"};
        QTest::newRow("0 armed, disarm") << 0 << QList<int>{1, 0x80} << 0x81 << L{"recordAudioOff"} << L{"stop"}
                                         << none;
        QTest::newRow("0 armed, stop")
            << 0 << QList<int>{1, 0x80} << 1 << none << L{"stop", "rec"} << L{"pause", "loop"};
        QTest::newRow("0 armed running, disarm refused")
            << 0 << QList<int>{1, 0x80, 4} << 0x81 << none << L{"start", "rec"} << L{"pause", "loop"};
        QTest::newRow("0 armed running, stop")
            << 0 << QList<int>{1, 0x80, 4} << 1 << L{"stopAudio"} << L{"stop", "rec"} << L{"pause", "loop"};
        // Arming while running cannot start a recording: the button lights
        // up, disabled, and nothing is said.
        QTest::newRow("0 running, arm refused")
            << 0 << QList<int>{1, 4} << 0x80 << none << L{"start", "rec"} << L{"rec"};
    }

    void setStateFollowsTheTable()
    {
        QFETCH(int, mode);
        QFETCH(QList<int>, before);
        QFETCH(int, code);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, checked);
        QFETCH(QStringList, disabled);

        CAudioTransport transport(QString(), kAllButtons, mode);
        for (int step : before)
            transport.setState(step);
        SignalLog log;
        watchAll(log, transport);
        transport.setState(code);
        QCOMPARE(log.names(), emitted);
        QCOMPARE(checkedButtons(transport), checked);
        QCOMPARE(disabledButtons(transport), disabled);
    }

    // A click takes the same path as setState, and the checked transport
    // button cannot be clicked off.
    void clicksEmitAsSetStateDoes()
    {
        CAudioTransport transport(QString(), kWindowMask, 1);
        transport.show();
        QVERIFY(QTest::qWaitForWindowExposed(&transport));
        transport.setState(1);
        SignalLog log;
        watchAll(log, transport);
        QTest::mouseClick(transport.startButton(), Qt::LeftButton);
        QTest::mouseClick(transport.recordButton(), Qt::LeftButton);
        QTest::mouseClick(transport.startButton(), Qt::LeftButton);
        QTest::mouseClick(transport.stopButton(), Qt::LeftButton);
        QCOMPARE(log.names(), (QStringList{"startAudio", "recordAudioOn", "stopAudio", "recordAudioOff",
                                           "recordAudioOff"}));
        QCOMPARE(checkedButtons(transport), QStringList{"stop"});
    }

    void onlyTheMaskedButtonsAreShown_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("window") << kWindowMask << QStringList{"stop", "pause", "start", "rec"};
        QTest::newRow("all") << kAllButtons << QStringList{"stop", "pause", "start", "loop", "rec"};
        QTest::newRow("no record") << 0x0F << QStringList{"stop", "pause", "start", "loop"};
        QTest::newRow("start and stop") << 0x05 << QStringList{"stop", "start"};
    }

    void onlyTheMaskedButtonsAreShown()
    {
        QFETCH(int, mask);
        QFETCH(QStringList, shown);
        CAudioTransport transport(orvelan::app::kResourcePath, mask, 1);
        transport.show();
        QVERIFY(QTest::qWaitForWindowExposed(&transport));
        QStringList visible;
        for (const NamedButton& b : buttonsOf(transport))
            if (b.button->isVisible())
                visible << b.name;
        QCOMPARE(visible, shown);
        // An unplaced button still works: it is created and connected.
        SignalLog log;
        watchAll(log, transport);
        transport.setState(8);
        QCOMPARE(log.names(), QStringList{"loopAudio"});
        QVERIFY(!transport.loopButton()->isVisible() || shown.contains("loop"));
    }

    void buttonsWithoutIconPathAreText()
    {
        CAudioTransport transport(QString(), kAllButtons, 1);
        QStringList texts;
        for (const NamedButton& b : buttonsOf(transport)) {
            texts << b.button->text();
            QVERIFY(b.button->icon().isNull());
            QVERIFY(b.button->isCheckable());
        }
        QCOMPARE(texts, (QStringList{"Stop", "Pause", "Start", "Loop", "Rec"}));
    }

    void iconButtonsShowTheCompiledInImages_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("stop") << 1 << "stop" << "stop streaming audio";
        QTest::newRow("pause") << 2 << "pause" << "pause streaming audio";
        QTest::newRow("start") << 4 << "play" << "start streaming audio";
        QTest::newRow("record") << 0x80 << "record" << "acivate/de-activate recording";
    }

    void iconButtonsShowTheCompiledInImages()
    {
        QFETCH(int, code);
        QFETCH(QString, image);
        QFETCH(QString, toolTip);
        CAudioTransport transport(orvelan::app::kResourcePath, kWindowMask, 1);
        QPushButton* button = code == 1   ? transport.stopButton()
                              : code == 2 ? transport.pauseButton()
                              : code == 4 ? transport.startButton()
                                          : transport.recordButton();
        QCOMPARE(button->text(), QString());
        QCOMPARE(button->toolTip(), toolTip);
        QVERIFY(button->isFlat());
        QCOMPARE(button->iconSize(), QSize(64, 64));
        const QSize full(512, 512);
        const QString base = orvelan::app::kResourcePath + "/" + image;
        const auto pixmapImage = [&](QIcon::State state) {
            return button->icon().pixmap(full, QIcon::Normal, state).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        const QImage inactive = QImage(base + "Inactive.png").convertToFormat(QImage::Format_ARGB32);
        const QImage active = QImage(base + "Active.png").convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!inactive.isNull() && !active.isNull());
        QCOMPARE(pixmapImage(QIcon::Off), inactive);
        QCOMPARE(pixmapImage(QIcon::On), active);
    }
};

ORVELAN_APP_TEST_MAIN(AudioTransportTest)
#include "audio_transport_test.moc"

// The box bridge against the box simulator on the virtual MIDI bus: the
// control thread's answers reach the GUI thread as signals in the order the
// thread made them, the start-up wait reads the box's answers into the
// output groups and the preamplifier decision, and a box that never lets
// the thread decide ends the wait at its bound, as no box.

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <chrono>
#include <memory>

#include "app/zorb_bridge.h"
#include "midi/virtual_midi_bus.h"
#include "sim/box_simulator.h"
#include "support/app_test_main.h"

using orvelan::app::CZorbBridge;
using orvelan::boxcontrol::BoxSimulator;
using orvelan::boxcontrol::kBoxPortName;
using orvelan::platform::midi::virtual_delivery;
using orvelan::platform::midi::virtual_midi_bus;
using namespace std::chrono_literals;

namespace {

using Confirmation = QPair<int, int>;

// What reached the receiver, and whether all of it came on the GUI thread.
struct Received {
    QList<Confirmation> confirmations;
    int problems = 0;
    bool offGuiThread = false;

    void watch(CZorbBridge& bridge, QObject* context)
    {
        QObject::connect(&bridge, &CZorbBridge::msgConfirmed, context, [this](int cmd, int value) {
            offGuiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            confirmations << Confirmation{cmd, value};
        });
        QObject::connect(&bridge, &CZorbBridge::connectionProblems, context, [this] {
            offGuiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            ++problems;
        });
    }
};

// The bridge watched, its thread started, and the start-up wait's decision.
CZorbBridge::BoxDecision startAndWait(CZorbBridge& bridge, Received& received, QObject* receiver)
{
    received.watch(bridge, receiver);
    bridge.startControl();
    return bridge.waitForBox();
}

}  // namespace

class ZorbBridgeThreadsTest : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<virtual_midi_bus> bus;
    std::unique_ptr<BoxSimulator> box;

private slots:
    void init()
    {
        bus = std::make_shared<virtual_midi_bus>(virtual_delivery::threaded);
        box = std::make_unique<BoxSimulator>(*bus, kBoxPortName);
    }

    void cleanup()
    {
        box.reset();
        bus.reset();
    }

    void boxAnswersReachTheGuiThreadInOrder()
    {
        std::array<std::uint16_t, 32> calibration{};
        calibration.fill(0x1000);
        box->setCalibration(calibration);
        QObject receiver;
        Received received;
        {
            CZorbBridge bridge(bus, 20ms);
            const CZorbBridge::BoxDecision decision = startAndWait(bridge, received, &receiver);
            QVERIFY(decision.decided);
            QCOMPARE(decision.availableZorbOutputGroups, 7);
            QVERIFY(decision.boxSetsPreamp);
            // Nothing comes while the GUI thread waits: the signals are
            // events of its own loop.
            QVERIFY(received.confirmations.isEmpty());

            QTRY_COMPARE_WITH_TIMEOUT(received.confirmations.size(), 4, 10000);
            QCOMPARE(received.confirmations, (QList<Confirmation>{{0x10004, 1}, {0x30001, 1}, {0x11000, 3},
                                                                  {0x80000, 1}}));
            QVERIFY(!received.offGuiThread);
            QCOMPARE(received.problems, 0);
            float values[32];
            QCOMPARE(bridge.control().getCalibration(values, 32), 0);
            QCOMPARE(values[31], 1.0f);
        }
        // Whatever the thread still posted went with the bridge.
        QCoreApplication::processEvents();
        QCOMPARE(received.confirmations.size(), 4);
    }

    // The box's answers, a box that stays silent until the thread gives up
    // on it, and no port of the box's name at all; the last two are no box,
    // reported once.
    void startUpDecision_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("answer10004");
        QTest::addColumn<QString>("answer11000");
        QTest::addColumn<QString>("answer30001");
        QTest::addColumn<int>("groups");
        QTest::addColumn<bool>("boxSetsPreamp");

        QTest::newRow("all three groups") << "answers" << "1" << "3" << "1" << 7 << true;
        QTest::newRow("another 0x11000 answer") << "answers" << "1" << "2" << "1" << 3 << true;
        QTest::newRow("0x10004 answered 0") << "answers" << "0" << "3" << "1" << 3 << true;
        QTest::newRow("no preamplifier in the box") << "answers" << "1" << "3" << "0" << 7 << false;
        QTest::newRow("silent box") << "silent" << "" << "" << "" << 0 << false;
        QTest::newRow("no port") << "none" << "" << "" << "" << 0 << false;
    }

    void startUpDecision()
    {
        QFETCH(QString, box);
        QFETCH(QString, answer10004);
        QFETCH(QString, answer11000);
        QFETCH(QString, answer30001);
        QFETCH(int, groups);
        QFETCH(bool, boxSetsPreamp);

        if (box == "answers") {
            this->box->setAnswer(0x10004, answer10004.toStdString());
            this->box->setAnswer(0x11000, answer11000.toStdString());
            this->box->setAnswer(0x30001, answer30001.toStdString());
        } else if (box == "silent") {
            this->box->setFault(BoxSimulator::Fault::silent);
        } else {
            this->box.reset();
        }
        QObject receiver;
        Received received;
        CZorbBridge bridge(bus, 20ms);
        const CZorbBridge::BoxDecision decision = startAndWait(bridge, received, &receiver);
        QVERIFY(decision.decided);
        QCOMPARE(decision.availableZorbOutputGroups, groups);
        QCOMPARE(decision.boxSetsPreamp, boxSetsPreamp);
        if (box != "answers") {
            QTRY_COMPARE_WITH_TIMEOUT(received.problems, 1, 10000);
            QVERIFY(!received.offGuiThread);
        }
    }

    void aBoxThatNeverLetsTheThreadDecideEndsTheWait()
    {
        // Silent, and the thread would take some 10 minutes to give up.
        box->setFault(BoxSimulator::Fault::silent);
        CZorbBridge bridge(bus, 60s);
        bridge.startControl();
        const auto started = std::chrono::steady_clock::now();
        const CZorbBridge::BoxDecision decision = bridge.waitForBox();
        QVERIFY(std::chrono::steady_clock::now() - started < 30s);
        QVERIFY(!decision.decided);
        QCOMPARE(bridge.control().connectionState(), 1);
        QVERIFY(!bridge.control().statusKnown());
        QCOMPARE(decision.availableZorbOutputGroups, 0);
        QVERIFY(!decision.boxSetsPreamp);
    }
};

ORVELAN_APP_TEST_MAIN(ZorbBridgeThreadsTest)
#include "zorb_bridge_threads_test.moc"

// The main window with the interface box answering on the virtual MIDI bus
// (the box simulator, on a thread of its own): the box's groups and its
// preamplifier decide the option pages and the input wiring, and the
// calibration the box serves after start-up reaches the chain (as linear
// gains) at a later tick, turning the title from "not calibrated" to "calibrated".
// Before any Qt header (the fixture brings them): the box's headers use
// emit as a name, which Qt's keyword macro of that name would blank out.
#include "protocol/zorb_control.h"
#include "sim/box_simulator.h"
#include "app/window_fixture.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QTest>

#include <array>
#include <cmath>
#include <memory>

#include "options/ro_options.h"
#include "support/app_test_main.h"
#include "widgets/input_volume.h"
#include "widgets/volume_unit.h"

using orvelan::app::Ro32App;
using orvelan::apptest::kBoxDriver;
using orvelan::apptest::listDriver;
using orvelan::boxcontrol::BoxSimulator;
using orvelan::boxcontrol::kBoxPortName;
using orvelan::platform::midi::virtual_delivery;
using orvelan::platform::midi::virtual_midi_bus;

namespace {

const QString kTitle = QStringLiteral("Orvelan -- beta -- (fs = 44.1kHz, %1)");

int preampCommands(const BoxSimulator& box)
{
    int count = 0;
    for (std::uint32_t cmd : box.commandIds())
        count += cmd == orvelan::boxcontrol::zorb_cmd_preamp_gain ? 1 : 0;
    return count;
}

}  // namespace

class Ro32AppBoxThreadsTest : public QObject {
    Q_OBJECT

private slots:
    void boxDecidesPagesWiringAndCalibration()
    {
        listDriver(kBoxDriver);
        auto bus = std::make_shared<virtual_midi_bus>(virtual_delivery::threaded);
        auto box = std::make_unique<BoxSimulator>(*bus, kBoxPortName);
        box->setAnswer(0x10004, "1");
        box->setAnswer(0x11000, "3");
        box->setAnswer(0x30001, "1");
        std::array<std::uint16_t, 32> calibration{};
        // 6 dB each: the box's calibrations lie between 0 and 16 dB.
        calibration.fill(6 * 4096);
        box->setCalibration(calibration);

        auto window = std::make_unique<Ro32App>(bus);
        window->show();
        QCOMPARE(window->availableZorbOutputGroups(), 7);
        QVERIFY(window->boxSetsPreamp());
        QVERIFY(window->optionsWindow()->zorbOutputPage());
        QVERIFY(window->optionsWindow()->zorbMonitorPage());
        QVERIFY(!window->optionsWindow()->outputPage());
        // The box's answers are in; its calibration is not yet.
        QCOMPARE(window->windowTitle(), kTitle.arg("not calibrated"));

        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), kTitle.arg("calibrated"), 15000);
        orvelan::io::CAudioGraph* graph = window->graph();
        for (int capsule : {0, 17, 31})
            QVERIFY(std::abs(graph->inputVolume().effectiveGain(capsule) - 1.9953f) < 0.001f);

        // The box takes the preamplifier step; only the fader's gain goes
        // to the chain.
        const int sentBefore = preampCommands(*box);
        for (QAbstractButton* step : window->inputVolumePanel()->buttonGroup().buttons()) {
            step->click();
            if (window->inputVolumePanel()->preampVolume() == 30)
                break;
        }
        QCOMPARE(window->inputVolumePanel()->preampVolume(), 30);
        QVERIFY(std::abs(graph->inputVolume().masterVolume() - 1.0f) < 1e-4f);
        QTRY_VERIFY_WITH_TIMEOUT(preampCommands(*box) > sentBefore, 10000);
        window->inputVolumePanel()->setVolume(-6);
        QVERIFY(std::abs(graph->inputVolume().masterVolume() - 0.5012f) < 0.001f);

        window.reset();
        box.reset();
    }
};

ORVELAN_APP_TEST_MAIN(Ro32AppBoxThreadsTest)
#include "ro32app_box_threads_test.moc"

// The main window's road from the controls to the chain, on the virtual
// device without a box: the chain is built for the device and filled from
// the controls, beam changes from the editor and the polar displays reach
// the chain's beams, a deleted track's successors are sent again, an output
// change builds a new chain, and a device with fewer inputs than the array
// leaves only file input.
#include "app/window_fixture.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cmath>
#include <memory>

#include "options/ro_options.h"
#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "widgets/beam_display_azimuth.h"
#include "widgets/beam_display_elevation.h"
#include "widgets/beam_selection.h"
#include "widgets/input_source_selection.h"
#include "widgets/input_volume.h"

using orvelan::app::Ro32App;
using orvelan::apptest::kBoxDriver;
using orvelan::apptest::listDriver;
using orvelan::apptest::ModalAnswerer;
using orvelan::io::CAudioGraph;

namespace {

int beamAngle(CAudioGraph& graph, int beam, int id)
{
    int value = -1;
    graph.beamformer().getChannelParameter(beam, id, &value, 1, vxTypeInt32);
    return value;
}

int beamPhi(CAudioGraph& graph, int beam)
{
    return beamAngle(graph, beam, CRo32::kPhi);
}


}  // namespace

class Ro32AppRoutingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Ro32App> window;
    std::unique_ptr<ModalAnswerer> answerer;

private slots:
    void init()
    {
        listDriver(kBoxDriver);
        answerer = std::make_unique<ModalAnswerer>();
        window = orvelan::apptest::openWindow();
    }

    void cleanup()
    {
        QCOMPARE(answerer->failures(), QStringList());
        window.reset();
        answerer.reset();
    }

    void chainBuiltForTheDeviceAndFilledFromTheControls()
    {
        CAudioGraph* graph = window->graph();
        QVERIFY(graph);
        QCOMPARE(graph->numInputs(), 32);
        QCOMPARE(graph->numBeams(), 2);  // a fresh start's two tracks
        QCOMPARE(window->beamSelection()->patternList().size(), 12);
        QCOMPARE(graph->inputMode(), int(CAudioGraph::kLiveInput));
        // Without a box the preamplifier step is part of the chain's input
        // gain: 20 dB with the fader at 0 dB.
        QVERIFY(std::abs(graph->inputVolume().masterVolume() - 10.0f) < 1e-4f);
        // The user picks the 30 dB step.
        const QButtonGroup& steps = window->inputVolumePanel()->buttonGroup();
        for (QAbstractButton* step : steps.buttons()) {
            step->click();
            if (window->inputVolumePanel()->preampVolume() == 30)
                break;
        }
        QCOMPARE(window->inputVolumePanel()->preampVolume(), 30);
        QVERIFY(std::abs(graph->inputVolume().masterVolume() - std::pow(10.0f, 1.5f)) < 1e-3f);
    }

    void beamChangesReachTheChain()
    {
        CAudioGraph* graph = window->graph();
        // A row's change, as the editor announces it.
        emit window->beamSelection()->beamTrackPhiChanged(0, 45);
        QCOMPARE(beamPhi(*graph, 0), 45);
        emit window->beamSelection()->beamTrackThetaChanged(1, 60);
        QCOMPARE(beamAngle(*graph, 1, CRo32::kTheta), 60);
        // A drag on the azimuth display steers the active track, in the
        // editor and in the chain.
        window->beamSelection()->setActiveBeamTrack(1);
        emit window->azimuthDisplay()->phiChanged(120);
        QCOMPARE(window->beamSelection()->trackPhi(1), 120);
        QCOMPARE(beamPhi(*graph, 1), 120);
        QCOMPARE(beamPhi(*graph, 0), 45);
        emit window->elevationDisplay()->thetaChanged(30);
        QCOMPARE(window->beamSelection()->trackTheta(1), 30);
        QCOMPARE(beamAngle(*graph, 1, CRo32::kTheta), 30);
    }

    void deletingATrackResendsTheOnesAfterIt()
    {
        CAudioGraph* graph = window->graph();
        auto* editor = window->beamSelection();
        for (int k = 0; k < 3; ++k)
            editor->addButton()->click();
        QCOMPARE(editor->beamTrackCount(), 5);
        QCOMPARE(graph->numBeams(), 5);
        QCOMPARE(window->azimuthDisplay()->curveCount(), 5);
        for (int k = 0; k < 5; ++k) {
            editor->setPhi(k, 10 * k);
            window->updatePhi(k, 10 * k);
        }
        editor->updateActiveBeamTrack(2);  // as a click on its row does
        editor->deleteButton()->click();
        QCOMPARE(editor->beamTrackCount(), 4);
        QCOMPARE(graph->numBeams(), 4);
        QCOMPARE(window->azimuthDisplay()->curveCount(), 4);
        QCOMPARE(window->elevationDisplay()->markerCount(), 4);
        const int expected[] = {0, 10, 30, 40};
        for (int k = 0; k < 4; ++k)
            QCOMPARE(beamPhi(*graph, k), expected[k]);
    }

    void outputChangeBuildsANewChainWithTheControls()
    {
        // With the box's driver: the second group's 8 beam outputs and the
        // two monitor channels, then all three groups (18, the monitor
        // sharing the first group's channels).
        QCOMPARE(window->device().numOutputs, 10);
        QCOMPARE(window->graph()->monitorOutput(0), 8);
        emit window->beamSelection()->beamTrackPhiChanged(1, 200);
        window->beamSelection()->setPhi(1, 200);
        emit window->optionsWindow()->zorbOutputGroupsChanged(7, 2);
        CAudioGraph* after = window->graph();
        QVERIFY(after);
        QCOMPARE(window->device().numOutputs, 18);
        QCOMPARE(after->monitorOutput(0), 16);
        QCOMPARE(after->numBeams(), 2);
        QCOMPARE(beamPhi(*after, 1), 200);
    }

    void fewerInputsThanTheArrayLeaveOnlyFiles()
    {
        window.reset();
        listDriver("Small Device", 8, 8);
        // The box's driver is not there: the user picks the small device.
        answerer->answerWith([](QWidget* dialog) {
            dialog->findChild<QComboBox*>()->setCurrentText("Small Device");
            for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
                if (button->text() == "OK")
                    button->click();
        });
        window = orvelan::apptest::openWindow();
        QVERIFY(!window->inputSource()->liveButton()->isEnabled());
        QCOMPARE(window->inputSource()->mode(), orvelan::app::CInputSourceSelection::File);
        QCOMPARE(window->graph()->inputMode(), int(CAudioGraph::kFileInput));
    }
};

ORVELAN_APP_TEST_MAIN(Ro32AppRoutingTest)
#include "ro32app_routing_test.moc"

// The beam-track editor: the two start tracks, the capacity, removal with
// renumbering and the order of its signals, the azimuth link, the variant
// lookup by name or nearest value, the slots acting on the active track,
// the dirty flag and the streaming lock.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>

#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "support/signal_log.h"
#include "widgets/beam_editor_fixture.h"
#include "widgets/beam_selection.h"
#include "widgets/beam_selection_track.h"
#include "widgets/on_off_button.h"
#include "widgets/volume_unit.h"

using orvelan::app::CBeamSelection;
using orvelan::app::CBeamSelectionTrack;
using namespace orvelan::apptest;

namespace {

void clickTrack(CBeamSelection& editor, int index)
{
    CBeamSelectionTrack* row = editor.track(index);
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(3, row->height() / 2));
}

QStringList labels(const CBeamSelection& editor)
{
    QStringList list;
    for (int k = 0; k < editor.beamTrackCount(); ++k)
        list << editor.track(k)->label();
    return list;
}

void expectIdsInOrder(const CBeamSelection& editor)
{
    for (int k = 0; k < editor.beamTrackCount(); ++k)
        QCOMPARE(editor.track(k)->id(), k);
}

void watchStructure(SignalLog& log, CBeamSelection& editor)
{
    log.watch(&editor, &CBeamSelection::beamTrackAdded, "added");
    log.watch(&editor, &CBeamSelection::beamTrackDeleted, "deleted");
    log.watch(&editor, &CBeamSelection::activeBeamTrackChanged, "active");
}

}  // namespace

class BeamSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void twoTracksAtStartTakeTheTemplate()
    {
        std::srand(7);
        const int red = std::rand() % 256;
        const int green = std::rand() % 256;
        const int blue = std::rand() % 256;
        std::srand(7);
        auto editor = makeBeamEditor(2);
        QCOMPARE(editor->beamTrackCount(), 2);
        QCOMPARE(editor->activeBeamTrack(), -1);
        QCOMPARE(labels(*editor), (QStringList{"beam 1", "beam 2"}));
        // The colour draws red, green and blue in this order.
        QCOMPARE(editor->trackColor(0), QColor(red, green, blue, 255));
        for (int k = 0; k < 2; ++k) {
            QCOMPARE(editor->trackPhi(k), 0);
            QCOMPARE(editor->trackTheta(k), 90);
            QCOMPARE(editor->patternIndex(k), 0);
            QCOMPARE(editor->track(k)->patternText(), QString("omni"));
            QCOMPARE(editor->track(k)->parameterText(), QString("0"));
            QVERIFY(!editor->track(k)->parameterBox()->isEnabled());
            QCOMPARE(editor->trackGain(k), 1.0);
            QVERIFY(!editor->isTrackMuted(k));
            QCOMPARE(editor->trackColor(k).alpha(), 255);
        }
        QVERIFY(!editor->isDirty());
        expectIdsInOrder(*editor);
    }

    void withoutOmniTheFirstPatternAndTheVariantNearestZero()
    {
        CBeamSelection editor(":/ro32app/Resources", 18, 15, 255);
        editor.setPatternAndParameterLists({"super3", "card1"}, {{"-12", "-6", "3", "12"}, {"0"}});
        editor.addBeam();
        QCOMPARE(editor.track(0)->patternText(), QString("super3"));
        QCOMPARE(editor.track(0)->parameterText(), QString("3"));
        QVERIFY(editor.track(0)->parameterBox()->isEnabled());
    }

    void the19thAddChangesNothing()
    {
        auto editor = makeBeamEditor(0);
        SignalLog log;
        watchStructure(log, *editor);
        for (int k = 0; k < 19; ++k)
            editor->addButton()->click();
        QCOMPARE(editor->beamTrackCount(), 18);
        QVariantList expected;
        for (int k = 0; k < 18; ++k)
            expected << k;
        QCOMPARE(log.values("added"), expected);
        QCOMPARE(log.names().size(), 18);
        QCOMPARE(editor->track(17)->label(), QString("beam 18"));
    }

    void deletingTheActiveTrackRenumbersAndChoosesTheNext_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("removed");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("nextActive");
        QTest::newRow("2 of 5") << 5 << 2 << QStringList{"beam 1", "beam 2", "beam 4", "beam 5"} << 2;
        QTest::newRow("last of 3") << 3 << 2 << QStringList{"beam 1", "beam 2"} << 1;
        QTest::newRow("the only one") << 1 << 0 << QStringList{} << -1;
    }

    void deletingTheActiveTrackRenumbersAndChoosesTheNext()
    {
        QFETCH(int, count);
        QFETCH(int, removed);
        QFETCH(QStringList, left);
        QFETCH(int, nextActive);
        auto editor = makeBeamEditor(count);
        editor->show();
        SignalLog log;
        watchStructure(log, *editor);
        const QSize before = editor->size();
        const int rowHeight = editor->track(0)->minimumSizeHint().height();

        clickTrack(*editor, removed);
        editor->deleteButton()->click();

        QCOMPARE(log.names(), (QStringList{"active", "deleted"}));
        QCOMPARE(log.values("active"), QVariantList{removed});
        QCOMPARE(log.values("deleted"), QVariantList{removed});
        QCOMPARE(labels(*editor), left);
        expectIdsInOrder(*editor);
        QCOMPARE(editor->activeBeamTrack(), nextActive);
        for (int k = 0; k < editor->beamTrackCount(); ++k)
            QCOMPARE(editor->track(k)->selected(), k == nextActive);
        QVERIFY(editor->size().height() < before.height() - rowHeight / 2);
        QVERIFY(!editor->isDirty());
    }

    void theDeleteButtonWithoutASelectionSaysSo()
    {
        auto editor = makeBeamEditor(2);
        SignalLog log;
        watchStructure(log, *editor);
        ModalAnswerer answerer;
        answerer.press("OK");
        editor->deleteButton()->click();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].title, QString("Beam Track Dialog"));
        QCOMPARE(answerer.seen()[0].labels.filter("No beam track selected.").size(), 1);
        QCOMPARE(editor->beamTrackCount(), 2);
        QVERIFY(log.names().isEmpty());
    }

    void addAndDeleteAreRefusedWhileStreaming()
    {
        auto editor = makeBeamEditor(3);
        editor->setActiveBeamTrack(1);
        editor->setStreamingActive(true);
        SignalLog log;
        watchStructure(log, *editor);
        ModalAnswerer answerer;
        answerer.press("OK").press("OK");
        editor->addButton()->click();
        editor->deleteButton()->click();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 2);
        for (const ModalAnswerer::Seen& seen : answerer.seen()) {
            QCOMPARE(seen.title, QString("Beam Track Dialog"));
            QCOMPARE(seen.labels.filter("You must stop streaming before adding/deleting a beam track.").size(), 1);
            QCOMPARE(seen.buttons, QStringList{"OK"});
        }
        QCOMPARE(editor->beamTrackCount(), 3);
        QCOMPARE(editor->activeBeamTrack(), 1);
        QVERIFY(log.names().isEmpty());

        // The plain slots still work while streaming; the window uses them.
        editor->addBeam();
        QCOMPARE(editor->beamTrackCount(), 4);
        editor->setStreamingActive(false);
        editor->addButton()->click();
        QCOMPARE(log.values("added"), QVariantList{4});
    }

    void theLinkTurnsTheOtherTracksByTheSameAmount()
    {
        auto editor = makeBeamEditor(3);
        editor->setPhi(0, 10);
        editor->setPhi(1, 0);
        editor->setPhi(2, 200);
        editor->linkButton()->click();
        QVERIFY(editor->phiLinkStatus());
        editor->setActiveBeamTrack(0);
        QSignalSpy phi(editor.get(), &CBeamSelection::beamTrackPhiChanged);

        editor->setPhi(5);

        QCOMPARE(editor->trackPhi(0), 5);
        QCOMPARE(editor->trackPhi(1), -5);
        QCOMPARE(editor->trackPhi(2), 195);
        QCOMPARE(phi.count(), 2);
        QCOMPARE(phi.at(0), (QVariantList{1, -5}));
        QCOMPARE(phi.at(1), (QVariantList{2, 195}));

        // Unlinked, only the track itself turns.
        editor->linkButton()->click();
        editor->setPhi(0, 40);
        QCOMPARE(editor->trackPhi(1), -5);
        QCOMPARE(phi.count(), 2);
    }

    void findParameterIndexTakesTheNameOrTheNearestValue_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");
        const QStringList even{"0", "2", "4", "6"};
        QTest::newRow("exact") << even << "4" << 2;
        QTest::newRow("a tie goes to the larger") << even << "3" << 2;
        QTest::newRow("5") << even << "5" << 3;
        QTest::newRow("below the first") << even << "-1" << 0;
        QTest::newRow("beyond the last") << even << "9" << 3;
        QTest::newRow("nearer the smaller") << QStringList{"0", "10", "20", "30"} << "12" << 1;
        QTest::newRow("the walk reaches the last") << QStringList{"0", "2", "6"} << "3" << 2;
        QTest::newRow("not a number counts as 0") << QStringList{"-12", "-6", "0", "6", "12"} << "WNG" << 2;
        QTest::newRow("one entry") << QStringList{"0"} << "12" << 0;
    }

    void findParameterIndexTakesTheNameOrTheNearestValue()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        QFETCH(int, index);
        CBeamSelection editor(":/ro32app/Resources", 18, 15, 255);
        editor.setPatternAndParameterLists({"omni", "tested"}, {{"0"}, entries});
        QCOMPARE(editor.findParameterIndex(1, text), index);
    }

    void aPatternChangeKeepsTheVariantByNameOrValue()
    {
        auto editor = makeBeamEditor(1);
        SignalLog log;
        log.watch(editor.get(), &CBeamSelection::beamTrackPatternChanged, "pattern");
        log.watch(editor.get(), &CBeamSelection::beamTrackParameterChanged, "parameter");
        CBeamSelectionTrack* row = editor->track(0);

        editor->setPatternIndex(0, 1);  // omni to super3: "0" is there
        QCOMPARE(row->parameterText(), QString("0"));
        QVERIFY(row->parameterBox()->isEnabled());
        editor->setParameterIndex(0, 4);  // 12
        editor->setPatternIndex(0, 4);  // hyper3 keeps "12"
        QCOMPARE(row->parameterText(), QString("12"));
        editor->setPatternIndex(0, 11);  // torus has only "0"
        QVERIFY(!row->parameterBox()->isEnabled());
        QCOMPARE(row->parameterText(), QString("0"));

        QCOMPARE(log.names(), (QStringList{"pattern", "parameter", "pattern", "pattern"}));
        QCOMPARE(log.entries()[0].arguments, (QVariantList{0, 1, 2}));
        QCOMPARE(log.entries()[1].arguments, (QVariantList{0, 4}));
        QCOMPARE(log.entries()[2].arguments, (QVariantList{0, 4, 4}));
        QCOMPARE(log.entries()[3].arguments, (QVariantList{0, 11, 0}));
        QCOMPARE(editor->patternIndex(0), 11);

        // New lists put every row on the first pattern and emit nothing.
        log.clear();
        editor->setPatternAndParameterLists({"card2", "omni"}, {{"-6", "6"}, {"0"}});
        QCOMPARE(row->patternText(), QString("card2"));
        QCOMPARE(row->parameterText(), QString("-6"));
        QVERIFY(log.names().isEmpty());
    }

    void theActiveTrackSlotsWithoutAnActiveTrackOnlyMarkDirty()
    {
        auto editor = makeBeamEditor(2);
        QSignalSpy phi(editor.get(), &CBeamSelection::beamTrackPhiChanged);
        editor->setPhiLinkStatus(true);
        editor->resetDirtyFlag();
        editor->setPhi(45);
        QVERIFY(editor->isDirty());
        editor->resetDirtyFlag();
        editor->setTheta(30);
        QVERIFY(editor->isDirty());
        for (int k = 0; k < 2; ++k) {
            QCOMPARE(editor->trackPhi(k), 0);
            QCOMPARE(editor->trackTheta(k), 90);
        }
        QCOMPARE(phi.count(), 0);

        editor->setActiveBeamTrack(1);
        editor->setTheta(30);
        QCOMPARE(editor->trackTheta(1), 30);
        QCOMPARE(editor->trackTheta(0), 90);
    }

    void setActiveBeamTrackIsSilentAndAClickOutOfRangeKeepsTheIndex()
    {
        auto editor = makeBeamEditor(3);
        QSignalSpy active(editor.get(), &CBeamSelection::activeBeamTrackChanged);
        editor->setActiveBeamTrack(2);
        editor->setActiveBeamTrack(5);
        QCOMPARE(editor->activeBeamTrack(), 2);
        QCOMPARE(active.count(), 0);
        editor->updateActiveBeamTrack(1);
        editor->updateActiveBeamTrack(-1);
        QCOMPARE(active.count(), 2);
        QCOMPARE(active.at(0).at(0).toInt(), 1);
        QCOMPARE(active.at(1).at(0).toInt(), 1);
        QVERIFY(editor->track(1)->selected());
        QVERIFY(!editor->track(2)->selected());
    }

    void settersAndRowEditsMarkDirtyButAddDeleteAndSaveDoNot()
    {
        auto editor = makeBeamEditor(2);
        using Change = std::function<void(CBeamSelection&)>;
        const QList<QPair<QString, Change>> setters{
            {"link", [](CBeamSelection& e) { e.setPhiLinkStatus(false); }},
            {"colour", [](CBeamSelection& e) { e.setColor(0, Qt::red); }},
            {"label", [](CBeamSelection& e) { e.setLabel(0, "x"); }},
            {"theta", [](CBeamSelection& e) { e.setTheta(0, 10); }},
            {"phi", [](CBeamSelection& e) { e.setPhi(0, 10); }},
            {"pattern", [](CBeamSelection& e) { e.setPatternIndex(0, 2); }},
            {"parameter", [](CBeamSelection& e) { e.setParameterIndex(0, 1); }},
            {"volume", [](CBeamSelection& e) { e.setVolume(0, -3.0f); }},
            {"mute", [](CBeamSelection& e) { e.setMute(0, true); }},
            {"row mute", [](CBeamSelection& e) { e.track(1)->muteButton()->click(); }},
            {"row gain", [](CBeamSelection& e) {
                 e.track(1)->openGainWindow();
                 e.track(1)->gainStrip()->setVolume(4.0f);
             }},
        };
        for (const auto& [name, change] : setters) {
            editor->resetDirtyFlag();
            change(*editor);
            QVERIFY2(editor->isDirty(), qPrintable(name));
        }
        QCOMPARE(editor->trackGain(0), std::pow(10.0, -0.15));
        QVERIFY(editor->isTrackMuted(0));
        QCOMPARE(editor->track(1)->volume(), 4.0f);

        editor->resetDirtyFlag();
        editor->updatePhiLinkStatus(true);
        editor->addBeam();
        editor->setActiveBeamTrack(2);
        editor->deleteBeam();
        editor->saveCurrentState("dirty.ovs");
        QVERIFY(!editor->isDirty());
        editor->setColor(0, Qt::blue);
        editor->saveCurrentState("dirty.ovs");
        QVERIFY(editor->isDirty());
    }

    void theRowSignalsAreRelayedWithTheCurrentIndex()
    {
        auto editor = makeBeamEditor(3);
        SignalLog log;
        log.watch(editor.get(), &CBeamSelection::beamTrackMuteChanged, "mute");
        CBeamSelectionTrack* third = editor->track(2);
        editor->setActiveBeamTrack(0);
        editor->deleteBeam();
        third->muteButton()->click();
        QCOMPARE(log.entries().size(), std::size_t{1});
        QCOMPARE(log.entries()[0].arguments, (QVariantList{1, true}));
    }

    void theSizeHintGrowsByARowPerTrack()
    {
        auto editor = makeBeamEditor(0);
        const QSize empty = editor->minimumSizeHint();
        editor->addBeam();
        const int perRow = editor->minimumSizeHint().height() - empty.height();
        QVERIFY(perRow >= editor->track(0)->minimumSizeHint().height());
        editor->addBeam();
        editor->addBeam();
        QCOMPARE(editor->minimumSizeHint(), QSize(empty.width(), empty.height() + 3 * perRow));
    }

    void theToolRowFollowsTheButtonMask()
    {
        CBeamSelection links(":/ro32app/Resources", 4, 2, 255);
        QVERIFY(!links.addButton());
        QVERIFY(links.linkButton());
        QVERIFY(!links.saveButton());
        QCOMPARE(links.linkButton()->toolTip(), QString("Link Azimuth"));
        QVERIFY(links.linkButton()->isCheckable());

        auto full = makeBeamEditor(0);
        QCOMPARE(full->addButton()->toolTip(), QString("Add beam"));
        QCOMPARE(full->deleteButton()->toolTip(), QString("Delete selected beam"));
        QCOMPARE(full->saveButton()->toolTip(), QString("create settings file"));
        QCOMPARE(full->loadButton()->toolTip(), QString("load settings file"));
        QVERIFY(!full->saveButton()->icon().isNull());
        QCOMPARE(full->addButton()->size(), QSize(25, 25));

        // Without columns there is no track list to add to.
        CBeamSelection noColumns(":/ro32app/Resources", 4, 15, 0);
        noColumns.setPatternAndParameterLists(beamPatterns(), beamParameters());
        noColumns.addBeam();
        QCOMPARE(noColumns.beamTrackCount(), 0);
    }

    void everyHeadingFitsOverItsColumn()
    {
        auto editor = makeBeamEditor(0);
        const QStringList headings = {"ID",      "Label",         "Azimuth", "Elevation",
                                      "Pattern", "Specification", "Volume",  "Mute"};
        int found = 0;
        for (QLabel* label : editor->findChildren<QLabel*>()) {
            if (!headings.contains(label->text()))
                continue;
            ++found;
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        }
        QCOMPARE(found, headings.size());
    }
};

ORVELAN_APP_TEST_MAIN(BeamSelectionTest)
#include "beam_selection_test.moc"

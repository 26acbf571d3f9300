// The beam-track settings file through the editor: a full round trip, a
// file of the earlier program (QColor and float as @Variant streams, labels
// with \x escapes), the exact-suffix check, patterns and variants looked up
// by text, absent keys, the capacity, the order of the load's signals, a
// missing file, the streaming lock, and Qt's own dialogs with the default
// suffix.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

#include <functional>
#include <memory>

#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "support/signal_log.h"
#include "widgets/beam_editor_fixture.h"
#include "widgets/beam_selection.h"
#include "widgets/beam_selection_track.h"
#include "widgets/beam_track_settings.h"
#include "widgets/on_off_button.h"

using orvelan::app::CBeamSelection;
using orvelan::app::CBeamSelectionTrack;
using namespace orvelan::apptest;

namespace {

const QString kTitle = "Beam Track Dialog";
const QString kWrongSuffix = "Ending not recognized as an Orvelan Settings file!";
const QString kStreaming = "You must stop streaming before loading a configuration file.";

// A file made with the settings class directly, as another program or a
// hand would leave it: one call per track entry.
void writeFile(const QString& name, int tracks, const std::function<void(QSettings&, int)>& entry)
{
    QFile::remove(name);
    QSettings settings(name, QSettings::IniFormat);
    settings.beginWriteArray("tracks");
    for (int i = 0; i < tracks; ++i) {
        settings.setArrayIndex(i);
        entry(settings, i);
    }
    settings.endArray();
}

void watchStructure(SignalLog& log, CBeamSelection& editor)
{
    log.watch(&editor, &CBeamSelection::activeBeamTrackChanged, "active");
    log.watch(&editor, &CBeamSelection::beamTrackDeleted, "deleted");
    log.watch(&editor, &CBeamSelection::beamTrackAdded, "added");
}

// "name value" per signal, to compare a whole sequence at once.
QStringList sequence(const SignalLog& log)
{
    QStringList list;
    for (const SignalLog::Entry& entry : log.entries())
        list << entry.name + " " + entry.arguments.value(0).toString();
    return list;
}

QString fixture(const QString& name)
{
    return QString(ORVELAN_APP_TEST_SOURCE_DIR) + "/widgets/data/" + name;
}

}  // namespace

class BeamTrackSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void eighteenTracksComeBackWithEveryField()
    {
        auto saved = makeBeamEditor(18);
        const QList<QStringList> parameters = beamParameters();
        for (int k = 0; k < 18; ++k) {
            saved->setColor(k, QColor(10 + k * 13, 250 - k * 7, 3 + k * 5));
            saved->setLabel(k, QString("Spur %1 ä").arg(k));
            saved->setPhi(k, k * 20 - 100);
            saved->setTheta(k, k * 10);
            saved->setPatternIndex(k, k % 12);
            saved->setParameterIndex(k, k % parameters[k % 12].size());
            saved->setVolume(k, -10.0f + 0.5f * k);
            saved->setMute(k, k % 3 == 0);
        }
        saved->setPhiLinkStatus(true);
        saved->saveCurrentState("round.ovs");
        QCOMPARE(saved->fileName(), QString("round.ovs"));
        QCOMPARE(saved->settingsBaseName(), QString("round"));
        QCOMPARE(saved->settingsDirectory(), QDir::currentPath());

        {
            QSettings raw("round.ovs", QSettings::IniFormat);
            QCOMPARE(raw.value("phiLinkStatus").toBool(), true);
            QCOMPARE(raw.value("tracks/size").toInt(), 18);
            raw.beginGroup("tracks/1");
            QCOMPARE(raw.childKeys().size(), 8);
            QCOMPARE(raw.value("pattern").toString(), QString("omni"));
            raw.endGroup();
            QVERIFY(!raw.contains("tracks/19/label"));
        }

        auto loaded = makeBeamEditor(2);
        loaded->setActiveBeamTrack(1);
        loaded->loadState("round.ovs");
        QCOMPARE(loaded->beamTrackCount(), 18);
        for (int k = 0; k < 18; ++k) {
            const CBeamSelectionTrack* a = saved->track(k);
            const CBeamSelectionTrack* b = loaded->track(k);
            QCOMPARE(b->color(), a->color());
            QCOMPARE(b->label(), a->label());
            QCOMPARE(b->phi(), a->phi());
            QCOMPARE(b->theta(), a->theta());
            QCOMPARE(b->patternIndex(), a->patternIndex());
            QCOMPARE(b->parameterIndex(), a->parameterIndex());
            QCOMPARE(b->volume(), a->volume());
            QCOMPARE(b->isMuted(), a->isMuted());
            QCOMPARE(b->id(), k);
        }
        QCOMPARE(loaded->trackPhi(0), -100);
        QVERIFY(loaded->phiLinkStatus());
        QVERIFY(loaded->linkButton()->isChecked());
        QCOMPARE(loaded->activeBeamTrack(), -1);
        QVERIFY(!loaded->isDirty());
    }

    void aFileOfTheEarlierProgramLoads()
    {
        auto editor = makeBeamEditor(1);
        editor->loadState(fixture("earlier_setup.ovs"));
        QCOMPARE(editor->beamTrackCount(), 2);
        QVERIFY(editor->phiLinkStatus());

        const CBeamSelectionTrack* first = editor->track(0);
        QCOMPARE(first->color(), QColor(255, 0, 0));
        QCOMPARE(first->label(), QString::fromUtf8("Größe"));
        QCOMPARE(first->phi(), 300);
        QCOMPARE(first->theta(), 45);
        QCOMPARE(first->patternText(), QString("super2"));
        QCOMPARE(first->parameterText(), QString("-6"));
        QCOMPARE(first->volume(), -6.5f);
        QVERIFY(first->isMuted());

        const CBeamSelectionTrack* second = editor->track(1);
        QCOMPARE(second->color(), QColor(0, 128, 255));
        QCOMPARE(second->label(), QString::fromUtf8("Bühne"));
        QCOMPARE(second->phi(), 90);
        QCOMPARE(second->theta(), 120);
        QCOMPARE(second->patternText(), QString("hyper1"));
        QCOMPARE(second->parameterText(), QString("0"));
        QCOMPARE(second->volume(), 3.0f);
        QVERIFY(!second->isMuted());
    }

    void onlyTheExactCompleteSuffixIsASettingsFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("setup.ovs") << "setup.ovs" << true;
        QTest::newRow("in a dotted folder") << "/tmp/a.b/setup.ovs" << true;
        QTest::newRow("setup.OVS") << "setup.OVS" << false;
        QTest::newRow("setup.ovs.bak") << "setup.ovs.bak" << false;
        QTest::newRow("my.setup.ovs") << "my.setup.ovs" << false;
        QTest::newRow("no suffix") << "setup" << false;
    }

    void onlyTheExactCompleteSuffixIsASettingsFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QCOMPARE(orvelan::app::hasBeamTrackSettingsSuffix(name), accepted);
        if (accepted)
            return;

        // A refused name changes nothing, even when the file is a good one.
        QFile::remove(name);
        QVERIFY(QFile::copy(fixture("earlier_setup.ovs"), name));
        auto editor = makeBeamEditor(3);
        editor->saveCurrentState("kept.ovs");
        SignalLog log;
        watchStructure(log, *editor);
        ModalAnswerer answerer;
        answerer.press("OK");
        editor->loadState(name);
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].title, kTitle);
        QCOMPARE(answerer.seen()[0].labels.filter(kWrongSuffix).size(), 1);
        QCOMPARE(editor->beamTrackCount(), 3);
        QCOMPARE(editor->fileName(), QString("kept.ovs"));
        QVERIFY(log.names().isEmpty());
    }

    void patternsAndVariantsAreLookedUpByText()
    {
        writeFile("lookup.ovs", 5, [](QSettings& s, int i) {
            const char* patterns[] = {"cardioid9", "super3", "super3", "card2", "torus"};
            const char* parameters[] = {"0", "3", "-10", "-8", "12"};
            s.setValue("pattern", patterns[i]);
            s.setValue("parameter", parameters[i]);
            s.setValue("color", QColor(1, 2, 3));
            s.setValue("label", "x");
        });
        auto editor = makeBeamEditor(0);
        editor->loadState("lookup.ovs");
        QCOMPARE(editor->beamTrackCount(), 5);
        const QStringList patterns{"omni", "super3", "super3", "card2", "torus"};
        // Between entries the nearer one, a tie to the larger.
        const QStringList variants{"0", "6", "-12", "-6", "0"};
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(editor->track(k)->patternText(), patterns[k]);
            QCOMPARE(editor->track(k)->parameterText(), variants[k]);
        }
    }

    void absentKeysReadAsEmptyValues()
    {
        writeFile("sparse.ovs", 3, [](QSettings& s, int i) {
            if (i == 1)
                s.setValue("color", QColor(255, 255, 255));
            if (i == 2)
                s.setValue("phi", 400);
            s.setValue("mute", false);
        });
        auto editor = makeBeamEditor(0);
        editor->loadState("sparse.ovs");
        QCOMPARE(editor->beamTrackCount(), 3);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(editor->trackTheta(k), 0);
            QCOMPARE(editor->track(k)->label(), QString("beam %1").arg(k + 1));
            QCOMPARE(editor->track(k)->patternText(), QString("omni"));
            QCOMPARE(editor->track(k)->volume(), 0.0f);
        }
        // No colour is used as read; opaque white asks for a random one.
        QVERIFY(!editor->trackColor(0).isValid());
        QVERIFY(editor->trackColor(1).isValid());
        QCOMPARE(editor->trackPhi(2), 40);
        QVERIFY(!editor->phiLinkStatus());
    }

    void aLoadRemovesLastToFirstThenAddsInOrder()
    {
        writeFile("two.ovs", 2, [](QSettings& s, int) { s.setValue("theta", 10); });
        auto editor = makeBeamEditor(3);
        editor->setActiveBeamTrack(0);
        SignalLog log;
        watchStructure(log, *editor);
        editor->loadState("two.ovs");
        QCOMPARE(sequence(log), (QStringList{"active 2", "deleted 2", "active 1", "deleted 1", "active 0",
                                             "deleted 0", "added 0", "added 1"}));
        QCOMPARE(editor->activeBeamTrack(), -1);
        QCOMPARE(editor->trackTheta(1), 10);
    }

    void twentyTracksLoadTheFirstEighteen()
    {
        writeFile("twenty.ovs", 20, [](QSettings& s, int i) { s.setValue("label", QString("t%1").arg(i)); });
        auto editor = makeBeamEditor(0);
        SignalLog log;
        watchStructure(log, *editor);
        editor->loadState("twenty.ovs");
        QCOMPARE(editor->beamTrackCount(), 18);
        QCOMPARE(editor->track(17)->label(), QString("t17"));
        QCOMPARE(log.values("added").size(), 18);
        QCOMPARE(log.values("added").last().toInt(), 17);
    }

    void aMissingFileEmptiesTheEditor()
    {
        auto editor = makeBeamEditor(2);
        editor->setPhiLinkStatus(true);
        QVERIFY(editor->isDirty());
        editor->loadState("gone/setup.ovs");
        QCOMPARE(editor->beamTrackCount(), 0);
        QCOMPARE(editor->activeBeamTrack(), -1);
        QCOMPARE(editor->fileName(), QString("gone/setup.ovs"));
        QCOMPARE(editor->settingsDirectory(), QDir::current().absoluteFilePath("gone"));
        QVERIFY(!editor->phiLinkStatus());
        QVERIFY(!editor->linkButton()->isChecked());
        QVERIFY(!editor->isDirty());
        // The template is back to its defaults for the next add.
        editor->addBeam();
        QCOMPARE(editor->trackTheta(0), 90);
        QCOMPARE(editor->track(0)->label(), QString("beam 1"));
    }

    void loadingIsRefusedWhileStreaming()
    {
        auto editor = makeBeamEditor(2);
        editor->setStreamingActive(true);
        ModalAnswerer answerer;
        answerer.press("OK").press("OK");
        editor->loadState(fixture("earlier_setup.ovs"));
        editor->loadButton()->click();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 2);
        for (const ModalAnswerer::Seen& seen : answerer.seen()) {
            QCOMPARE(seen.title, kTitle);
            QCOMPARE(seen.labels.filter(kStreaming).size(), 1);
        }
        QCOMPARE(editor->beamTrackCount(), 2);
        QVERIFY(editor->fileName().isEmpty());

        // Saving is allowed while streaming.
        answerer.chooseFile("streaming");
        editor->saveButton()->click();
        QCOMPARE(answerer.failures(), QStringList());
        QVERIFY(QFileInfo::exists("streaming.ovs"));
    }

    void aNameTypedWithoutSuffixIsSavedAsOvsAndLoadsAgain()
    {
        auto editor = makeBeamEditor(3);
        editor->setLabel(2, "typed");
        ModalAnswerer answerer;
        answerer.chooseFile("setup");
        editor->saveStateDialog();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen()[0].title, QString("Save Current Settings"));
        const QString written = QDir::current().absoluteFilePath("setup.ovs");
        QVERIFY(QFileInfo::exists(written));
        QCOMPARE(editor->fileName(), written);
        QVERIFY(editor->isDirty());

        auto other = makeBeamEditor(1);
        answerer.chooseFile(written);
        other->loadStateDialog();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen()[1].title, QString("open settings File"));
        QCOMPARE(other->beamTrackCount(), 3);
        QCOMPARE(other->track(2)->label(), QString("typed"));
        QCOMPARE(other->fileName(), written);
    }

    void theSaveDialogRefusesAnotherSuffix()
    {
        auto editor = makeBeamEditor(1);
        // A name of its own: an existing file would bring up Qt's question
        // whether to replace it first.
        QFile::remove("refused.OVS");
        ModalAnswerer answerer;
        answerer.chooseFile("refused.OVS").press("OK");
        editor->saveStateDialog();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen()[1].title, kTitle);
        QCOMPARE(answerer.seen()[1].labels.filter(kWrongSuffix).size(), 1);
        QVERIFY(!QFileInfo::exists("refused.OVS"));
        QVERIFY(editor->fileName().isEmpty());
    }
};

ORVELAN_APP_TEST_MAIN(BeamTrackSettingsTest)
#include "beam_track_settings_test.moc"

// The input source: the mode buttons report every click, also on the
// checked one; the setters that restore settings emit nothing; the file
// dialog (Qt's own, driven as a user would) shows the base name up to the
// first dot with the full name as tool tip, remembers its directory for
// the next time, and when cancelled changes nothing.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "app/resources.h"
#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "widgets/input_source_selection.h"

using orvelan::app::CInputSourceSelection;
using orvelan::apptest::ModalAnswerer;

namespace {

// An empty file the dialog can choose; the path comes back absolute.
QString makeFile(const QString& directory, const QString& name)
{
    QDir().mkpath(directory);
    QFile file(QDir(directory).filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    return QFileInfo(file).absoluteFilePath();
}

}  // namespace

class InputSourceSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void startsInFileModeWithNoFile()
    {
        CInputSourceSelection panel(orvelan::app::kResourcePath);
        QCOMPARE(panel.mode(), CInputSourceSelection::File);
        QVERIFY(panel.fileButton()->isChecked());
        QVERIFY(!panel.liveButton()->isChecked());
        QCOMPARE(panel.fileName(), QString());
        QCOMPARE(panel.liveButton()->text(), QString("Live "));
        QCOMPARE(panel.fileButton()->text(), QString("File: "));
        QVERIFY(!panel.openButton()->icon().isNull());
        QVERIFY(panel.openButton()->text().isEmpty());
    }

    void everyModeClickIsReportedAlsoOnTheCheckedButton()
    {
        CInputSourceSelection panel(orvelan::app::kResourcePath);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QSignalSpy spy(&panel, &CInputSourceSelection::modeChanged);
        QTest::mouseClick(panel.liveButton(), Qt::LeftButton);
        QTest::mouseClick(panel.liveButton(), Qt::LeftButton);
        QTest::mouseClick(panel.fileButton(), Qt::LeftButton);
        QCOMPARE(spy.count(), 3);
        QCOMPARE((QList<int>{spy[0][0].toInt(), spy[1][0].toInt(), spy[2][0].toInt()}), (QList<int>{0, 0, 1}));
        QCOMPARE(panel.mode(), CInputSourceSelection::File);
    }

    void settersRestoreWithoutEmitting()
    {
        CInputSourceSelection panel(orvelan::app::kResourcePath);
        QSignalSpy modes(&panel, &CInputSourceSelection::modeChanged);
        QSignalSpy names(&panel, &CInputSourceSelection::fileNameChanged);
        panel.setMode(CInputSourceSelection::Live);
        QCOMPARE(panel.mode(), CInputSourceSelection::Live);
        QVERIFY(panel.liveButton()->isChecked());
        QVERIFY(!panel.fileButton()->isChecked());
        panel.setMode(CInputSourceSelection::File);
        QVERIFY(panel.fileButton()->isChecked());
        panel.setFileName("/data/takes/take1.final.wav");
        QCOMPARE(panel.fileName(), QString("/data/takes/take1.final.wav"));
        QCOMPARE(panel.fileLabel()->text(), QString("take1"));
        QCOMPARE(panel.fileLabel()->toolTip(), QString("/data/takes/take1.final.wav"));
        QCOMPARE(modes.count(), 0);
        QCOMPARE(names.count(), 0);
    }

    void enablingControls()
    {
        CInputSourceSelection panel(orvelan::app::kResourcePath);
        panel.setModeEnabled(CInputSourceSelection::Live, false);
        QVERIFY(!panel.liveButton()->isEnabled());
        QVERIFY(panel.fileButton()->isEnabled() && panel.openButton()->isEnabled());
        panel.setModeEnabled(CInputSourceSelection::File, false);
        QVERIFY(!panel.fileButton()->isEnabled() && !panel.openButton()->isEnabled());
        panel.setModeEnabled(CInputSourceSelection::File, true);
        panel.setModeEnabled(CInputSourceSelection::Live, true);
        QVERIFY(panel.liveButton()->isEnabled() && panel.fileButton()->isEnabled());

        panel.setFileControlsEnabled(false);
        QVERIFY(!panel.openButton()->isEnabled() && !panel.fileLabel()->isEnabled());
        QVERIFY(panel.fileButton()->isEnabled());
        panel.setFileControlsEnabled(true);
        QVERIFY(panel.openButton()->isEnabled() && panel.fileLabel()->isEnabled());
    }

    void chosenFileShowsItsBaseNameAndTheNextDialogOpensInItsDirectory()
    {
        const QString chosen = makeFile("rec", "take1.final.wav");
        QVERIFY(!chosen.isEmpty());
        CInputSourceSelection panel(orvelan::app::kResourcePath);
        panel.setMode(CInputSourceSelection::Live);
        QSignalSpy modes(&panel, &CInputSourceSelection::modeChanged);
        QSignalSpy names(&panel, &CInputSourceSelection::fileNameChanged);

        QString secondDirectory;
        ModalAnswerer answerer;
        answerer.chooseFile(chosen).answerWith([&](QWidget* dialog) {
            secondDirectory = qobject_cast<QFileDialog*>(dialog)->directory().absolutePath();
            qobject_cast<QDialog*>(dialog)->reject();
        });
        panel.openFileDialog();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].title, QString("open File"));
        QCOMPARE(panel.fileName(), chosen);
        QCOMPARE(panel.fileLabel()->text(), QString("take1"));
        QCOMPARE(panel.fileLabel()->toolTip(), chosen);
        QCOMPARE(names.count(), 1);
        QCOMPARE(names[0][0].toString(), chosen);
        // Choosing a file does not switch the mode; the window decides.
        QCOMPARE(panel.mode(), CInputSourceSelection::Live);
        QCOMPARE(modes.count(), 0);

        // Through the open button, as the user reaches it.
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTest::mouseClick(panel.openButton(), Qt::LeftButton);
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(secondDirectory, QFileInfo(chosen).absolutePath());
    }

    void cancelledDialogChangesNothing()
    {
        const QString first = makeFile("kept", "first.wav");
        makeFile("other", "second.wav");
        CInputSourceSelection panel(orvelan::app::kResourcePath);
        panel.setFileName(first);
        QSignalSpy modes(&panel, &CInputSourceSelection::modeChanged);
        QSignalSpy names(&panel, &CInputSourceSelection::fileNameChanged);

        // The user walks to another folder, selects a file there, then
        // cancels: neither the name nor the remembered folder moves.
        QString reopenedIn;
        ModalAnswerer answerer;
        answerer
            .answerWith([](QWidget* dialog) {
                auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
                fileDialog->setDirectory(QDir("other").absolutePath());
                fileDialog->selectFile("second.wav");
                auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
                buttons->button(QDialogButtonBox::Cancel)->click();
            })
            .answerWith([&](QWidget* dialog) {
                reopenedIn = qobject_cast<QFileDialog*>(dialog)->directory().absolutePath();
                qobject_cast<QDialog*>(dialog)->reject();
            });
        panel.openFileDialog();
        QCOMPARE(panel.fileName(), first);
        QCOMPARE(panel.fileLabel()->text(), QString("first"));
        QCOMPARE(panel.fileLabel()->toolTip(), first);
        QCOMPARE(panel.mode(), CInputSourceSelection::File);
        QCOMPARE(names.count(), 0);
        QCOMPARE(modes.count(), 0);

        panel.openFileDialog();
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(reopenedIn, QFileInfo(first).absolutePath());
    }
};

ORVELAN_APP_TEST_MAIN(InputSourceSelectionTest)
#include "input_source_selection_test.moc"

// The modal answerer drives the dialogs later tests meet: message boxes,
// input dialogs and Qt's own file dialog; a dialog nobody expected is
// closed and reported rather than left to hang the test.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QTest>

#include "support/app_test_main.h"
#include "support/fixed_clock.h"
#include "support/modal_answerer.h"

using orvelan::apptest::FixedClock;
using orvelan::apptest::ModalAnswerer;

class ModalAnswererTest : public QObject {
    Q_OBJECT

private slots:
    void runsInItsOwnWorkingDirectory()
    {
        QVERIFY(QDir::currentPath().contains("orvelan-app-test-"));
        QCOMPARE(QDir::current().entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void pressesTheNamedButtonAndNotesTheTexts()
    {
        ModalAnswerer answerer;
        answerer.press("Cancel");
        const auto answer = QMessageBox::question(nullptr, "Orvelan", "Save the take?",
                                                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        QCOMPARE(answer, QMessageBox::Cancel);
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].title, QString("Orvelan"));
        QVERIFY(answerer.seen()[0].labels.contains("Save the take?"));
        QVERIFY(answerer.seen()[0].buttons.contains("OK"));
    }

    void fillsAFieldThenAnswersTheNextDialog()
    {
        ModalAnswerer answerer;
        answerer.fillAndPress("Beam 3", "OK").press("OK");
        bool ok = false;
        const QString text = QInputDialog::getText(nullptr, "Label Dialog", "New Label:", QLineEdit::Normal, "0", &ok);
        QMessageBox::warning(nullptr, "Orvelan", "done");
        QVERIFY(ok);
        QCOMPARE(text, QString("Beam 3"));
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen()[1].labels, QStringList{"done"});
    }

    void choosesAFileInQtsOwnDialog()
    {
        QFile take("take.wav");
        QVERIFY(take.open(QIODevice::WriteOnly));
        take.close();
        ModalAnswerer answerer;
        answerer.chooseFile(QDir::current().absoluteFilePath("take.wav"));
        const QString chosen = QFileDialog::getOpenFileName(nullptr, "Open", QDir::currentPath(), "WAV (*.wav)",
                                                            nullptr, QFileDialog::DontUseNativeDialog);
        QCOMPARE(answerer.failures(), QStringList());
        QCOMPARE(chosen, QDir::current().absoluteFilePath("take.wav"));
    }

    void closesAndReportsWhatItCannotAnswer()
    {
        ModalAnswerer answerer;
        answerer.press("Retry");
        QMessageBox::warning(nullptr, "Orvelan", "first");
        QMessageBox::warning(nullptr, "Orvelan", "second");
        QCOMPARE(answerer.failures(),
                 (QStringList{"dialog \"Orvelan\": no button \"Retry\"", "dialog \"Orvelan\": no answer queued"}));
    }

    void fixedClockReadsWhatWasSet()
    {
        FixedClock clock(QDateTime(QDate(2026, 3, 7), QTime(23, 59, 58)));
        clock.advance(3);
        QCOMPARE(clock.now(), QDateTime(QDate(2026, 3, 8), QTime(0, 0, 1)));
    }
};

ORVELAN_APP_TEST_MAIN(ModalAnswererTest)
#include "modal_answerer_test.moc"

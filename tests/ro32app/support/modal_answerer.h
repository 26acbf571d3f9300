// Answers the modal dialogs a test brings up, as a user would: a timer
// looks for QApplication::activeModalWidget() and gives it the next queued
// answer (press a named button, fill the field and press one, choose a file
// in Qt's own file dialog). It notes what every dialog showed, so a test
// can check titles and texts verbatim. A dialog that comes up with no
// answer queued, or whose button is missing, is closed and reported in
// failures(), so a test fails instead of hanging.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

namespace orvelan::apptest {

class ModalAnswerer : public QObject {
    Q_OBJECT

public:
    struct Seen {
        QString title;
        QStringList labels;   // texts of the dialog's visible labels
        QStringList buttons;  // button texts without mnemonics
    };

    ModalAnswerer();

    // Button texts are compared without their '&' mnemonic ("OK", "Cancel").
    ModalAnswerer& press(const QString& button);
    // Types text into the dialog's line edit (the first visible one), then
    // presses the button.
    ModalAnswerer& fillAndPress(const QString& text, const QString& button);
    // In a QFileDialog: types the path into its file-name field and presses
    // its accept button (Open or Save).
    ModalAnswerer& chooseFile(const QString& path);
    // Anything else: the test's own hands on the dialog.
    ModalAnswerer& answerWith(std::function<void(QWidget* dialog)> answer);

    const QList<Seen>& seen() const { return seen_; }
    QStringList failures() const { return failures_; }
    // Answers queued and not used yet.
    int pending() const { return static_cast<int>(answers_.size()); }

private:
    void poll();
    void fail(QWidget* dialog, const QString& why);
    bool pressButton(QWidget* dialog, const QString& text);

    QTimer timer_;
    std::deque<std::function<void(QWidget*)>> answers_;
    QPointer<QWidget> lastAnswered_;
    QList<Seen> seen_;
    QStringList failures_;
};

}  // namespace orvelan::apptest

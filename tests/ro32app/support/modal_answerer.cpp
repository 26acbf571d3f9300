#include "support/modal_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>

namespace orvelan::apptest {

namespace {

QString withoutMnemonic(QString text)
{
    return text.remove('&');
}

QLineEdit* firstVisibleLineEdit(QWidget* dialog)
{
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
        if (edit->isVisible())
            return edit;
    return nullptr;
}

}  // namespace

ModalAnswerer::ModalAnswerer()
{
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start(10);
}

ModalAnswerer& ModalAnswerer::press(const QString& button)
{
    return answerWith([this, button](QWidget* dialog) { pressButton(dialog, button); });
}

ModalAnswerer& ModalAnswerer::fillAndPress(const QString& text, const QString& button)
{
    return answerWith([this, text, button](QWidget* dialog) {
        QLineEdit* edit = firstVisibleLineEdit(dialog);
        if (!edit) {
            fail(dialog, "no field to fill");
            return;
        }
        edit->setText(text);
        pressButton(dialog, button);
    });
}

ModalAnswerer& ModalAnswerer::chooseFile(const QString& path)
{
    return answerWith([this, path](QWidget* dialog) {
        auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
        auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
        if (!fileDialog || !nameEdit || !buttons) {
            fail(dialog, "not Qt's own file dialog");
            return;
        }
        nameEdit->setText(path);
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
                button->click();
                return;
            }
        }
        fail(dialog, "file dialog without an accept button");
    });
}

ModalAnswerer& ModalAnswerer::answerWith(std::function<void(QWidget*)> answer)
{
    answers_.push_back(std::move(answer));
    return *this;
}

void ModalAnswerer::poll()
{
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog == lastAnswered_)
        return;
    lastAnswered_ = dialog;

    Seen seen;
    seen.title = dialog->windowTitle();
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->isVisible() && !label->text().isEmpty())
            seen.labels << label->text();
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (button->isVisible() && !button->text().isEmpty())
            seen.buttons << withoutMnemonic(button->text());
    seen_ << seen;

    if (answers_.empty()) {
        fail(dialog, "no answer queued");
        return;
    }
    const auto answer = std::move(answers_.front());
    answers_.pop_front();
    answer(dialog);
}

bool ModalAnswerer::pressButton(QWidget* dialog, const QString& text)
{
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && withoutMnemonic(button->text()) == text) {
            button->click();
            return true;
        }
    }
    fail(dialog, "no button \"" + text + "\"");
    return false;
}

void ModalAnswerer::fail(QWidget* dialog, const QString& why)
{
    failures_ << QString("dialog \"%1\": %2").arg(dialog->windowTitle(), why);
    if (auto* modal = qobject_cast<QDialog*>(dialog))
        modal->reject();
    else
        dialog->close();
}

}  // namespace orvelan::apptest

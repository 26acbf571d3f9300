// What the option page tests share: the message boxes a page shows, noted
// in full (title, text, buttons, the default, the icon) and answered by
// button, and the signals a page sent, as "a,b" pairs for tables.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTest>

#include "support/modal_answerer.h"

namespace orvelan::apptest {

struct NotedBox {
    QString title;
    QString text;
    QStringList buttons;  // sorted
    QString defaultButton;
    bool warning = false;
};

class BoxAnswers {
public:
    // The next message box is noted, then the button of that text pressed.
    BoxAnswers& press(const QString& button)
    {
        answerer_.answerWith([this, button](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box) {
                noted_ << NotedBox{dialog->windowTitle(), "(not a message box)", {}, {}, false};
                dialog->close();
                return;
            }
            NotedBox noted{box->windowTitle(), box->text(), {}, {}, box->icon() == QMessageBox::Warning};
            for (QAbstractButton* each : box->buttons())
                noted.buttons << plain(each->text());
            noted.buttons.sort();
            if (box->defaultButton())
                noted.defaultButton = plain(box->defaultButton()->text());
            noted_ << noted;
            for (QAbstractButton* each : box->buttons()) {
                if (plain(each->text()) == button) {
                    each->click();
                    return;
                }
            }
            box->close();
        });
        return *this;
    }

    const QList<NotedBox>& noted() const { return noted_; }
    // Dialogs nobody expected, and answers no dialog used.
    QStringList problems() const
    {
        QStringList list = answerer_.failures();
        if (answerer_.pending() > 0)
            list << QString("%1 answer(s) not used").arg(answerer_.pending());
        return list;
    }

private:
    static QString plain(QString text) { return text.remove('&'); }

    ModalAnswerer answerer_;
    QList<NotedBox> noted_;
};

// The two int arguments of every signal the spy caught, as "a,b".
inline QStringList pairs(const QSignalSpy& spy)
{
    QStringList list;
    for (const QList<QVariant>& arguments : spy)
        list << QString("%1,%2").arg(arguments.at(0).toInt()).arg(arguments.at(1).toInt());
    return list;
}

inline QStringList entries(const QComboBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

}  // namespace orvelan::apptest

// Fails unless the noted box is the page's question (or refusal) with that
// title and text, and the buttons expected of it: OK and Cancel with Cancel
// the default, or a single OK.
#define ORVELAN_EXPECT_BOX(noted, expectedTitle, expectedText, question)                                  \
    do {                                                                                                  \
        QCOMPARE((noted).title, QString(expectedTitle));                                                  \
        QCOMPARE((noted).text, QString(expectedText));                                                    \
        QVERIFY((noted).warning);                                                                         \
        if (question) {                                                                                   \
            QCOMPARE((noted).buttons, (QStringList{"Cancel", "OK"}));                                     \
            QCOMPARE((noted).defaultButton, QString("Cancel"));                                           \
        } else {                                                                                          \
            QCOMPARE((noted).buttons, QStringList{"OK"});                                                 \
        }                                                                                                 \
    } while (false)

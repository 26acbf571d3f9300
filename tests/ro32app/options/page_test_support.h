// What the option page tests share: the message boxes a page shows, noted
// in full (title, text, buttons, the default, the icon) and answered by
// button, and the signals a page sent, as "a,b" pairs for tables.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QList>
#include <QMessageBox>
#include <QRadioButton>
#include <QPushButton>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTest>

#include "options/monitor_channel_page.h"
#include "support/modal_answerer.h"

namespace orvelan::apptest {

// The questions both monitor pages ask.
inline const char* const kMonitorReduceOffset =
    "There are not enough channels available beyond the current offset.\nDo you want to reduce the offset by one?";
inline const char* const kMonitorReduceCount =
    "There are not enough channels available beyond the offset selection.\n"
    "Do you want to reduce the number of monitor channels?";

// The columns every table of user changes has: what the user does, the
// button that answers the box it brings up (empty: no box expected), the
// box's text and the "a,b" pairs the window forwards.
struct UserChange {
    QString action;
    QString answer;
    QString question;
    QStringList emitted;
};

inline void addUserChangeColumns()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("emitted");
}

template <class T>
T fetched(const char* column)
{
    return *static_cast<T*>(QTest::qData(column, qMetaTypeId<T>()));
}

inline UserChange fetchUserChange()
{
    return {fetched<QString>("action"), fetched<QString>("answer"), fetched<QString>("question"),
            fetched<QStringList>("emitted")};
}

struct NotedBox {
    QString title;
    QString text;
    QStringList buttons;  // sorted
    QString defaultButton;
    bool warning = false;
};

class BoxAnswers {
public:
    // Queues the row's answer, when it expects a box.
    explicit BoxAnswers(const UserChange& change = {})
    {
        if (!change.answer.isEmpty())
            press(change.answer);
    }

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

// On either monitor page: "click 2" clicks a radio button, "choose 5"
// picks an offset as the user does, "count 2" and "offset 5" call the
// slots themselves.
inline void actOnMonitorPage(app::CMonitorChannelPage* page, const QString& action)
{
    const QString verb = action.section(' ', 0, 0);
    const int value = action.section(' ', 1).toInt();
    if (verb == "click")
        (value == 1 ? page->oneChannelButton() : page->twoChannelsButton())->click();
    else if (verb == "choose")
        page->offsetList()->setCurrentIndex(value);
    else if (verb == "count")
        page->updateNumMonitorChannels(value);
    else if (verb == "offset")
        page->updateStartChannel(value);
    else
        QFAIL(qPrintable("unknown action " + action));
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

// Fails unless exactly the one box of that title and text came (none when
// expectedText is empty), every queued answer was used and nothing else
// came up.
#define ORVELAN_EXPECT_ONLY_BOX(answers, expectedTitle, expectedText, question)                           \
    do {                                                                                                  \
        QCOMPARE((answers).problems(), QStringList());                                                    \
        QCOMPARE((answers).noted().size(), QString(expectedText).isEmpty() ? 0 : 1);                      \
        if (!QString(expectedText).isEmpty())                                                             \
            ORVELAN_EXPECT_BOX((answers).noted()[0], expectedTitle, expectedText, question);              \
    } while (false)

// What the option pages share: lists whose programmatic changes trigger
// none of the page's slots, the numbered entries they hold, and the two
// kinds of message box a page shows when a choice does not fit.
#pragma once

#include <QComboBox>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace orvelan::app {

// A page's combo box together with the page's own slot on its index
// change. Every change the page makes itself runs with all connections of
// that notification removed and the page's own made again afterwards, so
// only the user's choices reach the slot.
class QuietList {
public:
    template <class Page>
    QuietList(QComboBox* list, Page* page, void (Page::*slot)(int))
        : list_(list),
          connect_([list, page, slot] { QObject::connect(list, &QComboBox::currentIndexChanged, page, slot); })
    {
        connect_();
    }

    QComboBox* list() const { return list_; }
    int count() const { return list_->count(); }

    // Replaces the entries and selects one (-1 or an empty list: none).
    void refill(const QStringList& entries, int selected);
    void select(int index);

private:
    void quietly(const std::function<void()>& change);

    QComboBox* list_;
    std::function<void()> connect_;
};

// count entries "first", "first + 1", ... in decimal; none when count is
// not positive.
QStringList numberEntries(int first, int count);

// The page's message texts and titles go through the translation lookup of
// the page's own class, also for what a shared base class says.
QString pageText(const QObject* page, const char* text);

// A warning that offers to adjust the user's choice, with OK and Cancel,
// Cancel the default. True when the user pressed OK.
bool askToAdjust(QWidget* page, const QString& title, const QString& text);
// A warning that refuses the user's choice, with a single OK.
void refuse(QWidget* page, const QString& title, const QString& text);

}  // namespace orvelan::app

// The output high-pass choice: one radio button per corner frequency the
// chain offers. It shows and reports the choice; the window applies it.
#pragma once

#include <QButtonGroup>
#include <QStringList>
#include <QWidget>

namespace orvelan::app {

class CHpSelection : public QWidget {
    Q_OBJECT

public:
    explicit CHpSelection(QWidget* parent = nullptr);

    // Called once: one button per label, in order, with its index as id;
    // the button of selectedIndex is checked (none when it is outside the
    // list).
    void setItems(const QStringList& labels, int selectedIndex);
    // The checked button's index, -1 while none is checked.
    int selectedIndex() const;

    // The labels for a list of corner frequencies in Hz: "off" for 0,
    // otherwise the number and " Hz".
    static QStringList labelsFor(const QList<int>& cornerFrequencies);

signals:
    // Every click, also on the button already checked.
    void selectionChanged(int index);

private:
    QButtonGroup group_;
};

}  // namespace orvelan::app

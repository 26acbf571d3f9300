// The beam-output page with the interface box: which of the box's output
// groups are active and which of them receives the first beam outputs.
#pragma once

#include <QButtonGroup>
#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QRadioButton;

namespace orvelan::app {

class CZorbOutputOptions : public QWidget {
    Q_OBJECT

public:
    explicit CZorbOutputOptions(QWidget* parent = nullptr);

    // The loading steps, in the order the window calls them.
    // Enables the rows of the available groups, every box unchecked.
    void setAvailableGroups(int availableGroups);
    // Checks the boxes of the stored groups, available or not, and makes
    // the lowest of them first. Nothing stored active while the box offers
    // outputs activates the lowest available group, as one has to remain.
    void setActiveGroups(int activeGroups);
    // Takes the stored first group when it is active; anything else (also a
    // value that is not one group's bit) keeps the lowest active group.
    void setFirstGroup(int firstGroup);

    QCheckBox* activeBox(int group) const { return activeBoxes_[group]; }
    QLabel* groupLabel(int group) const { return labels_[group]; }
    QRadioButton* firstButton(int group) const { return firstButtons_[group]; }

public slots:
    // The active box of group g was clicked; it already shows its new state.
    void updateActiveOutputs(int g);
    void updateFirstOutput(int g);

signals:
    void outputGroupsChanged(int activeGroups, int firstGroup);

private:
    std::array<QCheckBox*, 3> activeBoxes_{};
    std::array<QLabel*, 3> labels_{};
    std::array<QRadioButton*, 3> firstButtons_{};
    QButtonGroup activeButtons_;
    QButtonGroup firstButtonGroup_;
    int availableGroups_ = 0;
    int activeGroups_ = 0;
    int firstGroup_ = 0;
};

}  // namespace orvelan::app

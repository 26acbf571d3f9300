#include "options/zorb_output_options.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

#include "options/page_tools.h"
#include "options/zorb_groups.h"

namespace orvelan::app {

namespace {

constexpr int kGroupCount = static_cast<int>(kZorbGroups.size());

}  // namespace

CZorbOutputOptions::CZorbOutputOptions(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("active")), 0, 0, Qt::AlignCenter);
    grid->addWidget(new QLabel(tr("group")), 0, 1, Qt::AlignCenter);
    grid->addWidget(new QLabel(tr("first group")), 0, 2, Qt::AlignCenter);
    activeButtons_.setExclusive(false);
    firstButtonGroup_.setExclusive(true);
    for (int g = 0; g < kGroupCount; ++g) {
        activeBoxes_[g] = new QCheckBox(this);
        labels_[g] = new QLabel(kZorbGroups[g].name, this);
        firstButtons_[g] = new QRadioButton(this);
        activeButtons_.addButton(activeBoxes_[g], g);
        firstButtonGroup_.addButton(firstButtons_[g], g);
        grid->addWidget(activeBoxes_[g], g + 1, 0, Qt::AlignCenter);
        grid->addWidget(labels_[g], g + 1, 1, Qt::AlignCenter);
        grid->addWidget(firstButtons_[g], g + 1, 2, Qt::AlignCenter);
    }
    connect(&activeButtons_, &QButtonGroup::idClicked, this, &CZorbOutputOptions::updateActiveOutputs);
    connect(&firstButtonGroup_, &QButtonGroup::idClicked, this, &CZorbOutputOptions::updateFirstOutput);
}

void CZorbOutputOptions::setAvailableGroups(int availableGroups)
{
    availableGroups_ = availableGroups;
    for (int g = 0; g < kGroupCount; ++g) {
        const bool available = (availableGroups & kZorbGroups[g].bit) != 0;
        activeBoxes_[g]->setEnabled(available);
        labels_[g]->setEnabled(available);
        activeBoxes_[g]->setChecked(false);
        firstButtons_[g]->setEnabled(false);
    }
    // A box without outputs leaves nothing to choose and nothing to report.
    setEnabled(availableGroups_ != 0);
}

void CZorbOutputOptions::setActiveGroups(int activeGroups)
{
    if ((activeGroups & 7) == 0) {
        for (const ZorbGroup& group : kZorbGroups) {
            if (availableGroups_ & group.bit) {
                activeGroups = group.bit;
                break;
            }
        }
    }
    activeGroups_ = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        const bool active = (activeGroups & kZorbGroups[g].bit) != 0;
        if (active)
            activeGroups_ |= kZorbGroups[g].bit;
        activeBoxes_[g]->setChecked(active);
        firstButtons_[g]->setEnabled(active);
    }
    for (int g = 0; g < kGroupCount; ++g) {
        if (activeGroups_ & kZorbGroups[g].bit) {
            firstButtons_[g]->setChecked(true);
            firstGroup_ = kZorbGroups[g].bit;
            break;
        }
    }
}

void CZorbOutputOptions::setFirstGroup(int firstGroup)
{
    for (int g = 0; g < kGroupCount; ++g) {
        if (kZorbGroups[g].bit == firstGroup && firstButtons_[g]->isEnabled()) {
            firstButtons_[g]->setChecked(true);
            firstGroup_ = firstGroup;
        }
    }
}

void CZorbOutputOptions::updateActiveOutputs(int g)
{
    if (g < 0 || g >= kGroupCount)
        return;
    const int bit = kZorbGroups[g].bit;
    if (activeBoxes_[g]->isChecked()) {
        activeGroups_ |= bit;
        firstButtons_[g]->setEnabled(true);
        emit outputGroupsChanged(activeGroups_, firstGroup_);
        return;
    }
    if (activeGroups_ == bit) {
        refuse(this, tr("ZORB Options"), tr("One output group has to remain active!"));
        activeBoxes_[g]->setChecked(true);
        return;
    }
    if (firstButtons_[g]->isChecked()) {
        refuse(this, tr("ZORB Options"),
               tr("Please set the \"first output\" to another output group before disabling this output"));
        activeBoxes_[g]->setChecked(true);
        return;
    }
    activeGroups_ &= ~bit;
    firstButtons_[g]->setEnabled(false);
    emit outputGroupsChanged(activeGroups_, firstGroup_);
}

void CZorbOutputOptions::updateFirstOutput(int g)
{
    if (g < 0 || g >= kGroupCount)
        return;
    firstGroup_ = kZorbGroups[g].bit;
    emit outputGroupsChanged(activeGroups_, firstGroup_);
}

}  // namespace orvelan::app

#include "options/zorb_monitor_options.h"

#include <QGridLayout>
#include <QLabel>

#include "options/zorb_groups.h"

namespace orvelan::app {

CZorbMonitorOptions::CZorbMonitorOptions(QWidget* parent)
    : CMonitorChannelPage(parent), groupList_(new QComboBox(this), this, &CZorbMonitorOptions::updateOutputGroup)
{
    auto* grid = new QGridLayout(this);
    addCountRow(grid, 0);
    grid->addWidget(new QLabel(tr("Output Group:")), 1, 0, Qt::AlignRight);
    grid->addWidget(groupList_.list(), 1, 1, Qt::AlignLeft);
    addOffsetRow(grid, 2);
}

void CZorbMonitorOptions::setAvailableGroups(int availableGroups)
{
    // The box offers a leading run of the table (1+2 or 1+2+4), but the
    // list keeps its own index-to-group map so that any mask lists right.
    QStringList names;
    listedGroups_.clear();
    for (int g = 0; g < static_cast<int>(kZorbGroups.size()); ++g) {
        if (availableGroups & kZorbGroups[g].bit) {
            listedGroups_ << g;
            names << kZorbGroups[g].name;
        }
    }
    groupList_.refill(names, names.isEmpty() ? -1 : 0);
    channelBase_ = names.isEmpty() ? 0 : kZorbGroups[listedGroups_[0]].base;
}

void CZorbMonitorOptions::setStartChannel(int monitorChannel)
{
    if (listedGroups_.isEmpty()) {
        fillOffsetList(0, 0);
        return;
    }
    int entry = 0;
    int offset = 0;
    for (int i = 0; i < listedGroups_.size(); ++i) {
        const ZorbGroup& group = kZorbGroups[listedGroups_[i]];
        if (monitorChannel >= group.base && monitorChannel < group.base + group.size) {
            entry = i;
            offset = monitorChannel - group.base;
            break;
        }
    }
    const ZorbGroup& group = kZorbGroups[listedGroups_[entry]];
    channelBase_ = group.base;
    groupList_.select(entry);
    fillOffsetList(offset, group.size);
}

void CZorbMonitorOptions::updateOutputGroup(int index)
{
    if (index < 0 || index >= listedGroups_.size())
        return;
    const ZorbGroup& group = kZorbGroups[listedGroups_[index]];
    channelBase_ = group.base;
    fillOffsetList(0, group.size);
    report(numChannels());
}

}  // namespace orvelan::app

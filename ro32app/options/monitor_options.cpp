#include "options/monitor_options.h"

#include <QGridLayout>

#include <algorithm>

namespace orvelan::app {

CMonitorOptions::CMonitorOptions(QWidget* parent) : CMonitorChannelPage(parent)
{
    auto* grid = new QGridLayout(this);
    addCountRow(grid, 0);
    addOffsetRow(grid, 1);
}

void CMonitorOptions::setNumAvailableChannels(int driverOutputs)
{
    const int entries = std::max(0, driverOutputs);
    if (offsetList()->count() != entries || entries == 0)
        fillOffsetList(0, entries);
}

void CMonitorOptions::setStartChannel(int monitorChannelOffset)
{
    selectOffset(monitorChannelOffset);
}

}  // namespace orvelan::app

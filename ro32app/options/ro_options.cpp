#include "options/ro_options.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "options/monitor_options.h"
#include "options/output_options.h"
#include "options/zorb_monitor_options.h"
#include "options/zorb_output_options.h"

namespace orvelan::app {

CRoOptions::CRoOptions(QWidget* parent) : QWidget(parent), tabs_(new QTabWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
}

template <class Page, class PageSignal, class WindowSignal>
Page* CRoOptions::page(Page*& slot, const QString& title, PageSignal pageSignal, WindowSignal windowSignal)
{
    if (!slot) {
        slot = new Page(tabs_);
        tabs_->addTab(slot, title);
        connect(slot, pageSignal, this, windowSignal);
    }
    return slot;
}

void CRoOptions::addOutputTab(int numOutputChannels, int outputChannelOffset, int maxOutputChannels,
                              int driverOutputs)
{
    COutputOptions* output = page(outputPage_, tr("Output"), &COutputOptions::outputChannelsChanged,
                                  &CRoOptions::outputChannelsChanged);
    output->setNumAvailableChannels(driverOutputs);
    output->setMaxOutputChannels(maxOutputChannels);
    output->setStartChannel(outputChannelOffset);
    output->setNumOutputChannels(numOutputChannels);
}

void CRoOptions::addMonitorTab(int numMonitorChannels, int monitorChannelOffset, int driverOutputs)
{
    CMonitorOptions* monitor = page(monitorPage_, tr("Monitor"), &CMonitorOptions::monitorChannelsChanged,
                                    &CRoOptions::monitorChannelsChanged);
    monitor->setNumAvailableChannels(driverOutputs);
    monitor->setStartChannel(monitorChannelOffset);
    monitor->setNumMonitorChannels(numMonitorChannels);
}

void CRoOptions::addZorbOutputTab(int availableGroups, int activeGroups, int firstGroup)
{
    CZorbOutputOptions* output = page(zorbOutputPage_, tr("ZORB Output"), &CZorbOutputOptions::outputGroupsChanged,
                                      &CRoOptions::zorbOutputGroupsChanged);
    output->setAvailableGroups(availableGroups);
    output->setActiveGroups(activeGroups);
    output->setFirstGroup(firstGroup);
}

void CRoOptions::addZorbMonitorTab(int availableGroups, int monitorChannel, int numMonitorChannels)
{
    CZorbMonitorOptions* monitor = page(zorbMonitorPage_, tr("ZORB Monitor"),
                                        &CZorbMonitorOptions::monitorChannelsChanged,
                                        &CRoOptions::monitorChannelsChanged);
    monitor->setAvailableGroups(availableGroups);
    monitor->setStartChannel(monitorChannel);
    monitor->setNumMonitorChannels(numMonitorChannels);
}

}  // namespace orvelan::app

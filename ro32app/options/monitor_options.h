// The monitor page without the interface box: how many monitor channels
// (1 or 2) and the first of the driver's outputs that carries them.
#pragma once

#include "options/monitor_channel_page.h"

namespace orvelan::app {

class CMonitorOptions : public CMonitorChannelPage {
    Q_OBJECT

public:
    explicit CMonitorOptions(QWidget* parent = nullptr);

    // The loading steps, in the order the window calls them. Values that do
    // not fit the device are clamped without a message.
    void setNumAvailableChannels(int driverOutputs);
    void setStartChannel(int monitorChannelOffset);
    using CMonitorChannelPage::setNumMonitorChannels;
};

}  // namespace orvelan::app

// The monitor page with the interface box: how many monitor channels, the
// output group that carries them and the offset inside that group. The
// channel it reports is the group's base plus that offset.
#pragma once

#include <QList>

#include "options/monitor_channel_page.h"

namespace orvelan::app {

class CZorbMonitorOptions : public CMonitorChannelPage {
    Q_OBJECT

public:
    explicit CZorbMonitorOptions(QWidget* parent = nullptr);

    // The loading steps, in the order the window calls them.
    // Lists the available groups in table order and selects the first.
    void setAvailableGroups(int availableGroups);
    // Chooses the listed group that holds the channel, else the first
    // listed group at offset 0.
    void setStartChannel(int monitorChannel);
    using CMonitorChannelPage::setNumMonitorChannels;

    QComboBox* groupList() const { return groupList_.list(); }

public slots:
    // The user chose another group: its offsets from 0 on.
    void updateOutputGroup(int index);

private:
    QuietList groupList_;
    // The table index of each groupList entry.
    QList<int> listedGroups_;
};

}  // namespace orvelan::app

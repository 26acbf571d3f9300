// What both monitor pages share: the "1"/"2" channel-count radio buttons,
// the list of offsets the first monitor channel can take, and the questions
// asked when a count and an offset do not fit together. The plain page
// counts offsets among the driver's outputs; the box page inside a group
// whose first channel is channelBase_.
#pragma once

#include <QButtonGroup>
#include <QWidget>

#include "options/page_tools.h"

class QGridLayout;
class QRadioButton;

namespace orvelan::app {

class CMonitorChannelPage : public QWidget {
    Q_OBJECT

public:
    // 1 while "1" is checked, else 2.
    int numChannels() const;

    QRadioButton* oneChannelButton() const { return oneChannelButton_; }
    QRadioButton* twoChannelsButton() const { return twoChannelsButton_; }
    QComboBox* offsetList() const { return offsetList_.list(); }

public slots:
    // A click on "1" or "2" (id 1 or 2), also on the one already checked.
    void updateNumMonitorChannels(int numChannels);
    // The user chose another offset.
    void updateStartChannel(int index);

signals:
    void monitorChannelsChanged(int numChannels, int offset);

protected:
    explicit CMonitorChannelPage(QWidget* parent);

    // "Number of channels:" beside the radio buttons, "Channel offset:"
    // beside the offset list.
    void addCountRow(QGridLayout* grid, int row);
    void addOffsetRow(QGridLayout* grid, int row);

    // Refills the offsets with "0" to size - 1 and selects offset clamped
    // so that the channels as the radio buttons stand fit. Fewer than two
    // entries leave "1" as the only choice; none disables the page.
    void fillOffsetList(int offset, int size);
    // Stores the offset clamped as fillOffsetList does and selects it.
    void selectOffset(int offset);
    // Checks the radio button of a stored count when that many channels fit
    // from the selected offset on; otherwise the buttons stay as they are.
    void setNumMonitorChannels(int numMonitorChannels);

    // Emits the count with the channel the offset stands for.
    void report(int numChannels);

    int channelBase_ = 0;
    int offset_ = 0;

private:

    QRadioButton* oneChannelButton_;
    QRadioButton* twoChannelsButton_;
    QButtonGroup channelButtons_;
    QuietList offsetList_;
};

}  // namespace orvelan::app

#include "options/monitor_channel_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>

namespace orvelan::app {

CMonitorChannelPage::CMonitorChannelPage(QWidget* parent)
    : QWidget(parent),
      oneChannelButton_(new QRadioButton("1", this)),
      twoChannelsButton_(new QRadioButton("2", this)),
      offsetList_(new QComboBox(this), this, &CMonitorChannelPage::updateStartChannel)
{
    oneChannelButton_->setChecked(true);
    channelButtons_.setExclusive(true);
    channelButtons_.addButton(oneChannelButton_, 1);
    channelButtons_.addButton(twoChannelsButton_, 2);
    connect(&channelButtons_, &QButtonGroup::idClicked, this, &CMonitorChannelPage::updateNumMonitorChannels);
}

int CMonitorChannelPage::numChannels() const
{
    return oneChannelButton_->isChecked() ? 1 : 2;
}

void CMonitorChannelPage::addCountRow(QGridLayout* grid, int row)
{
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(oneChannelButton_);
    buttons->addWidget(twoChannelsButton_);
    grid->addWidget(new QLabel(pageText(this, "Number of channels:")), row, 0, Qt::AlignRight);
    grid->addLayout(buttons, row, 1, Qt::AlignLeft);
}

void CMonitorChannelPage::addOffsetRow(QGridLayout* grid, int row)
{
    grid->addWidget(new QLabel(pageText(this, "Channel offset:")), row, 0, Qt::AlignRight);
    grid->addWidget(offsetList_.list(), row, 1, Qt::AlignLeft);
}

void CMonitorChannelPage::fillOffsetList(int offset, int size)
{
    const int entries = std::max(0, size);
    offsetList_.refill(numberEntries(0, entries), -1);
    // Two monitor channels need two outputs: on a smaller device "2" is
    // no choice at all rather than a question that cannot be answered.
    if (entries < 2)
        oneChannelButton_->setChecked(true);
    twoChannelsButton_->setEnabled(entries >= 2);
    setEnabled(entries > 0);
    selectOffset(offset);
}

void CMonitorChannelPage::selectOffset(int offset)
{
    offset_ = std::clamp(offset, 0, std::max(0, offsetList_.count() - numChannels()));
    offsetList_.select(offsetList_.count() > 0 ? offset_ : -1);
}

void CMonitorChannelPage::setNumMonitorChannels(int numMonitorChannels)
{
    if (offsetList_.count() - offsetList_.list()->currentIndex() < numMonitorChannels)
        return;
    if (numMonitorChannels == 1)
        oneChannelButton_->setChecked(true);
    else if (numMonitorChannels == 2)
        twoChannelsButton_->setChecked(true);
}

void CMonitorChannelPage::updateNumMonitorChannels(int numChannels)
{
    const int count = offsetList_.count();
    if (count == 0)
        return;
    const int wanted = std::clamp(numChannels, 1, std::min(2, count));
    if (wanted == 1)
        oneChannelButton_->setChecked(true);
    if (count - offset_ < wanted) {
        if (!askToAdjust(this, pageText(this, "Monitor Options"),
                         pageText(this, "There are not enough channels available beyond the current offset.\n"
                                        "Do you want to reduce the offset by one?"))) {
            oneChannelButton_->setChecked(true);
            return;
        }
        selectOffset(offset_ - 1);
    }
    report(wanted);
}

void CMonitorChannelPage::updateStartChannel(int index)
{
    const int count = offsetList_.count();
    if (index < 0 || index >= count)
        return;
    int n = numChannels();
    if (count - index < n) {
        if (!askToAdjust(this, pageText(this, "Monitor Options"),
                         pageText(this, "There are not enough channels available beyond the offset selection.\n"
                                        "Do you want to reduce the number of monitor channels?"))) {
            offsetList_.select(offset_);
            return;
        }
        oneChannelButton_->setChecked(true);
        n = 1;
    }
    offset_ = index;
    report(n);
}

void CMonitorChannelPage::report(int numChannels)
{
    emit monitorChannelsChanged(numChannels, channelBase_ + offset_);
}

}  // namespace orvelan::app

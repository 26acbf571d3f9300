#include "options/output_options.h"

#include <QGridLayout>
#include <QLabel>

#include <algorithm>

namespace orvelan::app {

COutputOptions::COutputOptions(QWidget* parent)
    : QWidget(parent),
      numberList_(new QComboBox(this), this, &COutputOptions::updateNumOutputChannels),
      offsetList_(new QComboBox(this), this, &COutputOptions::updateStartChannel)
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Number of channels:")), 0, 0, Qt::AlignRight);
    grid->addWidget(numberList_.list(), 0, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(tr("Channel offset:")), 1, 0, Qt::AlignRight);
    grid->addWidget(offsetList_.list(), 1, 1, Qt::AlignLeft);
}

void COutputOptions::setNumAvailableChannels(int driverOutputs)
{
    const int entries = std::max(0, driverOutputs);
    if (offsetList_.count() != entries) {
        offsetList_.refill(numberEntries(0, entries), entries > 0 ? 0 : -1);
        offset_ = 0;
    }
    // Without an output there is nothing to choose and nothing to report.
    setEnabled(entries > 0);
}

void COutputOptions::setMaxOutputChannels(int maxOutputChannels)
{
    const int entries = std::clamp(maxOutputChannels, 0, offsetList_.count());
    if (numberList_.count() != entries) {
        numChannels_ = std::min(entries, 2);
        numberList_.refill(numberEntries(1, entries), numChannels_ - 1);
    }
}

void COutputOptions::setStartChannel(int outputChannelOffset)
{
    // The count is loaded after the offset and shrinks to the room the offset
    // leaves, as the window's own output list does; clamping against the
    // default count here would show a stored single channel at the last
    // output one channel lower than the window plays it.
    offset_ = std::clamp(outputChannelOffset, 0, std::max(0, offsetList_.count() - 1));
    offsetList_.select(offsetList_.count() > 0 ? offset_ : -1);
}

void COutputOptions::setNumOutputChannels(int numOutputChannels)
{
    const int room = offsetList_.count() - offset_;
    int count = numOutputChannels;
    if (count > room)
        count = numberList_.count() - offset_;
    // The list can be shorter than the room (a device of more outputs than
    // beams), so the count above may still not fit.
    numChannels_ = numberList_.count() > 0 ? std::clamp(count, 1, std::min(numberList_.count(), room)) : 0;
    numberList_.select(numChannels_ - 1);
}

void COutputOptions::updateNumOutputChannels(int index)
{
    const int count = offsetList_.count();
    if (index < 0 || index >= numberList_.count() || index == numChannels_ - 1)
        return;
    const int wanted = index + 1;
    if (count - offset_ < wanted) {
        if (!askToAdjust(this, tr("Output Options"),
                         tr("There are not enough channels available beyond the current offset.\n"
                            "Do you want to reduce the offset?"))) {
            numberList_.select(numChannels_ - 1);
            return;
        }
        offset_ = count - wanted;
        offsetList_.select(offset_);
    }
    numChannels_ = wanted;
    emit outputChannelsChanged(numChannels_, offset_);
}

void COutputOptions::updateStartChannel(int index)
{
    const int count = offsetList_.count();
    if (index < 0 || index >= count || index == offset_)
        return;
    if (count - index < numChannels_) {
        if (!askToAdjust(this, tr("Output Options"),
                         tr("There are not enough channels available beyond the offset selection.\n"
                            "Do you want to reduce the number of output channels?"))) {
            offsetList_.select(offset_);
            return;
        }
        numChannels_ = count - index;
        numberList_.select(numChannels_ - 1);
    }
    offset_ = index;
    emit outputChannelsChanged(numChannels_, offset_);
}

}  // namespace orvelan::app

#include "widgets/monitor_unit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "widgets/volume_unit.h"

namespace orvelan::app {

CMonitorUnit::CMonitorUnit(int numInputs, int numOutputs, QWidget* parent)
    : QWidget(parent), numInputs_(std::max(numInputs, 0)), numOutputs_(std::max(numOutputs, 0))
{
    strip_ = new CVolumeUnit(0, this);
    strip_->setGainTableEnabled(true);
    strip_->setRange(-40, 40, 0.1f, 1, 50);
    strip_->setTicksVisible(2);
    strip_->setTickInterval(10);
    strip_->setUnit(QString());

    onButton_ = new QCheckBox(QStringLiteral("monitor"), this);
    channelBox_ = new QComboBox(this);
    QStringList entries;
    for (int i = 1; i <= numInputs_; ++i)
        entries << QString::number(i) + " (input)";
    for (int i = 1; i <= numOutputs_; ++i)
        entries << QString::number(i) + " (output)";
    channelBox_->addItems(entries);

    auto* column = new QVBoxLayout;
    column->addWidget(onButton_);
    column->addWidget(channelBox_);
    column->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(column);
    layout->addWidget(strip_);

    // Only now: filling the box must not report a channel.
    connect(strip_, &CVolumeUnit::gainChanged, this, &CMonitorUnit::gainChanged);
    connect(onButton_, &QCheckBox::clicked, this, &CMonitorUnit::statusChanged);
    connect(channelBox_, &QComboBox::currentIndexChanged, this, &CMonitorUnit::updateChannel);
}

void CMonitorUnit::updateChannel(int index)
{
    if (index < 0)
        return;
    if (index < numInputs_)
        emit channelChanged(0, index);
    else
        emit channelChanged(1, index - numInputs_);
}

void CMonitorUnit::setStatus(bool on)
{
    onButton_->setChecked(on);
}

void CMonitorUnit::setChannel(int inout, int channel)
{
    // Checked per kind: the flat index alone would let input 35 of a
    // 32-input device select output 3, or output -1 select the last input.
    const int count = inout == 0 ? numInputs_ : inout == 1 ? numOutputs_ : 0;
    if (channel < 0 || channel >= count)
        return;
    channelBox_->setCurrentIndex(numInputs_ * inout + channel);
}

void CMonitorUnit::setVolume(int dB)
{
    strip_->setVolume(static_cast<float>(dB));
}

bool CMonitorUnit::status() const
{
    return onButton_->isChecked();
}

int CMonitorUnit::channel() const
{
    const int index = channelBox_->currentIndex();
    return index >= numInputs_ ? index - numInputs_ : index;
}

bool CMonitorUnit::isOutput() const
{
    return channelBox_->currentIndex() >= numInputs_;
}

int CMonitorUnit::volume() const
{
    return static_cast<int>(strip_->volume());
}

float CMonitorUnit::gain() const
{
    return strip_->gain();
}

}  // namespace orvelan::app

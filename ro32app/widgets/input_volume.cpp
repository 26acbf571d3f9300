#include "widgets/input_volume.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include <cmath>

#include "widgets/volume_unit.h"

namespace orvelan::app {

CInputVolume::CInputVolume(QWidget* parent) : QWidget(parent)
{
    for (int step : steps_)
        factors_.push_back(static_cast<float>(std::pow(10.0, 0.05 * step)));

    strip_ = new CVolumeUnit(CVolumeUnit::kMute, this);
    strip_->setGainTableEnabled(true);
    strip_->setRange(minDb_, maxDb_, 0.1f, 1, 10);
    strip_->setTicksVisible(2);
    strip_->setTickInterval(5);
    strip_->setUnit(QString());

    // Highest step at the top, as on the box's own front panel.
    auto* grid = new QGridLayout;
    const int count = static_cast<int>(steps_.size());
    for (int row = 0; row < count; ++row) {
        const int id = count - 1 - row;
        auto* button = new QRadioButton(this);
        buttonGroup_.addButton(button, id);
        grid->addWidget(button, row, 0);
        grid->addWidget(new QLabel(QString::number(steps_[static_cast<std::size_t>(id)]) + " dB", this), row, 1);
    }
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(10);
    layout->addWidget(strip_);

    sliderGain_ = strip_->gain();
    selectStep(0);

    connect(strip_, &CVolumeUnit::gainChanged, this, &CInputVolume::updateSliderGain);
    connect(strip_, &CVolumeUnit::muteClicked, this, &CInputVolume::muteClicked);
    connect(&buttonGroup_, &QButtonGroup::idClicked, this, &CInputVolume::updatePreampVolume);
}

void CInputVolume::selectStep(int index)
{
    preampIndex_ = index;
    preampFactor_ = factors_[static_cast<std::size_t>(index)];
    gain_ = preampFactor_ * sliderGain_;
    buttonGroup_.button(index)->setChecked(true);
}

void CInputVolume::updatePreampVolume(int index)
{
    if (index < 0 || index >= static_cast<int>(steps_.size()))
        return;
    selectStep(index);
    emit preampVolumeChanged(steps_[static_cast<std::size_t>(index)]);
    emit gainChanged(gain_);
}

void CInputVolume::updateSliderGain(float gain)
{
    sliderGain_ = gain;
    gain_ = preampFactor_ * sliderGain_;
    emit sliderGainChanged(sliderGain_);
    emit gainChanged(gain_);
}

void CInputVolume::setVolume(int dB)
{
    strip_->setVolume(static_cast<float>(dB));
    sliderGain_ = strip_->gain();
    gain_ = preampFactor_ * sliderGain_;
}

int CInputVolume::volume() const
{
    return static_cast<int>(strip_->volume());
}

void CInputVolume::setPreampVolume(int dB)
{
    const int count = static_cast<int>(steps_.size());
    int index = 0;
    while (index < count - 1 && dB > steps_[static_cast<std::size_t>(index)])
        ++index;
    selectStep(index);
}

}  // namespace orvelan::app

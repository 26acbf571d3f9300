#include "widgets/volume_unit.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

#include "widgets/on_off_button.h"

namespace orvelan::app {

namespace {

constexpr int kSmallFontPoints = 7;
constexpr int kTickFontPixels = 8;
constexpr int kButtonSize = 14;

// A whole number in standard notation: what the field holds once the user
// has finished typing one. "-", "" and "1." are on the way to a number, and
// read as one they would jump the gain to 0 dB (or 1 dB) mid-keystroke.
bool parseCompleteNumber(const QString& text, float& value)
{
    static const QRegularExpression complete(QStringLiteral("^[+-]?(\\d+|\\d*\\.\\d+)$"));
    if (!complete.match(text).hasMatch())
        return false;
    bool ok = false;
    value = QLocale::c().toFloat(text, &ok);
    return ok;
}

COnOffButton* makeSwitch(QWidget* parent, const QString& caption, int onScheme, int offScheme,
                         const QString& toolTip, const QFont& font)
{
    auto* button = new COnOffButton(parent);
    button->setTexts(caption, caption);
    button->setColorScheme(onScheme, offScheme);
    button->setToolTip(toolTip);
    button->setCheckable(true);
    button->setMinimumSize(kButtonSize, kButtonSize);
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setFont(font);
    return button;
}

int minimumHeightOf(const QWidget* widget)
{
    return widget->minimumHeight() > 0 ? widget->minimumHeight() : widget->minimumSizeHint().height();
}

}  // namespace

int CVolumeUnit::nearestStep(float steps)
{
    return static_cast<int>(std::floor(steps + 0.5f));
}

CVolumeUnit::CVolumeUnit(int flags, QWidget* parent)
    : QWidget(parent), label_(QString::number(0)), flags_(flags)
{
    QFont smallFont = font();
    smallFont.setPointSize(kSmallFontPoints);

    slider_ = new QSlider(Qt::Vertical, this);
    muteButton_ = makeSwitch(this, "M", COnOffButton::kRed, COnOffButton::kGreen, "Mute", smallFont);
    soloButton_ = makeSwitch(this, "S", COnOffButton::kRed, COnOffButton::kGreen, "Solo", smallFont);
    linkButton_ = makeSwitch(this, "L", COnOffButton::kYellow, COnOffButton::kGrey, "Link", smallFont);

    validator_.setLocale(QLocale::c());
    valueEdit_ = new QLineEdit(this);
    valueEdit_->setAlignment(Qt::AlignHCenter);
    valueEdit_->setValidator(&validator_);
    valueEdit_->setFont(smallFont);
    valueEdit_->setText(QStringLiteral("0"));
    labelWidget_ = new QLabel(label_, this);
    labelWidget_->setAlignment(Qt::AlignHCenter);
    labelWidget_->setToolTip(QStringLiteral("Channel Label (click to change)"));

    connect(muteButton_, &QPushButton::clicked, this, &CVolumeUnit::muteClicked);
    connect(soloButton_, &QPushButton::clicked, this, &CVolumeUnit::soloClicked);
    connect(linkButton_, &QPushButton::clicked, this, &CVolumeUnit::linkClicked);
    connect(this, &CVolumeUnit::changeLabel, this, &CVolumeUnit::labelDialog);
    setRange(minDb_, maxDb_, stepDb_, singleStep_, static_cast<int>(5.0f / stepDb_));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 11, 2, 11);
    int extraHeight = 0;
    if (flags_ & kLabel) {
        layout->addWidget(labelWidget_, 0, Qt::AlignHCenter);
        extraHeight += minimumHeightOf(labelWidget_) + layout->spacing();
    } else {
        labelWidget_->hide();
    }
    layout->addWidget(valueEdit_, 0, Qt::AlignHCenter);
    layout->addWidget(slider_, 0, Qt::AlignHCenter);
    // All three switches exist whatever the flags, so the setters always
    // have a button; one that is not placed must not show up in the corner.
    QVBoxLayout* buttons = nullptr;
    for (auto [button, flag] : {std::pair{muteButton_, kMute}, {soloButton_, kSolo}, {linkButton_, kLink}}) {
        if (!(flags_ & flag)) {
            button->hide();
            continue;
        }
        if (!buttons) {
            buttons = new QVBoxLayout;
            layout->addLayout(buttons);
        }
        buttons->addWidget(button, 0, Qt::AlignHCenter);
        extraHeight += minimumHeightOf(button) + buttons->spacing();
    }
    minHeight_ += extraHeight;
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void CVolumeUnit::setRange(int minDb, int maxDb, float stepDb, int singleStep, int pageStep)
{
    minDb_ = minDb;
    maxDb_ = maxDb;
    stepDb_ = stepDb;
    singleStep_ = singleStep;
    disconnect(slider_, nullptr, this, nullptr);
    disconnect(valueEdit_, nullptr, this, nullptr);
    const int minStep = static_cast<int>(std::floor(minDb / stepDb));
    const int maxStep = static_cast<int>(std::ceil(maxDb / stepDb));
    slider_->setRange(minStep, maxStep);
    slider_->setSingleStep(singleStep);
    slider_->setPageStep(pageStep);
    validator_.setRange(minDb, maxDb, 1);
    validator_.setNotation(QDoubleValidator::StandardNotation);
    connect(slider_, &QSlider::valueChanged, this, qOverload<int>(&CVolumeUnit::updateVolume));
    connect(valueEdit_, &QLineEdit::textChanged, this, qOverload<const QString&>(&CVolumeUnit::updateVolume));
    connect(slider_, &QSlider::valueChanged, this, &CVolumeUnit::sendGain);
    gainTable_.clear();
    rebuildTickLabels(tickInterval_);
    if (gainTableEnabled_) {
        gainTable_.resize(static_cast<std::size_t>(maxStep - minStep + 1));
        for (std::size_t k = 0; k < gainTable_.size(); ++k) {
            const double dB = (minStep + static_cast<int>(k)) * static_cast<double>(stepDb);
            gainTable_[k] = static_cast<float>(std::pow(10.0, 0.05 * dB));
        }
    }
}

void CVolumeUnit::setGainTableEnabled(bool enabled)
{
    gainTableEnabled_ = enabled;
    setRange(minDb_, maxDb_, stepDb_, singleStep_, 10);
}

void CVolumeUnit::setTicksVisible(int position)
{
    tickPosition_ = position;
    if (position != 0)
        slider_->setTickPosition(QSlider::TicksRight);
    update();
}

void CVolumeUnit::setTickInterval(int dB)
{
    tickInterval_ = dB;
    rebuildTickLabels(dB);
}

void CVolumeUnit::rebuildTickLabels(int interval)
{
    tickLabels_.clear();
    if (interval <= 0)
        return;
    for (int v = minDb_; v <= maxDb_; v += interval)
        tickLabels_ << QString::number(v) + unit_;
}

void CVolumeUnit::setUnit(const QString& unit)
{
    unit_ = unit;
    setTickInterval(tickInterval_);
}

float CVolumeUnit::volume() const
{
    return slider_->value() * stepDb_;
}

float CVolumeUnit::gain() const
{
    if (gainTable_.empty())
        return 0.0f;
    return gainTable_[static_cast<std::size_t>(slider_->value() - slider_->minimum())];
}

void CVolumeUnit::setVolume(float dB)
{
    slider_->setValue(nearestStep(dB / stepDb_));
}

void CVolumeUnit::setMute(bool on)
{
    muteButton_->setChecked(on);
}

void CVolumeUnit::setSolo(bool on)
{
    soloButton_->setChecked(on);
}

void CVolumeUnit::setLink(bool on)
{
    linkButton_->setChecked(on);
}

void CVolumeUnit::sendGain(int step)
{
    if (gainTableEnabled_ && !gainTable_.empty())
        emit gainChanged(gainTable_[static_cast<std::size_t>(step - slider_->minimum())]);
    emit volumeChanged(step * stepDb_);
}

void CVolumeUnit::updateVolume(int step)
{
    valueEdit_->setText(QString::number(step * stepDb_, 'f', 1));
}

void CVolumeUnit::updateVolume(const QString& text)
{
    float dB = 0.0f;
    if (parseCompleteNumber(text, dB))
        slider_->setValue(nearestStep(dB / stepDb_));
}

void CVolumeUnit::setLabel(const QString& label)
{
    if (label == label_)
        return;
    label_ = label;
    labelWidget_->setText(label);
    labelWidget_->setToolTip(label);
    emit labelChanged(label);
}

void CVolumeUnit::labelDialog()
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, QStringLiteral("Label Dialog"), QStringLiteral("New Label:"),
                                               QLineEdit::Normal, label_, &ok);
    if (ok && !text.isEmpty())
        setLabel(text);
}

void CVolumeUnit::mousePressEvent(QMouseEvent*)
{
    if (labelWidget_->testAttribute(Qt::WA_UnderMouse))
        emit changeLabel();
}

QSize CVolumeUnit::sizeHint() const
{
    return QSize(minWidth_ + 10, minHeight_ + 20);
}

QSize CVolumeUnit::minimumSizeHint() const
{
    return QSize(minWidth_, minHeight_);
}

void CVolumeUnit::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    {
        QPainter painter(this);
        painter.setPen(Qt::gray);
        painter.setBrush(QColor(220, 220, 220));
        painter.drawRoundedRect(QRect(1, 2, w - 3, h - 3), w / 6, w / 6, Qt::AbsoluteSize);
        if (flags_ & kLabel) {
            const int y = valueEdit_->geometry().top() - 4;
            painter.drawLine(4, y, w - 5, y);
        }
    }
    if (tickPosition_ == QSlider::TicksRight)
        paintTickLabels();
}

// Labels to the right of the slider, lowest at the bottom of its groove.
void CVolumeUnit::paintTickLabels()
{
    const QRect groove = slider_->geometry();
    const int bottom = groove.top() + groove.height() - 10;
    const double pixelsPerDb = (groove.height() - 10) / static_cast<double>(maxDb_ - minDb_);
    int interval = tickInterval_;
    if (interval == 0) {
        interval = static_cast<int>((maxDb_ - minDb_) * 0.5);
        rebuildTickLabels(interval);
    }
    QPainter painter(this);
    QFont tickFont = font();
    tickFont.setPixelSize(kTickFontPixels);
    painter.setFont(tickFont);
    painter.setPen(Qt::darkGray);
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (int k = 0; k < tickLabels_.size(); ++k) {
        const int top = bottom - nearestStep(static_cast<float>(k * interval * pixelsPerDb));
        painter.drawText(QRect(groove.left() + groove.width(), top, 34, 10), Qt::AlignLeft | Qt::AlignVCenter,
                         tickLabels_[k]);
    }
}

}  // namespace orvelan::app

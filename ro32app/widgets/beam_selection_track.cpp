#include "widgets/beam_selection_track.h"

#include <QColorDialog>
#include <QComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "widgets/h_volume_slider.h"
#include "widgets/on_off_button.h"
#include "widgets/volume_unit.h"

namespace orvelan::app {

namespace {

constexpr int kMuteButtonMax = 16;
constexpr int kMuteFontPoints = 7;

// An angle cell: a sunken white box with the degrees centred in it.
QLabel* makeAngleCell(int width, int height)
{
    auto* cell = new QLabel;
    cell->setFixedSize(width, height);
    cell->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    cell->setAlignment(Qt::AlignCenter);
    cell->setStyleSheet("background-color: white;");
    cell->setAutoFillBackground(true);
    return cell;
}

int cellValue(const QLabel* cell)
{
    return cell ? cell->text().toInt() : 0;
}

// The box is refilled with its change signal cut, so a refill reports
// nothing; connectBack says whether the signal goes out again afterwards.
template <class Slot>
void refill(QComboBox* box, QMetaObject::Connection& connection, CBeamSelectionTrack* row, Slot slot,
            const QStringList& list, int index, bool connectBack)
{
    if (!box)
        return;
    QObject::disconnect(connection);
    box->clear();
    box->addItems(list);
    box->setCurrentIndex(index);
    if (connectBack)
        connection = QObject::connect(box, &QComboBox::currentIndexChanged, row, slot);
}

}  // namespace

CBeamSelectionTrack::CBeamSelectionTrack(QWidget* parent, int height, int swatchWidth, int labelWidth,
                                         int azimuthWidth, int elevationWidth, int patternWidth,
                                         int parameterWidth, int volumeWidth, int muteWidth)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout;
    if (swatchWidth != 0) {
        swatch_ = new QLabel;
        swatch_->setFixedSize(swatchWidth, height);
        layout->addWidget(swatch_);
        setColor(color_);
    }
    if (labelWidth != 0) {
        label_ = new QLabel;
        label_->setFixedSize(labelWidth, height);
        layout->addWidget(label_);
    }
    if (azimuthWidth != 0) {
        azimuth_ = makeAngleCell(azimuthWidth, height);
        layout->addWidget(azimuth_);
    }
    if (elevationWidth != 0) {
        elevation_ = makeAngleCell(elevationWidth, height);
        layout->addWidget(elevation_);
    }
    if (patternWidth != 0) {
        pattern_ = new QComboBox;
        pattern_->setFixedSize(patternWidth, height);
        patternConnection_ =
            connect(pattern_, &QComboBox::currentIndexChanged, this, &CBeamSelectionTrack::updatePattern);
        layout->addWidget(pattern_);
    }
    if (parameterWidth != 0) {
        parameter_ = new QComboBox;
        parameter_->setFixedSize(parameterWidth, height);
        parameterConnection_ =
            connect(parameter_, &QComboBox::currentIndexChanged, this, &CBeamSelectionTrack::updateParameter);
        layout->addWidget(parameter_);
    }
    if (volumeWidth != 0) {
        volumeBar_ = new CHVolumeSlider;
        volumeBar_->setFixedSize(volumeWidth, height + 10);
        layout->addWidget(volumeBar_);
    }
    if (muteWidth != 0) {
        mute_ = new COnOffButton;
        mute_->setColorScheme(COnOffButton::kRed, COnOffButton::kGreen);
        mute_->setTexts("M", "M");
        mute_->setCheckable(true);
        mute_->setToolTip("Mute");
        QFont font = mute_->font();
        font.setPointSize(kMuteFontPoints);
        mute_->setFont(font);
        const int side = std::min(muteWidth, kMuteButtonMax);
        mute_->setFixedSize(side, side);
        connect(mute_, &COnOffButton::clicked, this, &CBeamSelectionTrack::updateMute);
        layout->addWidget(mute_);
    }
    setLayout(layout);
    const QSize hint = layout->sizeHint();
    minWidth_ = hint.width();
    minHeight_ = hint.height();
}

CBeamSelectionTrack::~CBeamSelectionTrack()
{
    delete gainWindow_;
}

void CBeamSelectionTrack::setSelected(bool selected)
{
    selected_ = selected;
    update();
}

void CBeamSelectionTrack::setColor(const QColor& color)
{
    color_ = color;
    if (swatch_) {
        swatchPixmap_ = QPixmap(swatch_->size());
        swatchPixmap_.fill(QColor(255, 255, 255, 0));
        QPainter painter(&swatchPixmap_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(swatchPixmap_.rect());
        painter.end();
        swatch_->setPixmap(swatchPixmap_);
    }
    update();
}

void CBeamSelectionTrack::setLabel(const QString& label)
{
    if (!label_)
        return;
    label_->setText(label);
    label_->setToolTip(label);
}

void CBeamSelectionTrack::setPhi(int angle)
{
    if (azimuth_)
        azimuth_->setText(QString::number(angle % 360));
}

void CBeamSelectionTrack::rotatePhi(int delta)
{
    setPhi(phi() + delta);
}

void CBeamSelectionTrack::setTheta(int angle)
{
    if (elevation_)
        elevation_->setText(QString::number(angle));
}

void CBeamSelectionTrack::setPatternList(const QStringList& list, int index)
{
    refill(pattern_, patternConnection_, this, &CBeamSelectionTrack::updatePattern, list, index, true);
}

void CBeamSelectionTrack::setParameterList(const QStringList& list, int index)
{
    const bool choice = list.size() != 1;
    refill(parameter_, parameterConnection_, this, &CBeamSelectionTrack::updateParameter, list, index, choice);
    if (parameter_)
        parameter_->setEnabled(choice);
}

void CBeamSelectionTrack::setVolume(float dB)
{
    if (volumeBar_)
        volumeBar_->setValue(dB);
    if (gainStrip_)
        gainStrip_->setVolume(dB);
}

void CBeamSelectionTrack::setMute(bool mute)
{
    if (mute_)
        mute_->setChecked(mute);
}

QString CBeamSelectionTrack::label() const
{
    return label_ ? label_->text() : QString();
}

int CBeamSelectionTrack::phi() const
{
    return cellValue(azimuth_);
}

int CBeamSelectionTrack::theta() const
{
    return cellValue(elevation_);
}

QString CBeamSelectionTrack::patternText() const
{
    return pattern_ ? pattern_->currentText() : QString();
}

QString CBeamSelectionTrack::parameterText() const
{
    return parameter_ ? parameter_->currentText() : QString();
}

int CBeamSelectionTrack::patternIndex() const
{
    return pattern_ ? pattern_->currentIndex() : -1;
}

int CBeamSelectionTrack::parameterIndex() const
{
    return parameter_ ? parameter_->currentIndex() : -1;
}

float CBeamSelectionTrack::volume() const
{
    return volumeBar_ ? volumeBar_->value() : 0.0f;
}

bool CBeamSelectionTrack::isMuted() const
{
    return mute_ && mute_->isChecked();
}

void CBeamSelectionTrack::openGainWindow()
{
    gainStrip_ = new CVolumeUnit(CVolumeUnit::kLabel);
    gainStrip_->setLabel(label());
    gainStrip_->setRange(-20, 20, 0.1f, 1, 10);
    gainStrip_->setTicksVisible(2);
    gainStrip_->setTickInterval(5);
    gainStrip_->setUnit(QString());
    gainStrip_->setGainTableEnabled(true);
    gainStrip_->setVolume(volume());

    gainWindow_ = new QWidget;
    auto* layout = new QVBoxLayout;
    layout->addWidget(gainStrip_, 0, Qt::AlignCenter);
    gainWindow_->setLayout(layout);
    connect(gainStrip_, &CVolumeUnit::volumeChanged, this, &CBeamSelectionTrack::updateVolume);
    connect(gainStrip_, &CVolumeUnit::gainChanged, this, &CBeamSelectionTrack::updateGain);
    gainWindow_->show();
}

QSize CBeamSelectionTrack::sizeHint() const
{
    return QSize(minWidth_ + 10, minHeight_ + 10);
}

QSize CBeamSelectionTrack::minimumSizeHint() const
{
    return QSize(minWidth_, minHeight_);
}

void CBeamSelectionTrack::updatePattern(int index)
{
    // The editor refills the variant box for the new pattern and enables it.
    if (parameter_)
        parameter_->setEnabled(false);
    emit patternChanged(id_, index);
}

void CBeamSelectionTrack::updateParameter(int index)
{
    emit parameterChanged(id_, index);
}

void CBeamSelectionTrack::updateVolume(float dB)
{
    if (volumeBar_)
        volumeBar_->setValue(dB);
    emit volumeChanged(id_, dB);
}

void CBeamSelectionTrack::updateGain(float gain)
{
    emit gainChanged(id_, gain);
}

void CBeamSelectionTrack::updateMute(bool mute)
{
    emit muteChanged(id_, mute);
}

void CBeamSelectionTrack::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    QLinearGradient gradient(QPointF(0.1 * w, 0.3 * h), QPointF(w, 0.7 * h));
    if (selected_) {
        QColor from = color_;
        from.setAlpha(255);
        QColor to = color_;
        to.setAlpha(50);
        gradient.setColorAt(0.0, from);
        gradient.setColorAt(1.0, to);
    } else {
        gradient.setColorAt(0.0, QColor(220, 220, 220));
        gradient.setColorAt(1.0, QColor(240, 240, 240));
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    const int radius = h / 6;
    painter.drawRoundedRect(QRect(QPoint(1, 2), QPoint(w - 3, h - 2)), radius, radius, Qt::AbsoluteSize);
}

void CBeamSelectionTrack::mousePressEvent(QMouseEvent*)
{
    if (!selected_)
        emit trackClicked(id_);
}

void CBeamSelectionTrack::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget* cell = childAt(event->position().toPoint());
    if (!cell)
        return;
    if (cell == swatch_)
        askColor();
    else if (cell == label_)
        askLabel();
    else if (cell == azimuth_)
        askPhi();
    else if (cell == elevation_)
        askTheta();
    else if (cell == volumeBar_)
        showGainWindow();
}

void CBeamSelectionTrack::hideEvent(QHideEvent*)
{
    if (gainWindow_)
        gainWindow_->hide();
}

void CBeamSelectionTrack::askColor()
{
    const QColor chosen =
        QColorDialog::getColor(color_, nullptr, QString(), QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid())
        return;
    setColor(chosen);
    repaint();
    emit colorChanged(id_, chosen);
}

void CBeamSelectionTrack::askLabel()
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, tr("label"), tr("new label for beam track:"),
                                               QLineEdit::Normal, label(), &ok);
    if (!ok)
        return;
    // The tooltip keeps the label the editor gave the track.
    label_->setText(text);
    emit labelChanged(id_, text);
}

void CBeamSelectionTrack::askPhi()
{
    // 360 is accepted and shown as typed, like the dialog always did.
    int angle = 0;
    if (askAngle(azimuth_, tr("azimuth"), tr("azimuth angle in degree:"), 360, angle))
        emit phiChanged(id_, angle);
}

void CBeamSelectionTrack::askTheta()
{
    int angle = 0;
    if (askAngle(elevation_, tr("elevation"), tr("elevation angle in degree:"), 180, angle))
        emit thetaChanged(id_, angle);
}

bool CBeamSelectionTrack::askAngle(QLabel* cell, const QString& title, const QString& prompt, int maximum,
                                   int& angle)
{
    bool ok = false;
    angle = QInputDialog::getInt(this, title, prompt, cellValue(cell), 0, maximum, 1, &ok);
    if (ok)
        cell->setText(QString::number(angle));
    return ok;
}

void CBeamSelectionTrack::showGainWindow()
{
    if (!gainWindow_) {
        openGainWindow();
    } else if (gainWindow_->isVisible()) {
        gainWindow_->raise();
        gainWindow_->activateWindow();
    } else {
        gainWindow_->show();
    }
}

}  // namespace orvelan::app

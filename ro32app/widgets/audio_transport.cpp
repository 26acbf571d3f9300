#include "widgets/audio_transport.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>

namespace orvelan::app {

namespace {
constexpr int kImageSize = 512;
constexpr int kIconSize = 64;
}  // namespace

QPushButton* CAudioTransport::makeButton(const QString& iconPath, const char* text, const char* imageName,
                                         const char* toolTip, bool autoExclusive)
{
    // No parent yet: a button joins the widget (and its auto-exclusive
    // siblings) only when the layout places it.
    auto* button = new QPushButton;
    if (iconPath.isEmpty()) {
        button->setText(QString::fromLatin1(text));
    } else {
        QIcon icon;
        const QString base = iconPath + '/' + QString::fromLatin1(imageName);
        icon.addFile(base + "Inactive.png", QSize(kImageSize, kImageSize), QIcon::Normal, QIcon::Off);
        icon.addFile(base + "Active.png", QSize(kImageSize, kImageSize), QIcon::Normal, QIcon::On);
        button->setIcon(icon);
        button->setFlat(true);
        button->setIconSize(QSize(kIconSize, kIconSize));
    }
    button->setCheckable(true);
    button->setAutoExclusive(autoExclusive);
    button->setToolTip(QString::fromLatin1(toolTip));
    return button;
}

CAudioTransport::CAudioTransport(const QString& iconPath, int buttonMask, int recordMode, QWidget* parent)
    : QWidget(parent), recordMode_(recordMode)
{
    startButton_ = makeButton(iconPath, "Start", "play", "start streaming audio", true);
    stopButton_ = makeButton(iconPath, "Stop", "stop", "stop streaming audio", true);
    pauseButton_ = makeButton(iconPath, "Pause", "pause", "pause streaming audio", true);
    loopButton_ = makeButton(iconPath, "Loop", "loop", "loop audio stream", true);
    recordButton_ = makeButton(iconPath, "Rec", "record", "acivate/de-activate recording", false);
    connect(startButton_, &QPushButton::toggled, this, &CAudioTransport::start);
    connect(stopButton_, &QPushButton::toggled, this, &CAudioTransport::stop);
    connect(pauseButton_, &QPushButton::toggled, this, &CAudioTransport::pause);
    connect(loopButton_, &QPushButton::toggled, this, &CAudioTransport::loop);
    connect(recordButton_, &QPushButton::toggled, this, &CAudioTransport::record);

    auto* transportRow = new QHBoxLayout;
    int unplaced = 0;
    const auto place = [&](QHBoxLayout* row, QPushButton* button, int bit) {
        if (buttonMask & bit)
            row->addWidget(button);
        else
            unplaced_[unplaced++].reset(button);
    };
    place(transportRow, stopButton_, kStop);
    place(transportRow, pauseButton_, kPause);
    place(transportRow, startButton_, kStart);
    place(transportRow, loopButton_, kLoop);
    if (buttonMask & kRecord) {
        auto* recordRow = new QHBoxLayout;
        recordRow->addWidget(recordButton_);
        auto* outer = new QHBoxLayout(this);
        outer->addLayout(transportRow);
        outer->addLayout(recordRow);
    } else {
        unplaced_[unplaced++].reset(recordButton_);
        setLayout(transportRow);
    }
}

CAudioTransport::~CAudioTransport() = default;

void CAudioTransport::setState(int code)
{
    switch (code) {
    case kStateStop: stopButton_->setChecked(true); break;
    case kStatePause: pauseButton_->setChecked(true); break;
    case kStateStart: startButton_->setChecked(true); break;
    case kStateLoop: loopButton_->setChecked(true); break;
    case kStateRecordOn: recordButton_->setChecked(true); break;
    case kStateRecordOff: recordButton_->setChecked(false); break;
    default: break;
    }
}

void CAudioTransport::start(bool on)
{
    if (on)
        emit startAudio();
}

void CAudioTransport::pause(bool on)
{
    if (on)
        emit pauseAudio();
}

void CAudioTransport::loop(bool on)
{
    if (on)
        emit loopAudio();
}

void CAudioTransport::stop(bool on)
{
    if (recordMode_ == 1) {
        if (!on)
            return;
        emit stopAudio();
        if (recordButton_->isChecked()) {
            // Unchecking runs record(false), which says recordAudioOff again.
            emit recordAudioOff();
            recordButton_->setChecked(false);
        }
        return;
    }
    if (on) {
        emit stopAudio();
        recordButton_->setEnabled(true);
    } else if (!recordButton_->isChecked()) {
        recordButton_->setEnabled(false);
    }
}

void CAudioTransport::record(bool on)
{
    if (recordMode_ == 1) {
        if (on) {
            loopButton_->setEnabled(false);
            emit recordAudioOn();
        } else {
            emit recordAudioOff();
            loopButton_->setEnabled(true);
        }
        return;
    }
    if (!stopButton_->isChecked()) {
        // Running or paused: arming cannot change, and the button stays lit.
        recordButton_->setChecked(true);
        return;
    }
    if (on) {
        pauseButton_->setEnabled(false);
        loopButton_->setEnabled(false);
        emit recordAudioOn();
    } else {
        emit recordAudioOff();
        pauseButton_->setEnabled(true);
        loopButton_->setEnabled(true);
    }
}

}  // namespace orvelan::app

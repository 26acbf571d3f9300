// The transport panel: stop, pause, start, (loop) and record buttons that
// turn the user's clicks, and the window's own requests through setState,
// into start/stop/pause/loop/record signals, and keep the buttons' enabled
// states in line with the recording rules of the record mode:
// - mode 1: recording switches on and off at any time, stopping ends it,
//   and loop is disabled while recording;
// - any other mode: recording is armed or disarmed only while stopped;
//   while armed pause and loop are disabled, while running unarmed the
//   record button is.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QPushButton;

namespace orvelan::app {

class CAudioTransport : public QWidget {
    Q_OBJECT

public:
    // Button mask bits (which buttons are placed) and setState codes.
    enum Button { kStop = 1, kPause = 2, kStart = 4, kLoop = 8, kRecord = 16 };
    enum State { kStateStop = 1, kStatePause = 2, kStateStart = 4, kStateLoop = 8,
                 kStateRecordOn = 0x80, kStateRecordOff = 0x81 };

    // An empty iconPath gives text buttons; otherwise each button shows the
    // inactive and active images under iconPath.
    CAudioTransport(const QString& iconPath, int buttonMask, int recordMode, QWidget* parent = nullptr);
    ~CAudioTransport() override;

    // Checks the button of the code (0x81 unchecks record) as a click
    // would, so its slot runs and emits; other codes are ignored.
    void setState(int code);

    int recordMode() const { return recordMode_; }
    QPushButton* startButton() const { return startButton_; }
    QPushButton* stopButton() const { return stopButton_; }
    QPushButton* pauseButton() const { return pauseButton_; }
    QPushButton* loopButton() const { return loopButton_; }
    QPushButton* recordButton() const { return recordButton_; }

public slots:
    void start(bool on);
    void stop(bool on);
    void pause(bool on);
    void loop(bool on);
    void record(bool on);

signals:
    void startAudio();
    void stopAudio();
    void pauseAudio();
    void loopAudio();
    void recordAudioOn();
    void recordAudioOff();

private:
    QPushButton* makeButton(const QString& iconPath, const char* text, const char* imageName,
                            const char* toolTip, bool autoExclusive);

    int recordMode_;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* loopButton_ = nullptr;
    QPushButton* recordButton_ = nullptr;
    // Buttons whose mask bit is clear are never placed, so no parent owns them.
    std::unique_ptr<QPushButton> unplaced_[5];
};

}  // namespace orvelan::app

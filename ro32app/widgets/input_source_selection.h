// What enters the processing chain: the device's live input or a WAV file,
// and which file. The panel shows and reports the choice; the window
// applies it. Its setters restore a state without emitting, so loading the
// settings does not feed back into the window.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QRadioButton;

namespace orvelan::app {

class CInputSourceSelection : public QWidget {
    Q_OBJECT

public:
    enum tMode { Live = 0, File = 1 };
    Q_ENUM(tMode)

    explicit CInputSourceSelection(const QString& resourcePath, QWidget* parent = nullptr);

    tMode mode() const { return mode_; }
    QString fileName() const { return fileName_; }
    // The open button and the name field together.
    void setFileControlsEnabled(bool enabled);

    QRadioButton* liveButton() const { return liveButton_; }
    QRadioButton* fileButton() const { return fileButton_; }
    QPushButton* openButton() const { return openButton_; }
    QLabel* fileLabel() const { return fileLabel_; }

signals:
    // Every click on either mode button, also on the one already checked.
    void modeChanged(int mode);
    // Only a name the user chose in the dialog.
    void fileNameChanged(const QString& fileName);

public slots:
    void setMode(tMode mode);
    void setFileName(const QString& fileName);
    // Disabling File also disables the open button.
    void setModeEnabled(tMode mode, bool enabled);
    // The dialog opens where the last file came from; a cancelled dialog
    // changes nothing.
    void openFileDialog();
    void updateMode();

private:
    QRadioButton* liveButton_;
    QRadioButton* fileButton_;
    QPushButton* openButton_;
    QLabel* fileLabel_;
    tMode mode_ = File;
    QString fileName_;
    QString baseName_;
    QString directory_;
    QString resourcePath_;
};

}  // namespace orvelan::app

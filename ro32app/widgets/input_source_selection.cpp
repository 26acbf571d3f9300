#include "widgets/input_source_selection.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "widgets/name_label.h"

namespace orvelan::app {

CInputSourceSelection::CInputSourceSelection(const QString& resourcePath, QWidget* parent)
    : QWidget(parent), resourcePath_(resourcePath)
{
    liveButton_ = new QRadioButton(QStringLiteral("Live "), this);
    fileButton_ = new QRadioButton(QStringLiteral("File: "), this);
    openButton_ = new QPushButton(QIcon(resourcePath_ + "/loadFile.png"), QString(), this);
    fileLabel_ = makeNameLabel(this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(liveButton_, 0, 0, Qt::AlignLeft);
    layout->addWidget(fileButton_, 1, 0, Qt::AlignLeft);
    layout->addWidget(openButton_, 1, 1, Qt::AlignCenter);
    layout->addWidget(fileLabel_, 1, 2, Qt::AlignLeft);

    connect(openButton_, &QPushButton::clicked, this, &CInputSourceSelection::openFileDialog);
    connect(liveButton_, &QRadioButton::clicked, this, &CInputSourceSelection::updateMode);
    connect(fileButton_, &QRadioButton::clicked, this, &CInputSourceSelection::updateMode);
    fileButton_->setChecked(true);
}

void CInputSourceSelection::setMode(tMode mode)
{
    mode_ = mode;
    (mode == Live ? liveButton_ : fileButton_)->setChecked(true);
}

void CInputSourceSelection::setFileName(const QString& fileName)
{
    fileName_ = fileName;
    const QFileInfo info(fileName);
    baseName_ = info.baseName();
    directory_ = info.absolutePath();
    fileLabel_->setText(baseName_);
    fileLabel_->setToolTip(fileName_);
}

void CInputSourceSelection::setModeEnabled(tMode mode, bool enabled)
{
    if (mode == Live) {
        liveButton_->setEnabled(enabled);
        return;
    }
    fileButton_->setEnabled(enabled);
    openButton_->setEnabled(enabled);
}

void CInputSourceSelection::setFileControlsEnabled(bool enabled)
{
    openButton_->setEnabled(enabled);
    fileLabel_->setEnabled(enabled);
}

void CInputSourceSelection::openFileDialog()
{
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("open File"), directory_,
                                                        QStringLiteral("Wav Files (*.wav);;All Files (*)"), nullptr,
                                                        QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty())
        return;
    setFileName(chosen);
    emit fileNameChanged(fileName_);
}

void CInputSourceSelection::updateMode()
{
    const auto* button = qobject_cast<const QRadioButton*>(sender());
    if (!button)
        return;
    if (button->text().startsWith(QStringLiteral("Live")))
        mode_ = Live;
    else if (button->text().startsWith(QStringLiteral("File")))
        mode_ = File;
    emit modeChanged(mode_);
}

}  // namespace orvelan::app

#include "widgets/recording_sink_selection.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QTime>

#include "app/clock.h"
#include "widgets/name_label.h"

namespace orvelan::app {

namespace {

const QString kExtension = QStringLiteral(".wav");

}  // namespace

CRecordingSinkSelection::CRecordingSinkSelection(const QStringList& sinkNames, QWidget* parent)
    : CRecordingSinkSelection(sinkNames, Clock::system(), parent)
{
}

CRecordingSinkSelection::CRecordingSinkSelection(const QStringList& sinkNames, const Clock& clock, QWidget* parent)
    : QWidget(parent), clock_(&clock), sinkNames_(sinkNames)
{
    auto* layout = new QGridLayout(this);
    for (int i = 0; i < count(); ++i) {
        directories_ << QStringLiteral("./");
        baseNames_ << QStringLiteral("file") + QString::number(i);
        suffixFlags_.push_back(kDate | kTime);
        armButtons_ << new QCheckBox(sinkNames_[i], this);
        timeLabels_ << new QLabel(this);
        nameLabels_ << makeNameLabel(this);
        setCurrentSample(i, 0);
        layout->addWidget(armButtons_[i], i, 0);
        layout->addWidget(timeLabels_[i], i, 1);
        layout->addWidget(nameLabels_[i], i, 2);
    }
}

bool CRecordingSinkSelection::isActive(int sink) const
{
    return isSink(sink) && armButtons_[sink]->isChecked();
}

void CRecordingSinkSelection::setBaseName(int sink, const QString& baseName)
{
    if (isSink(sink))
        baseNames_[sink] = baseName;
}

void CRecordingSinkSelection::setSuffixFlags(int sink, int flags)
{
    if (isSink(sink))
        suffixFlags_[static_cast<std::size_t>(sink)] = flags;
}

QString CRecordingSinkSelection::fileName(int sink) const
{
    if (!isSink(sink))
        return QString();
    // One reading of the clock: a date and a time read apart could straddle
    // midnight and name the take a day off.
    const QDateTime now = clock_->now();
    const int flags = suffixFlags_[static_cast<std::size_t>(sink)];
    QString name = baseNames_[sink];
    if (flags & kDate)
        name += now.date().toString(QStringLiteral("_MMddyy"));
    if (flags & kTime)
        name += now.time().toString(QStringLiteral("_hhmmss"));
    return name + kExtension;
}

QString CRecordingSinkSelection::filePath(int sink)
{
    if (!isSink(sink))
        return QString();
    const QDir directory(directories_[sink]);
    const QString first = fileName(sink);
    QString name = first;
    const QString stem = first.chopped(kExtension.size());
    for (int n = 2; QFileInfo::exists(directory.filePath(name)); ++n)
        name = stem + '_' + QString::number(n) + kExtension;
    nameLabels_[sink]->setText(name);
    return directory.filePath(name);
}

void CRecordingSinkSelection::setCurrentSample(int sink, qint64 samples)
{
    if (!isSink(sink))
        return;
    // addSecs works modulo a day; reduce first so the int it takes holds.
    constexpr qint64 kSecondsPerDay = 24 * 60 * 60;
    const int seconds = static_cast<int>((samples / fs_) % kSecondsPerDay);
    timeLabels_[sink]->setText(QTime(0, 0).addSecs(seconds).toString(QStringLiteral("hh:mm:ss")));
}

void CRecordingSinkSelection::setFs(int fs)
{
    if (fs > 0)
        fs_ = fs;
}

}  // namespace orvelan::app

// The recording panel: per sink a record switch, the time recorded so far
// and the name of the file being written. It builds each take's file name
// from the sink's base name, the date and time the take starts (from an
// injectable clock) and ".wav", and never hands out the name of a file
// that already exists, so a take started within the same second as the
// last one does not overwrite it.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QCheckBox;
class QLabel;

namespace orvelan::app {

class Clock;

class CRecordingSinkSelection : public QWidget {
    Q_OBJECT

public:
    // Which parts follow the base name.
    enum Suffix { kDate = 1, kTime = 2 };

    explicit CRecordingSinkSelection(const QStringList& sinkNames, QWidget* parent = nullptr);
    CRecordingSinkSelection(const QStringList& sinkNames, const Clock& clock, QWidget* parent = nullptr);

    int count() const { return static_cast<int>(sinkNames_.size()); }
    // False for a sink that does not exist.
    bool isActive(int sink) const;
    // Out-of-range sinks are ignored.
    void setBaseName(int sink, const QString& baseName);
    void setSuffixFlags(int sink, int flags);
    // The base name, "_MMddyy" with kDate, "_hhmmss" with kTime, ".wav";
    // empty for a sink that does not exist.
    QString fileName(int sink) const;
    // Where the sink's next take goes, relative to the working directory:
    // fileName(sink) in the sink's directory, or, when that file exists,
    // the first free one with "_2", "_3", ... before ".wav". The name
    // field shows the name chosen. Empty for a sink that does not exist.
    QString filePath(int sink);

    QCheckBox* armButton(int sink) const { return armButtons_.at(sink); }
    QLabel* timeLabel(int sink) const { return timeLabels_.at(sink); }
    QLabel* nameLabel(int sink) const { return nameLabels_.at(sink); }

public slots:
    // The time recorded as hh:mm:ss, time of day arithmetic (it wraps after
    // 24 hours). 64-bit: a 32-bit count at 48 kHz ends after 12 hours.
    void setCurrentSample(int sink, qint64 samples);
    // Non-positive rates are ignored: the count is divided by it.
    void setFs(int fs);

private:
    bool isSink(int sink) const { return sink >= 0 && sink < count(); }

    const Clock* clock_;
    QStringList sinkNames_;
    QStringList directories_;
    QStringList baseNames_;
    std::vector<int> suffixFlags_;
    QList<QCheckBox*> armButtons_;
    QList<QLabel*> timeLabels_;
    QList<QLabel*> nameLabels_;
    int fs_ = 1;
};

}  // namespace orvelan::app

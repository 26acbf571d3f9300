// The recording panel: file names from a fixed clock with the date and
// time parts on and off, a take never given the name of a file that
// exists (a second take in the same second gets "_2"), the time display
// at second boundaries and past a day, and sink indices out of range.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

#include "support/app_test_main.h"
#include "support/fixed_clock.h"
#include "widgets/recording_sink_selection.h"

using orvelan::app::CRecordingSinkSelection;
using orvelan::apptest::FixedClock;

namespace {

const QDateTime kTakeStart(QDate(2012, 4, 13), QTime(15, 4, 5));

// The recorder creates the file when it opens it; so does this.
bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

}  // namespace

class RecordingSinkSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void oneRowPerSinkAtZero()
    {
        FixedClock clock(kTakeStart);
        CRecordingSinkSelection panel({"input", "output"}, clock);
        QCOMPARE(panel.count(), 2);
        QCOMPARE(panel.armButton(0)->text(), QString("input"));
        QCOMPARE(panel.armButton(1)->text(), QString("output"));
        for (int sink : {0, 1}) {
            QVERIFY(!panel.isActive(sink));
            QCOMPARE(panel.timeLabel(sink)->text(), QString("00:00:00"));
            QCOMPARE(panel.nameLabel(sink)->text(), QString());
        }
        QCOMPARE(panel.fileName(0), QString("file0_041312_150405.wav"));
        QCOMPARE(panel.fileName(1), QString("file1_041312_150405.wav"));
        panel.armButton(1)->setChecked(true);
        QVERIFY(!panel.isActive(0));
        QVERIFY(panel.isActive(1));
    }

    void fileNamesFromTheClock_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("name");
        const int both = CRecordingSinkSelection::kDate | CRecordingSinkSelection::kTime;
        QTest::newRow("date and time") << kTakeStart << both << "mic_041312_150405.wav";
        QTest::newRow("date only") << kTakeStart << int(CRecordingSinkSelection::kDate) << "mic_041312.wav";
        QTest::newRow("time only") << kTakeStart << int(CRecordingSinkSelection::kTime) << "mic_150405.wav";
        QTest::newRow("neither") << kTakeStart << 0 << "mic.wav";
        QTest::newRow("leading zeros, midnight")
            << QDateTime(QDate(2009, 1, 5), QTime(0, 0, 0)) << both << "mic_010509_000000.wav";
        QTest::newRow("last second of a year")
            << QDateTime(QDate(2030, 12, 31), QTime(23, 59, 59)) << both << "mic_123130_235959.wav";
    }

    void fileNamesFromTheClock()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, flags);
        QFETCH(QString, name);
        FixedClock clock(now);
        CRecordingSinkSelection panel({"input", "output"}, clock);
        panel.setBaseName(0, "mic");
        panel.setSuffixFlags(0, flags);
        QCOMPARE(panel.fileName(0), name);
        QCOMPARE(panel.filePath(0), "./" + name);
        QCOMPARE(panel.nameLabel(0)->text(), name);
        // The other sink keeps its own name and parts.
        QCOMPARE(panel.fileName(1), "file1" + now.toString("_MMddyy_hhmmss") + ".wav");
        QCOMPARE(panel.nameLabel(1)->text(), QString());
    }

    void aSecondTakeInTheSameSecondDoesNotOverwriteTheFirst()
    {
        QVERIFY(QDir::current().isEmpty());
        FixedClock clock(kTakeStart);
        CRecordingSinkSelection panel({"input", "output"}, clock);
        panel.setBaseName(0, "mic");
        QStringList paths;
        for (int take = 0; take < 3; ++take) {
            paths << panel.filePath(0);
            QVERIFY(touch(paths.last()));
        }
        QCOMPARE(paths, (QStringList{"./mic_041312_150405.wav", "./mic_041312_150405_2.wav",
                                     "./mic_041312_150405_3.wav"}));
        QCOMPARE(panel.nameLabel(0)->text(), QString("mic_041312_150405_3.wav"));
        // The name itself stays what the clock gives.
        QCOMPARE(panel.fileName(0), QString("mic_041312_150405.wav"));

        // A second later the plain name is free again.
        clock.advance(1);
        QCOMPARE(panel.filePath(0), QString("./mic_041312_150406.wav"));

        // Without date and time every take would share one name.
        panel.setSuffixFlags(1, 0);
        panel.setBaseName(1, "out");
        QVERIFY(touch("out.wav"));
        QVERIFY(touch("out_3.wav"));
        QCOMPARE(panel.filePath(1), QString("./out_2.wav"));
        QVERIFY(touch("out_2.wav"));
        QCOMPARE(panel.filePath(1), QString("./out_4.wav"));
        for (const QString& name : QDir::current().entryList(QDir::Files))
            QFile::remove(name);
    }

    void timeDisplay_data()
    {
        QTest::addColumn<int>("fs");
        QTest::addColumn<qint64>("samples");
        QTest::addColumn<QString>("shown");
        constexpr qint64 kRate = 44100;
        QTest::newRow("one sample short of a second") << 44100 << kRate - 1 << "00:00:00";
        QTest::newRow("one second") << 44100 << kRate << "00:00:01";
        QTest::newRow("90 minutes") << 44100 << 90 * 60 * kRate << "01:30:00";
        QTest::newRow("one second short of a day") << 44100 << (86400 - 1) * kRate << "23:59:59";
        QTest::newRow("a day wraps to midnight") << 44100 << 86400 * kRate << "00:00:00";
        QTest::newRow("a day and 61 s") << 44100 << (86400 + 61) * kRate << "00:01:01";
        QTest::newRow("13 h at 48 kHz, past 32 bits") << 48000 << qint64(13) * 3600 * 48000 << "13:00:00";
        QTest::newRow("rate 1 until set") << 0 << qint64(3725) << "01:02:05";
    }

    void timeDisplay()
    {
        QFETCH(int, fs);
        QFETCH(qint64, samples);
        QFETCH(QString, shown);
        CRecordingSinkSelection panel({"input", "output"});
        panel.setFs(fs);
        panel.setCurrentSample(1, samples);
        QCOMPARE(panel.timeLabel(1)->text(), shown);
        QCOMPARE(panel.timeLabel(0)->text(), QString("00:00:00"));
    }

    void sinksOutOfRangeAreIgnored()
    {
        FixedClock clock(kTakeStart);
        CRecordingSinkSelection panel({"input", "output"}, clock);
        for (int sink : {-1, 2, 100}) {
            panel.setBaseName(sink, "lost");
            panel.setSuffixFlags(sink, 0);
            panel.setCurrentSample(sink, 44100);
            QCOMPARE(panel.fileName(sink), QString());
            QCOMPARE(panel.filePath(sink), QString());
            QVERIFY(!panel.isActive(sink));
        }
        for (int sink : {0, 1}) {
            QCOMPARE(panel.fileName(sink), "file" + QString::number(sink) + "_041312_150405.wav");
            QCOMPARE(panel.timeLabel(sink)->text(), QString("00:00:00"));
            QCOMPARE(panel.nameLabel(sink)->text(), QString());
        }

        CRecordingSinkSelection empty({}, clock);
        QCOMPARE(empty.count(), 0);
        QCOMPARE(empty.fileName(0), QString());
        QCOMPARE(empty.filePath(0), QString());
    }
};

ORVELAN_APP_TEST_MAIN(RecordingSinkSelectionTest)
#include "recording_sink_selection_test.moc"

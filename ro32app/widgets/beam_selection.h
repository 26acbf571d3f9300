// The beam-track editor: a tool row (add, delete, link azimuths, save,
// load), column headings and one CBeamSelectionTrack row per track, up to
// maxTracks. It is the only holder of the tracks' parameters; every change
// goes out as a signal with the track's index, and the window feeds the
// polar displays' drags back through setPhi(int) and setTheta(int).
// While audio streams, adding, deleting and loading are refused with a
// message, since the chain cannot change its beams then.
#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "widgets/beam_track_settings.h"

class QPushButton;
class QVBoxLayout;

namespace orvelan::app {

class CBeamSelectionTrack;
class COnOffButton;

class CBeamSelection : public QWidget {
    Q_OBJECT

public:
    // buttonMask bits: 0 add and delete, 1 link, 2 save, 3 load.
    // columnMask bits: 0 ID, 1 label, 2 azimuth, 3 elevation, 4 pattern,
    // 5 specification, 6 volume, 7 mute; the track list exists only with a
    // non-zero columnMask.
    CBeamSelection(const QString& resourcePath, int maxTracks, int buttonMask, int columnMask,
                   QWidget* parent = nullptr);

    bool isDirty() const { return dirty_; }
    int beamTrackCount() const { return count_; }
    int activeBeamTrack() const { return active_; }
    int maxTracks() const { return maxTracks_; }
    bool phiLinkStatus() const { return phiLink_; }
    bool streamingActive() const { return streaming_; }

    // Index arguments must lie below the count.
    int patternIndex(int index) const;
    int parameterIndex(int index) const;
    QColor trackColor(int index) const;
    int trackTheta(int index) const;
    int trackPhi(int index) const;
    double trackGain(int index) const;
    bool isTrackMuted(int index) const;
    CBeamSelectionTrack* track(int index) const;

    // The first exact match in the pattern list, else 0 (the first pattern).
    int indexOfName(const QString& name) const;
    // The variant of that pattern named text, else the numerically nearest
    // one (a tie goes to the larger; past the last entry, the last).
    int findParameterIndex(int pattern, const QString& text) const;

    QStringList patternList() const { return patterns_; }
    QList<QStringList> parameterLists() const { return parameters_; }
    QString settingsDirectory() const { return settingsDirectory_; }
    QString settingsBaseName() const { return settingsBaseName_; }

    QPushButton* addButton() const { return addButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    COnOffButton* linkButton() const { return linkButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* loadButton() const { return loadButton_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void beamTrackAdded(int index);
    void beamTrackDeleted(int index);
    void activeBeamTrackChanged(int index);
    void beamTrackColorChanged(int index, const QColor& color);
    void beamTrackLabelChanged(int index, const QString& label);
    void beamTrackPhiChanged(int index, int angle);
    void beamTrackThetaChanged(int index, int angle);
    void beamTrackPatternChanged(int index, int pattern, int parameter);
    void beamTrackParameterChanged(int index, int parameter);
    void beamTrackGainChanged(int index, float gain);
    void beamTrackMuteChanged(int index, bool mute);

public slots:
    // Append from the template and remove the active track; both emit
    // nothing and leave the dirty flag alone.
    void addBeam();
    void deleteBeam();
    // True when a file was chosen and written; a cancelled dialog or a
    // refused name gives false, so a caller can tell the tracks are unsaved.
    bool saveStateDialog();
    void loadStateDialog();
    void resetDirtyFlag();
    QString fileName() const { return fileName_; }
    void saveCurrentState(const QString& fileName);
    void loadState(const QString& fileName);
    void setPhiLinkStatus(bool status);
    void setActiveBeamTrack(int id);
    void setPatternAndParameterLists(const QStringList& patterns, const QList<QStringList>& parameters);
    void setColor(int index, const QColor& color);
    void setLabel(int index, const QString& label);
    void setTheta(int index, int angle);
    void setPhi(int index, int angle);
    // The active track's; with none active only the dirty flag is set.
    void setTheta(int angle);
    void setPhi(int angle);
    void setPatternIndex(int index, int pattern);
    void setParameterIndex(int index, int parameter);
    void setVolume(int index, float dB);
    void setMute(int index, bool mute);
    void setStreamingActive(bool active);
    void updatePhiLinkStatus(bool status);
    void updateActiveBeamTrack(int id);
    void updatePattern(int id, int pattern);
    void updateAddBeam();
    void updateDeleteBeam();
    void updateDeletedBeamTrack(int formerIndex);
    void updateDirtyFlag(int index, const QColor& color);
    void updateDirtyFlag(int index, const QString& text);
    void updateDirtyFlag(int index, int value);
    void updateDirtyFlag(int index, float value);
    void updateDirtyFlag(int index, bool value);

private:
    void resetTrackTemplate();
    void connectTrack(CBeamSelectionTrack* row);
    // The add and delete buttons' paths past the streaming check.
    void appendAndAnnounce();
    void removeActiveAndAnnounce();
    void rememberFile(const QString& fileName);
    void refuse(const QString& text);
    void warnSuffix();
    // Qt's own save or open dialog on settings files; empty when cancelled.
    QString askFileName(bool save, const QString& title, const QString& start);
    void showPhiLink(bool status);

    int maxTracks_;
    int count_ = 0;
    int active_ = -1;
    bool phiLink_ = false;
    bool streaming_ = false;
    int emptyWidth_ = 0;
    int emptyHeight_ = 0;
    int buttonMask_;
    QPushButton* addButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    COnOffButton* linkButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    int columnMask_;
    QVBoxLayout* trackLayout_ = nullptr;
    std::vector<CBeamSelectionTrack*> tracks_;
    QStringList patterns_;
    QList<QStringList> parameters_;
    bool dirty_ = false;
    QString fileName_;
    QString settingsDirectory_;
    QString settingsBaseName_;
    BeamTrackValues trackTemplate_;
};

}  // namespace orvelan::app

#include "widgets/beam_track_settings.h"

#include <QFileInfo>
#include <QSettings>

namespace orvelan::app {

namespace {
const QString kPhiLink = QStringLiteral("phiLinkStatus");
const QString kTracks = QStringLiteral("tracks");
}  // namespace

bool hasBeamTrackSettingsSuffix(const QString& fileName)
{
    return QFileInfo(fileName).completeSuffix() == QLatin1String("ovs");
}

void writeBeamTrackSettings(const QString& fileName, const BeamTrackSetup& setup)
{
    QSettings settings(fileName, QSettings::IniFormat);
    settings.clear();
    settings.setValue(kPhiLink, setup.phiLink);
    settings.beginWriteArray(kTracks);
    for (int i = 0; i < setup.tracks.size(); ++i) {
        const BeamTrackValues& track = setup.tracks[i];
        settings.setArrayIndex(i);
        settings.setValue("color", track.color);
        settings.setValue("label", track.label);
        settings.setValue("phi", track.phi);
        settings.setValue("theta", track.theta);
        settings.setValue("pattern", track.pattern);
        settings.setValue("parameter", track.parameter);
        settings.setValue("volume", static_cast<float>(track.volume));
        settings.setValue("mute", track.mute);
    }
    settings.endArray();
    settings.sync();
}

BeamTrackSetup readBeamTrackSettings(const QString& fileName)
{
    QSettings settings(fileName, QSettings::IniFormat);
    BeamTrackSetup setup;
    const int size = settings.beginReadArray(kTracks);
    for (int i = 0; i < size; ++i) {
        settings.setArrayIndex(i);
        BeamTrackValues track;
        track.color = settings.value("color").value<QColor>();
        track.label = settings.value("label").toString();
        track.phi = settings.value("phi").toInt();
        track.theta = settings.value("theta").toInt();
        track.pattern = settings.value("pattern").toString();
        track.parameter = settings.value("parameter").toString();
        track.volume = settings.value("volume").toFloat();
        track.mute = settings.value("mute").toBool();
        setup.tracks << track;
    }
    settings.endArray();
    setup.phiLink = settings.value(kPhiLink).toBool();
    return setup;
}

}  // namespace orvelan::app

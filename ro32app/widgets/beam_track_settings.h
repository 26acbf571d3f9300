// The beam-track settings file (".ovs"): the phi link and every track's
// colour, label, direction, pattern and variant (by their display texts,
// so a file survives a change of the lists), volume and mute, written with
// QSettings in ini form. Files of the earlier program, whose QColor and
// float values are @Variant(...) streams, read the same way.
#pragma once

#include <QColor>
#include <QList>
#include <QString>

namespace orvelan::app {

// One track's values as the file holds them; also the editor's template
// for the next track it adds.
struct BeamTrackValues {
    QColor color;
    QString label;
    int phi = 0;
    int theta = 0;
    QString pattern;
    QString parameter;
    double volume = 0.0;
    bool mute = false;
};

struct BeamTrackSetup {
    bool phiLink = false;
    QList<BeamTrackValues> tracks;
};

// True when everything after the first dot of the file name is exactly
// "ovs": "setup.ovs", not "setup.OVS", "setup.ovs.bak" or "my.setup.ovs".
bool hasBeamTrackSettingsSuffix(const QString& fileName);

// Replaces the file's whole content. Write errors are not reported.
void writeBeamTrackSettings(const QString& fileName, const BeamTrackSetup& setup);

// A missing file or one without a "tracks" array yields no tracks; an
// absent key reads as the empty value of its type (an invalid colour, "",
// 0, 0.0, false).
BeamTrackSetup readBeamTrackSettings(const QString& fileName);

}  // namespace orvelan::app

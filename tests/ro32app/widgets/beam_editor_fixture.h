// The pattern and variant lists the beamformer offers, as the window hands
// them to the beam-track editor (twelve patterns, six of them with five
// white-noise-gain variants, the others with the single variant "0"), and
// the editor as the window makes it.
#pragma once

#include <QList>
#include <QStringList>

#include <memory>

#include "widgets/beam_selection.h"

namespace orvelan::apptest {

inline QStringList beamPatterns()
{
    return {"omni", "super3", "super2", "super1", "hyper3", "hyper2",
            "hyper1", "card3", "card2", "card1", "dipole1", "torus"};
}

inline QList<QStringList> beamParameters()
{
    const QStringList wng{"-12", "-6", "0", "6", "12"};
    const QStringList single{"0"};
    QList<QStringList> lists;
    for (int pattern = 0; pattern < 12; ++pattern) {
        const bool fiveVariants = pattern == 1 || pattern == 2 || pattern == 4 || pattern == 5 ||
                                  pattern == 7 || pattern == 8;
        lists << (fiveVariants ? wng : single);
    }
    return lists;
}

// 18 tracks at most, every tool button and column, the lists above and
// `tracks` tracks added.
inline std::unique_ptr<app::CBeamSelection> makeBeamEditor(int tracks)
{
    auto editor = std::make_unique<app::CBeamSelection>(":/ro32app/Resources", 18, 15, 255);
    editor->setPatternAndParameterLists(beamPatterns(), beamParameters());
    for (int k = 0; k < tracks; ++k)
        editor->addBeam();
    return editor;
}

}  // namespace orvelan::apptest

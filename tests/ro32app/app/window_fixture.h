// The main window as the tests open it: on a virtual audio device of the
// catalog (the manual clock, so nothing streams behind a test's back) and
// on a MIDI bus with no box on it.
#pragma once

// Before any Qt header: the bus and the chain use emit and signals as
// names, which Qt's keyword macros would blank out.
#include "midi/virtual_midi_bus.h"
#include "chain/audio_graph.h"

#include <QDir>
#include <QString>
#include <QTest>

#include <memory>

#include "app/audio_device.h"
#include "app/ro32app.h"
#include "audio/backends/builtin_drivers.h"

namespace orvelan::apptest {

inline const QString kBoxDriver = QString::fromLatin1(app::CAudioDeviceSetup::kBoxDriverName);

// The catalog lists one virtual device under the given name.
inline void listDriver(const QString& name, int inputs = 32, int outputs = 24)
{
    // No user catalog file of this machine reaches the tests.
    qputenv("XDG_CONFIG_HOME", QDir::currentPath().toLocal8Bit());
    qputenv(audio::kCatalogEnvironmentVariable, QString("%1=%2,inputs=%3,outputs=%4,clock=manual")
                                                    .arg(name, QString::fromLatin1(audio::kVirtualClassId))
                                                    .arg(inputs)
                                                    .arg(outputs)
                                                    .toLatin1());
}

inline std::unique_ptr<app::Ro32App> openWindow()
{
    auto window = std::make_unique<app::Ro32App>(std::make_shared<platform::midi::virtual_midi_bus>());
    window->resize(1400, 900);
    window->show();
    return window;
}

}  // namespace orvelan::apptest

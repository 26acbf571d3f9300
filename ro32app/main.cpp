// Orvelan: the program a user starts. It chooses the processor variant of
// the signal kernels once, then runs the main window until it is closed.

// Before any Qt header: the MIDI bus has a member named emit, which Qt's
// keyword macro of that name would blank out.
#include "midi/alsa_seq_transport.h"
#include "midi/virtual_midi_bus.h"

#include <QApplication>

#include <memory>

#include "app/resources.h"
#include "app/ro32app.h"
#include "dsp.h"

namespace {

// The box is looked for among the system's MIDI ports; without a MIDI
// system an empty bus stands in, and the window starts as without a box.
std::shared_ptr<orvelan::platform::midi::midi_transport> boxTransport()
{
    using namespace orvelan::platform::midi;
    if (alsa_seq_transport::available())
        return std::make_shared<alsa_seq_transport>();
    return std::make_shared<virtual_midi_bus>();
}

}  // namespace

int main(int argc, char** argv)
{
    dspStaticInit();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvelan"));
    orvelan::app::initResources();
    int result = 0;
    {
        orvelan::app::Ro32App window(boxTransport());
        window.show();
        result = QApplication::exec();
    }
    return result;
}

// What the outside driver of the real window needs and xdotool cannot do.
//
//   scripts_window_layout layout
//     In the working directory (its orvelan.ini) and on the display the
//     real window will use, builds the same window without mapping it and
//     prints where a user's clicks go, one "name x y" a line, in window
//     coordinates: the window's size, "+", the output sink's arm switch,
//     Rec, Start, Stop; after "+", the third track's row and the azimuth
//     display at 0 and 90 degrees; then the closing question's Discard
//     button, relative to the question's own window. Same platform, fonts
//     and settings give the same layout as the real window's.
//
//   scripts_window_layout settings TAKE
//     Writes orvelan.ini in the working directory as the program writes
//     it, every setting at its default but file input of TAKE.
//
//   scripts_window_layout close WINDOW
//     Asks the X window to close as a window manager's close button does
//     (WM_DELETE_WINDOW), so the program's own closing path runs.
//
// Exit 0, or 1 when a part is missing or the display cannot be opened.

// Before any Qt header: the bus has a member named emit.
#include "midi/virtual_midi_bus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/resources.h"
#include "app/settings_file.h"
#include "app/ro32app.h"
#include "support/azimuth_points.h"
#include "support/modal_answerer.h"
#include "widgets/audio_transport.h"
#include "widgets/beam_display_azimuth.h"
#include "widgets/beam_selection.h"
#include "widgets/beam_selection_track.h"
#include "widgets/recording_sink_selection.h"

namespace {

using orvelan::app::Ro32App;

void print(const char* name, const QPoint& at)
{
    std::printf("%s %d %d\n", name, at.x(), at.y());
}

// The centre of a widget, in the coordinates of its window.
void printCentre(const char* name, const QWidget* widget)
{
    print(name, widget->mapTo(widget->window(), widget->rect().center()));
}

int writeFileInputSettings(const char* take)
{
    orvelan::app::CAppSettings settings;
    settings.loadDefaultSettings();
    orvelan::app::SettingsWidgetValues widgets;
    widgets.inputMode = 1;
    widgets.preampVolume = settings.preampVolume;
    widgets.inputSliderVolume = settings.inputSliderVolume;
    widgets.outputMasterVolume = settings.outputMasterVolume;
    widgets.monitorEnabled = settings.monitorEnabled;
    widgets.monitorVolume = static_cast<float>(settings.monitorVolume);
    widgets.monitorSection = settings.monitorSection;
    widgets.monitorChannel = settings.monitorChannel;
    widgets.fcHp = settings.fcHp;
    widgets.beamTrackSettings = settings.beamTrackSettings;
    widgets.sensorFile = QString::fromLocal8Bit(take);
    settings.writeSettings(QStringLiteral("orvelan.ini"), widgets);
    return 0;
}

int closeWindow(const char* id)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(std::strtoul(id, nullptr, 0));
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return sent != 0 ? 0 : 1;
}

int printLayout(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvelan"));
    orvelan::app::initResources();
    auto window = std::make_unique<Ro32App>(std::make_shared<orvelan::platform::midi::virtual_midi_bus>());
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();
    QApplication::processEvents();
    std::printf("size %d %d\n", window->width(), window->height());

    orvelan::app::CBeamSelection* tracks = window->beamSelection();
    printCentre("plus", tracks->addButton());
    // A switch reacts to its box and text only, not the rest of its width.
    const QCheckBox* arm = window->recordingSinks()->armButton(1);
    QStyleOptionButton option;
    option.initFrom(arm);
    print("arm_output",
          arm->mapTo(window.get(), arm->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, arm).center()));
    printCentre("record", window->transport()->recordButton());
    printCentre("start", window->transport()->startButton());
    printCentre("stop", window->transport()->stopButton());

    tracks->addButton()->click();
    QApplication::processEvents();
    if (tracks->beamTrackCount() != 3) {
        std::fprintf(stderr, "'+' did not add a third track\n");
        return 1;
    }
    // The row's left end, clear of the cells that open dialogs on a
    // double click.
    const orvelan::app::CBeamSelectionTrack* row = tracks->track(2);
    print("row3", row->mapTo(window.get(), QPoint(3, row->height() / 2)));
    const QWidget* display = window->azimuthDisplay();
    print("azimuth0", display->mapTo(window.get(), orvelan::apptest::azimuthDisplayPoint(*display, 0.0)));
    print("azimuth90", display->mapTo(window.get(), orvelan::apptest::azimuthDisplayPoint(*display, 90.0)));

    // A changed track makes closing ask; its Discard button is looked up
    // and pressed.
    tracks->setPhi(2, 90);
    bool discardFound = false;
    orvelan::apptest::ModalAnswerer answerer;
    answerer.answerWith([&discardFound](QWidget* question) {
        for (QAbstractButton* button : question->findChildren<QAbstractButton*>()) {
            if (button->text().remove(QLatin1Char('&')) != QLatin1String("Discard"))
                continue;
            print("discard", button->mapTo(question, button->rect().center()));
            discardFound = true;
            button->click();
            return;
        }
    });
    window->close();
    std::fflush(stdout);
    if (!discardFound)
        std::fprintf(stderr, "no Discard button in the closing question\n");
    return discardFound && answerer.failures().isEmpty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "layout") == 0)
        return printLayout(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "settings") == 0)
        return writeFileInputSettings(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return closeWindow(argv[2]);
    std::fprintf(stderr, "usage: %s layout | settings TAKE | close WINDOW\n", argv[0]);
    return 2;
}

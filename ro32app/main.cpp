// Orvelan: until the main window is built, the program shows the controls
// the window will be made of, wired to nothing.
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "app/resources.h"
#include "widgets/audio_transport.h"
#include "widgets/h_volume_slider.h"
#include "widgets/hp_selection.h"
#include "widgets/on_off_button.h"
#include "widgets/volume_unit.h"

using namespace orvelan::app;

namespace {

QGroupBox* framed(const QString& title, QLayout* layout)
{
    auto* box = new QGroupBox(title);
    box->setLayout(layout);
    return box;
}

QPushButton* fileButton(const QString& image, const QString& toolTip)
{
    auto* button = new QPushButton(QIcon(kResourcePath + image), QString());
    button->setToolTip(toolTip);
    button->setFixedSize(25, 25);
    return button;
}

COnOffButton* toolSwitch(const QString& caption, int onScheme, int offScheme, const QString& toolTip)
{
    auto* button = new COnOffButton;
    button->setTexts(caption, caption);
    button->setColorScheme(onScheme, offScheme);
    button->setToolTip(toolTip);
    button->setFixedSize(25, 25);
    return button;
}

// Set up in the order the window's owners use.
CVolumeUnit* strip(int flags, int minDb, int maxDb, int pageStep, int tickInterval, float dB)
{
    auto* unit = new CVolumeUnit(flags);
    unit->setGainTableEnabled(true);
    unit->setRange(minDb, maxDb, 0.1f, 1, pageStep);
    unit->setTicksVisible(2);
    unit->setTickInterval(tickInterval);
    unit->setUnit(QString());
    unit->setVolume(dB);
    return unit;
}

QWidget* buildControls()
{
    auto* window = new QWidget;
    window->setWindowTitle(QStringLiteral("Orvelan"));
    window->setWindowIcon(QIcon(kResourcePath + "/vexolabs.png"));

    auto* transport = new CAudioTransport(kResourcePath, 0x17, 1);
    transport->setState(CAudioTransport::kStateStop);

    auto* tools = new QHBoxLayout;
    tools->addWidget(toolSwitch("+", COnOffButton::kGrey, COnOffButton::kGrey, "Add beam"));
    tools->addWidget(toolSwitch("-", COnOffButton::kGrey, COnOffButton::kGrey, "Delete selected beam"));
    auto* link = toolSwitch("L", COnOffButton::kYellow, COnOffButton::kGrey, "Link Azimuth");
    link->setCheckable(true);
    link->setChecked(true);
    tools->addWidget(link);
    tools->addWidget(fileButton("/saveFile.png", "create settings file"));
    tools->addWidget(fileButton("/loadFile.png", "load settings file"));
    tools->addStretch();

    auto* sliders = new QVBoxLayout;
    for (float dB : {-6.5f, 0.0f, 12.0f}) {
        auto* slider = new CHVolumeSlider;
        slider->setValue(dB);
        sliders->addWidget(slider);
    }

    auto* highPass = new CHpSelection;
    highPass->setItems(CHpSelection::labelsFor({0, 80, 160, 320}), 1);

    auto* strips = new QHBoxLayout;
    strips->addWidget(strip(0, -40, 40, 50, 10, -12.0f));
    strips->addWidget(strip(CVolumeUnit::kMute, -15, 15, 10, 5, 3.5f));
    auto* beam = strip(CVolumeUnit::kLabel, -20, 20, 10, 5, -3.0f);
    beam->setLabel(QStringLiteral("Beam 1"));
    strips->addWidget(beam);
    auto* all = strip(CVolumeUnit::kMute | CVolumeUnit::kSolo | CVolumeUnit::kLink, -20, 20, 10, 5, 6.0f);
    all->setMute(true);
    all->setLink(true);
    strips->addWidget(all);
    strips->addStretch();

    auto* left = new QVBoxLayout;
    auto* transportRow = new QHBoxLayout;
    transportRow->addWidget(transport);
    transportRow->addStretch();
    left->addWidget(framed("Transport", transportRow));
    left->addWidget(framed("Beam tracks", tools));
    left->addWidget(framed("Beam gains", sliders));
    left->addStretch();

    auto* right = new QVBoxLayout;
    right->addWidget(framed("High-pass", new QVBoxLayout));
    right->itemAt(0)->widget()->layout()->addWidget(highPass);
    right->addWidget(framed("Volumes", strips));

    auto* layout = new QHBoxLayout(window);
    layout->addLayout(left);
    layout->addLayout(right);
    return window;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvelan"));
    initResources();
    QWidget* window = buildControls();
    window->show();
    const int result = QApplication::exec();
    delete window;
    return result;
}

// The main window: the two polar displays in the centre, the fixed docks
// of panels around them, the menus, and the life cycle that ties the
// interface box, the settings, the audio device and the processing chain
// together. Every slot runs on the GUI thread.
#pragma once

#include <QBasicTimer>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>

class QCloseEvent;
class QDockWidget;
class QTimerEvent;

namespace orvelan::app {

class CAudioFileNavigator;
class CAudioTransport;
class CBeamSelection;
class CHpSelection;
class CInputSourceSelection;
class CInputVolume;
class CLevelMeter;
class CMonitorUnit;
class CRecordingSinkSelection;
class CRoOptions;
class CVolumeUnit;

class Ro32App : public QMainWindow {
    Q_OBJECT

public:
    explicit Ro32App(QWidget* parent = nullptr);
    ~Ro32App() override;

    // The panels, for whoever needs to reach one (the tests).
    CVolumeUnit* outputStrip() const { return outputStrip_; }
    CLevelMeter* inputLevels() const { return inputLevels_; }
    CLevelMeter* outputLevels() const { return outputLevels_; }
    CAudioTransport* transport() const { return transport_; }
    CAudioFileNavigator* navigator() const { return navigator_; }
    CInputSourceSelection* inputSource() const { return inputSource_; }
    CRecordingSinkSelection* recordingSinks() const { return recordingSinks_; }
    CInputVolume* inputVolumePanel() const { return inputVolumePanel_; }
    CMonitorUnit* monitorPanel() const { return monitorPanel_; }
    CBeamSelection* beamSelection() const { return beamSelection_; }
    CHpSelection* hpSelection() const { return hpSelection_; }
    CRoOptions* optionsWindow() const { return optionsWindow_.get(); }

    QString appName() const { return mAppName; }
    float sampleRate() const { return sampleRate_; }

public slots:
    void options();

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Life cycle and title (ro32app_life_cycle.cpp).
    void createWidgets();
    void updateWindowTitle();
    // The closing question; true when the window may close.
    bool settleModifiedBeamTracks();

    // Docks and menus (ro32app_docks.cpp).
    void createDockWindows();
    void createMenus();
    QDockWidget* addFixedDock(const char* title, QWidget* content, Qt::DockWidgetAreas allowed);

    CVolumeUnit* outputStrip_ = nullptr;
    CLevelMeter* inputLevels_ = nullptr;
    CLevelMeter* outputLevels_ = nullptr;
    CAudioTransport* transport_ = nullptr;
    CAudioFileNavigator* navigator_ = nullptr;
    CInputSourceSelection* inputSource_ = nullptr;
    CRecordingSinkSelection* recordingSinks_ = nullptr;
    CInputVolume* inputVolumePanel_ = nullptr;
    CMonitorUnit* monitorPanel_ = nullptr;
    CBeamSelection* beamSelection_ = nullptr;
    CHpSelection* hpSelection_ = nullptr;
    // A window of its own, so not a child of this one.
    std::unique_ptr<CRoOptions> optionsWindow_;

    QBasicTimer timer_;
    QStringList recordingSinkNames_;
    const QString mAppName = QStringLiteral("Orvelan");
    const QString settingsFile_ = QStringLiteral("orvelan.ini");

    // The device's figures until the device set-up is in: what the window
    // asks for and falls back on without a driver.
    int maxInputs_ = 32;
    int maxOutputs_ = 18;
    float sampleRate_ = 44100.0f;
};

}  // namespace orvelan::app

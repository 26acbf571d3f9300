// The main window: the two polar displays in the centre, the fixed docks
// of panels around them, the menus, and the life cycle that ties the
// interface box, the settings, the audio device and the processing chain
// together. Every slot runs on the GUI thread.
#pragma once

#include <QBasicTimer>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

#include "app/settings_file.h"


class QCloseEvent;
class QDockWidget;
class QTimerEvent;

namespace orvelan::io {
class CAudioGraph;
}

namespace orvelan::platform::midi {
class midi_transport;
}

namespace orvelan::app {

class CAudioDeviceSetup;
class CAudioFileNavigator;
class CAudioTransport;
class CBeamDisplayAzimuth;
class CBeamDisplayElevation;
class CBeamSelection;
class CHpSelection;
class CInputSourceSelection;
class CInputVolume;
class CLevelMeter;
class CMonitorUnit;
class CRecordingSinkSelection;
class CRoOptions;
class CVolumeUnit;
class CZorbBridge;

class Ro32App : public QMainWindow {
    Q_OBJECT

public:
    // The interface box is looked for on boxTransport; its answers (or the
    // bounded wait for them) decide the output groups and who sets the
    // preamplifier before the audio device opens.
    explicit Ro32App(std::shared_ptr<platform::midi::midi_transport> boxTransport, QWidget* parent = nullptr);
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
    CBeamDisplayAzimuth* azimuthDisplay() const { return azimuthDisplay_; }
    CBeamDisplayElevation* elevationDisplay() const { return elevationDisplay_; }
    CBeamSelection* beamSelection() const { return beamSelection_; }
    CHpSelection* hpSelection() const { return hpSelection_; }
    CRoOptions* optionsWindow() const { return optionsWindow_.get(); }

    QString appName() const { return mAppName; }
    const CAppSettings& settings() const { return settings_; }
    const CAudioDeviceSetup& device() const { return *device_; }
    CZorbBridge& zorbBridge() const { return *zorbBridge_; }
    int availableZorbOutputGroups() const;
    bool boxSetsPreamp() const { return boxSetsPreamp_; }
    // The processing chain; replaced on every output reconfiguration.
    io::CAudioGraph* graph() const { return graph_.get(); }

public slots:
    void start();
    void stop();
    void pause();
    void startRecording();
    void stopRecording();
    void seek(int position);
    void updatePhi(int index, int phi);
    void updatePhi(int phi);
    void updateTheta(int index, int theta);
    void updateTheta(int theta);
    void updateBeamformer(int index);
    void updateMonitorChannels(int numChannels, int offset);
    void updateOutputChannels(int numChannels, int offset);
    void updateZorbOutputGroups(int groups, int firstGroup);
    void actOnMidiMessage(int cmd, int value);
    void actOnMidiConnectionProblems();
    void openFile(const QString& fileName);
    void setInputMode(int mode);
    void remoteStop();
    void updateStartSample(int position);
    void setOutputGain(int channel, float gain);
    void setOutputMute(int channel, bool mute);
    void setOutputMasterGain(float gain);
    void setPreampVolume(int volume);
    void setInputGain(float gain);
    void setInputMute(bool mute);
    void setHpIndex(int index);
    void beamGotAdded(int index);
    void beamGotDeleted(int index);
    void updatePattern(int beamIndex, int patternIndex, int parameterIndex);
    void updateParameter(int beamIndex, int parameterIndex);
    void setMonitorChannel(int inout, int channel);
    void setMonitorGain(float gain);
    void setMonitorStatus(bool status);
    void writeSettings(const QString& fileName);
    void loadSettings(const QString& fileName);
    void loadDefaultSettings();
    void about();
    void options();

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Life cycle and title (ro32app_life_cycle.cpp).
    void startBoxControl(std::shared_ptr<platform::midi::midi_transport> boxTransport);
    void waitForBox();
    void createWidgets();
    void updateWindowTitle();
    // The closing question; true when the window may close.
    bool settleModifiedBeamTracks();

    // Chain set-up and routing (ro32app_controls.cpp).
    int initAudioGraph();
    void initControls();
    int applyControlsToGraph();
    void updateControlStates();
    void updateNavigator();
    void updateProcessingMode();
    void connectControls();
    // Runs the chain's steps after an output or monitor change.
    void reconfigureOutputs();
    // The polar curve of a pattern variant into curveBuffer_; its points.
    int fetchCurve(int pattern, int parameter);
    void showFileError(int code);

    // Transport and recording (ro32app_transport.cpp).
    // Opens the settings' input file in the chain; the chain's result, a
    // failure shown and the file name cleared. Without a file name nothing
    // is opened or shown.
    int openSensorFile();

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
    CBeamDisplayAzimuth* azimuthDisplay_ = nullptr;
    CBeamDisplayElevation* elevationDisplay_ = nullptr;
    CBeamSelection* beamSelection_ = nullptr;
    CHpSelection* hpSelection_ = nullptr;
    // A window of its own, so not a child of this one.
    std::unique_ptr<CRoOptions> optionsWindow_;

    QBasicTimer timer_;
    QStringList recordingSinkNames_;
    const QString mAppName = QStringLiteral("Orvelan");
    const QString settingsFile_ = QStringLiteral("orvelan.ini");

    std::unique_ptr<CZorbBridge> zorbBridge_;
    CAppSettings settings_;
    std::unique_ptr<CAudioDeviceSetup> device_;
    // Decided once at start-up from the box's answers, so every place that
    // applies the input gain agrees on it.
    bool boxSetsPreamp_ = false;

    std::unique_ptr<io::CAudioGraph> graph_;
    bool graphReady_ = false;  // set up and handed to the host where there is one
    std::vector<float> curveBuffer_;

    std::array<float, 32> calibrationGains_{};
    bool calibrationReceived_ = false;
    bool calibrationApplied_ = false;
};

}  // namespace orvelan::app

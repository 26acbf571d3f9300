// The main window's transport: starting, stopping and pausing the stream,
// moving in the input file, recording to the two sinks, and switching the
// input between the live device and a file. Every change of the input
// stops the transport first.

// The chain's headers before any Qt header: they use signals as a name,
// which Qt's keyword macro of that name would blank out.
#include "chain/audio_graph.h"

#include "app/ro32app.h"

#include <QMessageBox>
#include <QThread>

#include <chrono>

#include "asio/asio_host.h"
#include "widgets/audio_transport.h"
#include "widgets/beam_selection.h"
#include "widgets/input_source_selection.h"
#include "widgets/recording_sink_selection.h"

namespace orvelan::app {

namespace {

constexpr std::chrono::seconds kChainStopBound{5};

}  // namespace

void Ro32App::start()
{
    // A chain that was not set up never runs, nor does the device without
    // a chain to call.
    if (!graphReady_)
        return;
    (void)graph_->start();
    beamSelection_->setStreamingActive(true);
    if (inputSource_->mode() == CInputSourceSelection::File)
        graph_->fileReader().startStreaming(true);
    if (io::asioBuffersReady())
        io::asioStart();
}

void Ro32App::stop()
{
    if (io::asioBuffersReady())
        io::asioStop();
    graph_->fileReader().stopStreaming();
    (void)graph_->stop();
    beamSelection_->setStreamingActive(false);
}

void Ro32App::pause()
{
    graph_->fileReader().pauseStreaming();
}

void Ro32App::seek(int position)
{
    graph_->fileReader().seekFrame(position);
}

void Ro32App::updateStartSample(int position)
{
    graph_->fileReader().setStartSample(position);
}

void Ro32App::remoteStop()
{
    transport_->setState(CAudioTransport::kStateStop);
}

void Ro32App::startRecording()
{
    recordingSinks_->setEnabled(false);
    for (int sink = 0; sink < recordingSinkNames_.size(); ++sink) {
        if (!recordingSinks_->isActive(sink))
            continue;
        io::CAudioFile& recorder = graph_->recorder(sink);
        if (recorder.openFile(recordingSinks_->filePath(sink).toLocal8Bit().toStdString(), 0) == 0)
            recorder.startStreaming(true);
        else
            QMessageBox::warning(this, mAppName, QStringLiteral("Error opening record file!"));
    }
}

void Ro32App::stopRecording()
{
    for (int sink = 0; sink < recordingSinkNames_.size(); ++sink)
        graph_->recorder(sink).stopStreaming();
    recordingSinks_->setEnabled(true);
}

int Ro32App::openSensorFile()
{
    // No file chosen yet is no error: the chain waits in file mode.
    if (settings_.sensorFile.isEmpty())
        return io::kFileCannotPlay;
    const int opened = graph_->openInputFile(settings_.sensorFile.toLatin1().constData());
    if (opened == 0)
        updateProcessingMode();
    else
        showFileError(opened);
    return opened;
}

void Ro32App::openFile(const QString& fileName)
{
    if (fileName.isEmpty())
        return;
    transport_->setState(CAudioTransport::kStateStop);
    const auto until = std::chrono::steady_clock::now() + kChainStopBound;
    while (graph_->isRunning() && std::chrono::steady_clock::now() < until)
        QThread::msleep(10);
    settings_.sensorFile = fileName;
    if (openSensorFile() == 0)
        updateControlStates();
}

void Ro32App::setInputMode(int mode)
{
    if (!graph_)
        return;
    transport_->setState(CAudioTransport::kStateStop);
    settings_.inputMode = mode;
    if (mode == io::CAudioGraph::kLiveInput) {
        (void)graph_->setInputSource(io::CAudioGraph::kLiveInput);
    } else if (mode == io::CAudioGraph::kFileInput) {
        (void)graph_->setInputSource(io::CAudioGraph::kFileInput);
        settings_.sensorFile = inputSource_->fileName();
        openSensorFile();
    }
    updateControlStates();
}

}  // namespace orvelan::app

// The beam-output page without the interface box: how many beam outputs
// and the first of the driver's outputs that carries them.
#pragma once

#include <QWidget>

#include "options/page_tools.h"

namespace orvelan::app {

class COutputOptions : public QWidget {
    Q_OBJECT

public:
    explicit COutputOptions(QWidget* parent = nullptr);

    // The loading steps, in the order the window calls them. Values that do
    // not fit the device are clamped without a message: a count to 1 up to
    // the outputs there are, an offset to what leaves room for the count.
    void setNumAvailableChannels(int driverOutputs);
    // Never more entries than the device has outputs.
    void setMaxOutputChannels(int maxOutputChannels);
    void setStartChannel(int outputChannelOffset);
    void setNumOutputChannels(int numOutputChannels);

    QComboBox* numberList() const { return numberList_.list(); }
    QComboBox* offsetList() const { return offsetList_.list(); }

public slots:
    void updateNumOutputChannels(int index);
    void updateStartChannel(int index);

signals:
    void outputChannelsChanged(int numChannels, int offset);

private:
    QuietList numberList_;
    QuietList offsetList_;
    int numChannels_ = 0;
    int offset_ = 0;
};

}  // namespace orvelan::app

// The options window: a tab widget with the two pages that fit the set-up,
// the box's output groups and monitor when the interface box answered, else
// the plain output and monitor pages. It forwards each accepted change of a
// page to the main window, which rebuilds its outputs and chain; the pages
// never touch the device themselves.
#pragma once

#include <QWidget>

class QTabWidget;

namespace orvelan::app {

class CMonitorOptions;
class COutputOptions;
class CZorbMonitorOptions;
class CZorbOutputOptions;

class CRoOptions : public QWidget {
    Q_OBJECT

public:
    // Without a parent: a window of its own.
    explicit CRoOptions(QWidget* parent = nullptr);

    // Each builds its page and tab the first time only, then loads the
    // values into the page.
    void addOutputTab(int numOutputChannels, int outputChannelOffset, int maxOutputChannels, int driverOutputs);
    void addMonitorTab(int numMonitorChannels, int monitorChannelOffset, int driverOutputs);
    void addZorbOutputTab(int availableGroups, int activeGroups, int firstGroup);
    void addZorbMonitorTab(int availableGroups, int monitorChannel, int numMonitorChannels);

    QTabWidget* tabs() const { return tabs_; }
    // Null until the page's tab is added.
    COutputOptions* outputPage() const { return outputPage_; }
    CMonitorOptions* monitorPage() const { return monitorPage_; }
    CZorbOutputOptions* zorbOutputPage() const { return zorbOutputPage_; }
    CZorbMonitorOptions* zorbMonitorPage() const { return zorbMonitorPage_; }

signals:
    void monitorChannelsChanged(int numChannels, int offset);
    void outputChannelsChanged(int numChannels, int offset);
    void zorbOutputGroupsChanged(int activeGroups, int firstGroup);

private:
    // The page of that slot, built, added under title and forwarding its
    // signal to ours the first time.
    template <class Page, class PageSignal, class WindowSignal>
    Page* page(Page*& slot, const QString& title, PageSignal pageSignal, WindowSignal windowSignal);

    QTabWidget* tabs_;
    COutputOptions* outputPage_ = nullptr;
    CMonitorOptions* monitorPage_ = nullptr;
    CZorbOutputOptions* zorbOutputPage_ = nullptr;
    CZorbMonitorOptions* zorbMonitorPage_ = nullptr;
};

}  // namespace orvelan::app

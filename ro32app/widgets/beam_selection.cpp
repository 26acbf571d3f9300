#include "widgets/beam_selection.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstdlib>

#include "widgets/beam_selection_track.h"
#include "widgets/on_off_button.h"

namespace orvelan::app {

namespace {

const QString kDialogTitle = QStringLiteral("Beam Track Dialog");
const QString kStreamingAddDelete = QStringLiteral("You must stop streaming before adding/deleting a beam track.");
const QString kStreamingLoad = QStringLiteral("You must stop streaming before loading a configuration file.");
const QString kNoneSelected = QStringLiteral("No beam track selected.");
const QString kWrongSuffix = QStringLiteral("Ending not recognized as an Orvelan Settings file!");

constexpr int kToolButtonSide = 25;
constexpr int kToolFontPoints = 8;
constexpr int kRowHeight = 20;
constexpr int kHeadingHeight = 20;
constexpr int kHeadingMargin = 15;

// Column widths of a row, in the order of the headings and of the mask bits.
struct Column {
    const char* heading;
    int width;
};
constexpr Column kColumns[] = {{"ID", 30},     {"Label", 80},         {"Azimuth", 50}, {"Elevation", 50},
                               {"Pattern", 80}, {"Specification", 80}, {"Volume", 80},  {"Mute", 28}};

QFrame* separator(QFrame::Shape shape)
{
    auto* line = new QFrame;
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The headings must keep their columns' widths to stand over the cells, so a
// heading the desktop's font makes too wide ("Elevation" in 50 pixels) gets
// a smaller font rather than being cut off.
void fitTextToWidth(QLabel& label)
{
    QFont font = label.font();
    if (font.pointSizeF() <= 0.0)
        return;
    const int available = label.width() - 2;
    while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(label.text()) > available)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    label.setFont(font);
}

COnOffButton* toolSwitch(const QString& caption, const QString& tip, int onScheme, int offScheme)
{
    auto* button = new COnOffButton;
    button->setColorScheme(onScheme, offScheme);
    button->setTexts(caption, caption);
    button->setToolTip(tip);
    QFont font = button->font();
    font.setPointSize(kToolFontPoints);
    button->setFont(font);
    button->setFixedSize(kToolButtonSide, kToolButtonSide);
    return button;
}

QPushButton* fileButton(const QString& icon, const QString& tip)
{
    auto* button = new QPushButton(QIcon(icon), QString());
    button->setToolTip(tip);
    button->setFixedSize(kToolButtonSide, kToolButtonSide);
    return button;
}

}  // namespace

CBeamSelection::CBeamSelection(const QString& resourcePath, int maxTracks, int buttonMask, int columnMask,
                               QWidget* parent)
    : QWidget(parent), maxTracks_(maxTracks), buttonMask_(buttonMask), columnMask_(columnMask)
{
    resetTrackTemplate();
    auto* layout = new QVBoxLayout;
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    if (buttonMask_ != 0) {
        auto* tools = new QHBoxLayout;
        if (buttonMask_ & 1) {
            addButton_ = toolSwitch("+", "Add beam", COnOffButton::kGrey, COnOffButton::kGrey);
            deleteButton_ = toolSwitch("-", "Delete selected beam", COnOffButton::kGrey, COnOffButton::kGrey);
            tools->addWidget(addButton_);
            tools->addWidget(deleteButton_);
            connect(addButton_, &QPushButton::clicked, this, &CBeamSelection::updateAddBeam);
            connect(deleteButton_, &QPushButton::clicked, this, &CBeamSelection::updateDeleteBeam);
        }
        if (buttonMask_ & 2) {
            tools->addWidget(separator(QFrame::VLine));
            linkButton_ = toolSwitch("L", "Link Azimuth", COnOffButton::kYellow, COnOffButton::kGrey);
            linkButton_->setCheckable(true);
            tools->addWidget(linkButton_);
            connect(linkButton_, &QPushButton::toggled, this, &CBeamSelection::updatePhiLinkStatus);
        }
        if (buttonMask_ & 12)
            tools->addWidget(separator(QFrame::VLine));
        if (buttonMask_ & 4) {
            saveButton_ = fileButton(resourcePath + "/saveFile.png", "create settings file");
            tools->addWidget(saveButton_);
            connect(saveButton_, &QPushButton::clicked, this, &CBeamSelection::saveStateDialog);
        }
        if (buttonMask_ & 8) {
            loadButton_ = fileButton(resourcePath + "/loadFile.png", "load settings file");
            tools->addWidget(loadButton_);
            connect(loadButton_, &QPushButton::clicked, this, &CBeamSelection::loadStateDialog);
        }
        tools->addStretch();
        layout->addLayout(tools);
    }
    if (buttonMask_ != 0 && columnMask_ != 0)
        layout->addWidget(separator(QFrame::HLine));
    if (columnMask_ != 0) {
        auto* headings = new QHBoxLayout;
        headings->addSpacing(kHeadingMargin);
        for (int bit = 0; bit < static_cast<int>(std::size(kColumns)); ++bit) {
            if (!(columnMask_ & (1 << bit)))
                continue;
            auto* heading = new QLabel(kColumns[bit].heading);
            heading->setAlignment(Qt::AlignCenter);
            heading->setFixedSize(kColumns[bit].width, kHeadingHeight);
            fitTextToWidth(*heading);
            headings->addWidget(heading);
        }
        headings->addSpacing(kHeadingMargin);
        layout->addLayout(headings);
        trackLayout_ = new QVBoxLayout;
        layout->addLayout(trackLayout_);
        tracks_.assign(static_cast<std::size_t>(maxTracks_), nullptr);
    }
    layout->addStretch();
    setLayout(layout);
    const QSize empty = layout->sizeHint();
    emptyWidth_ = empty.width();
    emptyHeight_ = empty.height();
}

int CBeamSelection::patternIndex(int index) const
{
    return tracks_[index]->patternIndex();
}

int CBeamSelection::parameterIndex(int index) const
{
    return tracks_[index]->parameterIndex();
}

QColor CBeamSelection::trackColor(int index) const
{
    return tracks_[index]->color();
}

int CBeamSelection::trackTheta(int index) const
{
    return tracks_[index]->theta();
}

int CBeamSelection::trackPhi(int index) const
{
    return tracks_[index]->phi();
}

double CBeamSelection::trackGain(int index) const
{
    return std::pow(10.0, 0.05 * static_cast<double>(tracks_[index]->volume()));
}

bool CBeamSelection::isTrackMuted(int index) const
{
    return tracks_[index]->isMuted();
}

CBeamSelectionTrack* CBeamSelection::track(int index) const
{
    return index >= 0 && index < count_ ? tracks_[index] : nullptr;
}

int CBeamSelection::indexOfName(const QString& name) const
{
    const int index = patterns_.indexOf(name);
    return index < 0 ? 0 : index;
}

int CBeamSelection::findParameterIndex(int pattern, const QString& text) const
{
    const QStringList list = parameters_.value(pattern);
    const int n = static_cast<int>(list.size());
    if (n <= 1)
        return 0;
    const int exact = list.indexOf(text);
    if (exact >= 0)
        return exact;
    // Texts that are not integers count as 0, as toInt() leaves them.
    const int value = text.toInt();
    auto distance = [&](int k) { return list[k].toInt() - value; };
    if (distance(0) >= 0)
        return 0;
    int k = 1;
    while (k < n - 1 && distance(k) < 0)
        ++k;
    if (k == n - 1)
        return n - 1;
    return std::abs(distance(k - 1)) >= std::abs(distance(k)) ? k : k - 1;
}

QSize CBeamSelection::sizeHint() const
{
    return minimumSize();
}

QSize CBeamSelection::minimumSizeHint() const
{
    if (count_ == 0)
        return QSize(emptyWidth_, emptyHeight_);
    const int perRow = tracks_[0]->minimumSizeHint().height() + trackLayout_->spacing();
    return QSize(emptyWidth_, emptyHeight_ + count_ * perRow);
}

void CBeamSelection::addBeam()
{
    if (!trackLayout_ || count_ >= maxTracks_)
        return;
    const QSize noted = size();
    auto* row = new CBeamSelectionTrack(nullptr, kRowHeight, kColumns[0].width, kColumns[1].width,
                                        kColumns[2].width, kColumns[3].width, kColumns[4].width,
                                        kColumns[5].width, kColumns[6].width, kColumns[7].width);
    tracks_[count_] = row;
    row->setId(count_);
    const float volume = static_cast<float>(trackTemplate_.volume);
    row->setVolume(volume);

    QColor color = trackTemplate_.color;
    if (color == QColor(255, 255, 255, 255)) {
        // Red, green, blue in this order, so a seeded run repeats its colours.
        const int red = std::rand() % 256;
        const int green = std::rand() % 256;
        const int blue = std::rand() % 256;
        color = QColor(red, green, blue, 255);
    }
    row->setColor(color);
    row->setLabel(trackTemplate_.label.isEmpty() ? "beam " + QString::number(count_ + 1)
                                                 : trackTemplate_.label);
    row->setPhi(trackTemplate_.phi);
    row->setTheta(trackTemplate_.theta);

    const int pattern = indexOfName(trackTemplate_.pattern);
    row->setPatternList(patterns_, pattern);
    row->setParameterList(parameters_.value(pattern), findParameterIndex(pattern, trackTemplate_.parameter));
    row->setVolume(volume);
    row->setMute(trackTemplate_.mute);
    connectTrack(row);

    ++count_;
    trackLayout_->addWidget(row);
    resize(noted.width(), noted.height() + row->minimumSizeHint().height() + trackLayout_->spacing());
}

void CBeamSelection::connectTrack(CBeamSelectionTrack* row)
{
    using Row = CBeamSelectionTrack;
    connect(row, &Row::trackClicked, this, &CBeamSelection::updateActiveBeamTrack);
    connect(row, &Row::colorChanged, this, &CBeamSelection::beamTrackColorChanged);
    connect(row, &Row::labelChanged, this, &CBeamSelection::beamTrackLabelChanged);
    connect(row, &Row::thetaChanged, this, &CBeamSelection::beamTrackThetaChanged);
    connect(row, &Row::phiChanged, this, &CBeamSelection::beamTrackPhiChanged);
    connect(row, &Row::parameterChanged, this, &CBeamSelection::beamTrackParameterChanged);
    connect(row, &Row::gainChanged, this, &CBeamSelection::beamTrackGainChanged);
    connect(row, &Row::muteChanged, this, &CBeamSelection::beamTrackMuteChanged);
    connect(row, &Row::patternChanged, this, &CBeamSelection::updatePattern);

    connect(row, &Row::colorChanged, this, qOverload<int, const QColor&>(&CBeamSelection::updateDirtyFlag));
    connect(row, &Row::labelChanged, this, qOverload<int, const QString&>(&CBeamSelection::updateDirtyFlag));
    const auto dirtyInt = qOverload<int, int>(&CBeamSelection::updateDirtyFlag);
    connect(row, &Row::thetaChanged, this, dirtyInt);
    connect(row, &Row::phiChanged, this, dirtyInt);
    connect(row, &Row::patternChanged, this, dirtyInt);
    connect(row, &Row::parameterChanged, this, dirtyInt);
    connect(row, &Row::gainChanged, this, qOverload<int, float>(&CBeamSelection::updateDirtyFlag));
    connect(row, &Row::muteChanged, this, qOverload<int, bool>(&CBeamSelection::updateDirtyFlag));
}

void CBeamSelection::deleteBeam()
{
    if (active_ < 0 || count_ == 0)
        return;
    const QSize noted = size();
    --count_;
    CBeamSelectionTrack* row = tracks_[active_];
    const int rowHeight = row->minimumSizeHint().height();
    trackLayout_->removeWidget(row);
    delete row;
    for (int k = active_; k < count_; ++k) {
        tracks_[k] = tracks_[k + 1];
        tracks_[k]->setId(k);
    }
    tracks_[count_] = nullptr;
    active_ = -1;
    resize(noted.width(), noted.height() - trackLayout_->spacing() - rowHeight);
}

void CBeamSelection::resetDirtyFlag()
{
    dirty_ = false;
}

void CBeamSelection::setPhiLinkStatus(bool status)
{
    showPhiLink(status);
    dirty_ = true;
}

void CBeamSelection::showPhiLink(bool status)
{
    phiLink_ = status;
    if (linkButton_)
        linkButton_->setChecked(status);
}

void CBeamSelection::setActiveBeamTrack(int id)
{
    if (id < 0 || id >= count_)
        return;
    if (active_ >= 0 && active_ < count_)
        tracks_[active_]->setSelected(false);
    active_ = id;
    tracks_[id]->setSelected(true);
}

void CBeamSelection::setPatternAndParameterLists(const QStringList& patterns,
                                                 const QList<QStringList>& parameters)
{
    patterns_ = patterns;
    parameters_ = parameters;
    for (int k = 0; k < count_; ++k) {
        tracks_[k]->setPatternList(patterns_, 0);
        tracks_[k]->setParameterList(parameters_.value(0), 0);
    }
}

void CBeamSelection::setColor(int index, const QColor& color)
{
    tracks_[index]->setColor(color);
    dirty_ = true;
}

void CBeamSelection::setLabel(int index, const QString& label)
{
    tracks_[index]->setLabel(label);
    dirty_ = true;
}

void CBeamSelection::setTheta(int index, int angle)
{
    tracks_[index]->setTheta(angle);
    dirty_ = true;
}

void CBeamSelection::setPhi(int index, int angle)
{
    if (phiLink_) {
        const int delta = angle - tracks_[index]->phi();
        for (int k = 0; k < count_; ++k) {
            if (k == index)
                continue;
            tracks_[k]->rotatePhi(delta);
            emit beamTrackPhiChanged(k, tracks_[k]->phi());
        }
    }
    tracks_[index]->setPhi(angle);
    dirty_ = true;
}

void CBeamSelection::setTheta(int angle)
{
    if (active_ >= 0)
        setTheta(active_, angle);
    dirty_ = true;
}

void CBeamSelection::setPhi(int angle)
{
    if (active_ >= 0)
        setPhi(active_, angle);
    dirty_ = true;
}

void CBeamSelection::setPatternIndex(int index, int pattern)
{
    tracks_[index]->patternBox()->setCurrentIndex(pattern);
    dirty_ = true;
}

void CBeamSelection::setParameterIndex(int index, int parameter)
{
    tracks_[index]->parameterBox()->setCurrentIndex(parameter);
    dirty_ = true;
}

void CBeamSelection::setVolume(int index, float dB)
{
    tracks_[index]->setVolume(dB);
    dirty_ = true;
}

void CBeamSelection::setMute(int index, bool mute)
{
    tracks_[index]->setMute(mute);
    dirty_ = true;
}

void CBeamSelection::setStreamingActive(bool active)
{
    streaming_ = active;
}

void CBeamSelection::updatePhiLinkStatus(bool status)
{
    phiLink_ = status;
}

void CBeamSelection::updateActiveBeamTrack(int id)
{
    setActiveBeamTrack(id);
    emit activeBeamTrackChanged(active_);
}

void CBeamSelection::updatePattern(int id, int pattern)
{
    CBeamSelectionTrack* row = tracks_[id];
    // The track keeps its variant by name, or the nearest one by value.
    const int parameter = findParameterIndex(pattern, row->parameterText());
    row->setParameterList(parameters_.value(pattern), parameter);
    emit beamTrackPatternChanged(id, pattern, parameter);
}

void CBeamSelection::updateAddBeam()
{
    if (streaming_) {
        refuse(kStreamingAddDelete);
        return;
    }
    appendAndAnnounce();
}

void CBeamSelection::appendAndAnnounce()
{
    const int before = count_;
    addBeam();
    if (count_ > before)
        emit beamTrackAdded(count_ - 1);
}

void CBeamSelection::updateDeleteBeam()
{
    if (streaming_) {
        refuse(kStreamingAddDelete);
        return;
    }
    if (active_ < 0) {
        refuse(kNoneSelected);
        return;
    }
    removeActiveAndAnnounce();
}

void CBeamSelection::removeActiveAndAnnounce()
{
    const int former = active_;
    deleteBeam();
    updateDeletedBeamTrack(former);
    emit beamTrackDeleted(former);
}

void CBeamSelection::updateDeletedBeamTrack(int formerIndex)
{
    if (formerIndex < 0)
        return;
    if (formerIndex < count_)
        setActiveBeamTrack(formerIndex);
    else if (count_ > 0)
        setActiveBeamTrack(count_ - 1);
}

void CBeamSelection::updateDirtyFlag(int, const QColor&)
{
    dirty_ = true;
}

void CBeamSelection::updateDirtyFlag(int, const QString&)
{
    dirty_ = true;
}

void CBeamSelection::updateDirtyFlag(int, int)
{
    dirty_ = true;
}

void CBeamSelection::updateDirtyFlag(int, float)
{
    dirty_ = true;
}

void CBeamSelection::updateDirtyFlag(int, bool)
{
    dirty_ = true;
}

void CBeamSelection::resetTrackTemplate()
{
    trackTemplate_ = BeamTrackValues{};
    trackTemplate_.color = QColor(255, 255, 255, 255);
    trackTemplate_.theta = 90;
    trackTemplate_.pattern = "omni";
    trackTemplate_.parameter = "0";
}

void CBeamSelection::refuse(const QString& text)
{
    QMessageBox::information(this, kDialogTitle, text);
}

void CBeamSelection::warnSuffix()
{
    QMessageBox::warning(this, kDialogTitle, kWrongSuffix);
}

void CBeamSelection::rememberFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    fileName_ = fileName;
    settingsBaseName_ = info.baseName();
    settingsDirectory_ = info.absolutePath();
}

void CBeamSelection::saveCurrentState(const QString& fileName)
{
    rememberFile(fileName);
    BeamTrackSetup setup;
    setup.phiLink = phiLink_;
    for (int k = 0; k < count_; ++k) {
        const CBeamSelectionTrack* row = tracks_[k];
        setup.tracks << BeamTrackValues{row->color(),       row->label(),         row->phi(),
                                        row->theta(),       row->patternText(),   row->parameterText(),
                                        row->volume(),      row->isMuted()};
    }
    writeBeamTrackSettings(fileName, setup);
}

void CBeamSelection::loadState(const QString& fileName)
{
    if (streaming_) {
        refuse(kStreamingLoad);
        return;
    }
    if (!hasBeamTrackSettingsSuffix(fileName)) {
        warnSuffix();
        return;
    }
    rememberFile(fileName);
    // Last to first, each announced as the active track before it goes: the
    // window drops the displays' active curve on beamTrackDeleted.
    for (int i = count_ - 1; i >= 0; --i) {
        setActiveBeamTrack(i);
        emit activeBeamTrackChanged(i);
        removeActiveAndAnnounce();
    }
    showPhiLink(false);

    const BeamTrackSetup setup = readBeamTrackSettings(fileName);
    for (const BeamTrackValues& values : setup.tracks) {
        trackTemplate_ = values;
        appendAndAnnounce();
    }
    showPhiLink(setup.phiLink);
    dirty_ = false;
    resetTrackTemplate();
}

QString CBeamSelection::askFileName(bool save, const QString& title, const QString& start)
{
    QFileDialog dialog(this, title, start, tr("Orvelan Settings Files (*.ovs);;All Files (*)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // Qt's own dialog adds no extension by itself; without one a name
        // typed as "setup" would be saved where the load's suffix check
        // refuses it.
        dialog.setDefaultSuffix("ovs");
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

bool CBeamSelection::saveStateDialog()
{
    const QString name = askFileName(true, tr("Save Current Settings"), fileName_);
    if (name.isEmpty())
        return false;
    if (!hasBeamTrackSettingsSuffix(name)) {
        warnSuffix();
        return false;
    }
    saveCurrentState(name);
    return true;
}

void CBeamSelection::loadStateDialog()
{
    if (streaming_) {
        refuse(kStreamingLoad);
        return;
    }
    const QString name = askFileName(false, tr("open settings File"), settingsDirectory_);
    // loadState checks the suffix and warns as the dialog would.
    if (!name.isEmpty())
        loadState(name);
}

}  // namespace orvelan::app

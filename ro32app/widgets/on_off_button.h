// A self-painted switch: a rounded face with a two-stop gradient, one colour
// scheme and caption for the checked state and one for the unchecked state,
// paler while disabled. Used for the one-letter mute, solo, link, add and
// delete buttons.
#pragma once

#include <QLinearGradient>
#include <QPushButton>
#include <QString>

namespace orvelan::app {

class COnOffButton : public QPushButton {
    Q_OBJECT

public:
    enum Scheme { kRed = 0, kGreen = 1, kYellow = 2, kGrey = 3 };

    // Checked red, unchecked green, no captions. Not checkable by itself:
    // one left uncheckable always paints its unchecked face.
    explicit COnOffButton(QWidget* parent = nullptr);

    // A scheme number outside 0..3 leaves that side as it was. Neither
    // setter repaints; the next paint shows the change.
    void setColorScheme(int onScheme, int offScheme);
    void setTexts(const QString& onText, const QString& offText);

    QString onText() const { return onText_; }
    QString offText() const { return offText_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString onText_;
    QString offText_;
    QLinearGradient onGradient_;
    QLinearGradient onGradientDisabled_;
    QLinearGradient offGradient_;
    QLinearGradient offGradientDisabled_;
};

}  // namespace orvelan::app

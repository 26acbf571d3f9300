#include "widgets/on_off_button.h"

#include <QPainter>

namespace orvelan::app {

namespace {

struct SchemeColours {
    QColor from, to, fromDisabled, toDisabled;
};

constexpr int kSchemeCount = 4;

const SchemeColours& schemeColours(int scheme)
{
    static const SchemeColours schemes[kSchemeCount] = {
        {QColor(255, 0, 0), QColor(182, 0, 0), QColor(255, 105, 105), QColor(182, 105, 105)},
        {QColor(29, 255, 20), QColor(29, 182, 20), QColor(149, 255, 140), QColor(139, 182, 130)},
        {QColor(250, 250, 20), QColor(180, 180, 20), QColor(220, 220, 140), QColor(150, 150, 130)},
        {QColor(230, 230, 230), QColor(150, 150, 150), QColor(150, 150, 150), QColor(80, 80, 80)},
    };
    return schemes[scheme];
}

// The pair of gradients of one scheme; false for a number outside the table.
bool schemeGradients(int scheme, QLinearGradient& enabled, QLinearGradient& disabled)
{
    if (scheme < 0 || scheme >= kSchemeCount)
        return false;
    const SchemeColours& colours = schemeColours(scheme);
    enabled.setStops({{0.0, colours.from}, {1.0, colours.to}});
    disabled.setStops({{0.0, colours.fromDisabled}, {1.0, colours.toDisabled}});
    return true;
}

}  // namespace

COnOffButton::COnOffButton(QWidget* parent) : QPushButton(parent)
{
    setColorScheme(kRed, kGreen);
}

void COnOffButton::setColorScheme(int onScheme, int offScheme)
{
    schemeGradients(onScheme, onGradient_, onGradientDisabled_);
    schemeGradients(offScheme, offGradient_, offGradientDisabled_);
}

void COnOffButton::setTexts(const QString& onText, const QString& offText)
{
    onText_ = onText;
    offText_ = offText;
}

void COnOffButton::paintEvent(QPaintEvent*)
{
    const bool on = isChecked();
    QLinearGradient gradient = isEnabled() ? (on ? onGradient_ : offGradient_)
                                           : (on ? onGradientDisabled_ : offGradientDisabled_);
    const QString& caption = on ? onText_ : offText_;

    const int w = width();
    const int h = height();
    const int mx = static_cast<int>(w * 0.1);
    const int my = static_cast<int>(h * 0.1);
    QRect face(mx, my, w - 2 * mx, h - 2 * my);
    if (isDown())
        face.translate(1, 1);
    // The gradient's end points take the height for x and the width for y;
    // on the square buttons it is used on the two are the same.
    gradient.setStart(0.4 * h, 0.4 * w);
    gradient.setFinalStop(0.8 * h, 0.8 * w);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::darkGray);
    painter.setBrush(gradient);
    painter.drawRoundedRect(face, 50, 50, Qt::RelativeSize);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(face, Qt::AlignCenter, caption);
}

}  // namespace orvelan::app

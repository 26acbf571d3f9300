#include "widgets/beam_display_azimuth.h"

#include <QEvent>
#include <QPainter>

#include <cmath>
#include <new>

#include "dsp.h"

namespace orvelan::app {

namespace {

// The angles grow counter-clockwise on the screen, where the painter turns
// clockwise; 0 degrees lies to the right, a quarter turn from straight up.
constexpr int kZeroDirection = 90;
constexpr int kDirectionSign = -1;
const QRect kPlotWindow(-50, -50, 100, 100);

// Turned to the curve's phi; the pen takes the curve's colour. A curve
// without samples draws nothing.
void drawCurve(QPainter& painter, const beamCurve& curve, QPen pen, const QBrush& brush, bool convex)
{
    if (curve.sampleCount() == 0)
        return;
    pen.setColor(curve.color());
    painter.save();
    painter.setPen(pen);
    painter.setBrush(brush);
    painter.rotate(curve.phi() * kDirectionSign);
    if (convex)
        painter.drawConvexPolygon(curve.outline(), curve.sampleCount());
    else
        painter.drawPolygon(curve.outline(), curve.sampleCount(), Qt::OddEvenFill);
    painter.restore();
}

// The kernels' aligned float arrays, released however the scope is left.
struct AlignedFloats {
    explicit AlignedFloats(int count) : data(dspsMalloc_32f(count)) {}
    ~AlignedFloats() { dspsFree(data); }
    AlignedFloats(const AlignedFloats&) = delete;
    AlignedFloats& operator=(const AlignedFloats&) = delete;
    float* data;
};

}  // namespace

beamCurve::beamCurve(double range)
    : floor_(static_cast<float>(std::pow(10.0, -range / 20.0))), range_(static_cast<float>(range))
{
}

beamCurve::~beamCurve()
{
    release();
}

void beamCurve::release()
{
    dspsFree(magnitudes_);
    magnitudes_ = nullptr;
    outline_.reset();
    count_ = 0;
}

void beamCurve::setPhi(double degrees)
{
    degrees = std::fmod(degrees, 360.0);
    if (degrees < 0.0)
        degrees += 360.0;
    // A tiny negative remainder comes back as 360 itself.
    phi_ = degrees >= 360.0 ? 0.0 : degrees;
}

int beamCurve::setPattern(const float* magnitudes, int count)
{
    if (magnitudes == nullptr || count < 2) {
        release();
        return 0;
    }
    if (count_ != count)
        release();
    if (count_ == 0) {
        magnitudes_ = dspsMalloc_32f(count);
        outline_.reset(new (std::nothrow) QPointF[count]);
        if (magnitudes_ == nullptr || !outline_) {
            release();
            return 1;
        }
        count_ = count;
    }
    dspsCopy_32f(magnitudes, magnitudes_, count);
    if (computeOutline() != 0) {
        release();
        return 1;
    }
    return 0;
}

int beamCurve::computeOutline()
{
    const int n = count_;
    AlignedFloats phase(n), radius(n), x(n), y(n);
    if (!phase.data || !radius.data || !x.data || !y.data)
        return 1;
    // dB of the magnitude, range dB mapped onto the disc radius: 0 dB at the
    // rim, -range dB and below at the centre.
    dspsThreshold_LT_32f(magnitudes_, radius.data, n, floor_);
    dspsLn_32f_I(radius.data, n);
    dspsMulC_32f_I(static_cast<float>(CPolarDisplay::kDiscRadius * (20.0 / std::log(10.0))) / range_, radius.data, n);
    dspsAddC_32f_I(static_cast<float>(CPolarDisplay::kDiscRadius), radius.data, n);
    dspsVectorRamp_32f(phase.data, n, 0.0f, 6.2831855f / static_cast<float>(n - 1));
    dspsPolarToCart_32f(radius.data, phase.data, x.data, y.data, n - 1);
    // Screen y grows downwards: the outline runs counter-clockwise from the
    // right, and the last sample closes it exactly.
    for (int k = 0; k < n - 1; ++k)
        outline_[k] = QPointF(x.data[k], -y.data[k]);
    outline_[n - 1] = outline_[0];
    return 0;
}

CBeamDisplayAzimuth::CBeamDisplayAzimuth(int capacity, double range, QWidget* parent)
    : CPolarDisplay(parent), range_(range), curves_(static_cast<std::size_t>(std::max(capacity, 0)))
{
    // The layer holds the background too, so a paint covers the whole
    // display and nothing behind it is painted first: during a drag that is
    // every frame.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CBeamDisplayAzimuth::~CBeamDisplayAzimuth() = default;

const beamCurve* CBeamDisplayAzimuth::curve(int index) const
{
    return index >= 0 && index < count_ ? curves_[index].get() : nullptr;
}

beamCurve* CBeamDisplayAzimuth::at(int index)
{
    return index >= 0 && index < count_ ? curves_[index].get() : nullptr;
}

int CBeamDisplayAzimuth::addPattern(const float* magnitudes, int count, const QColor& colour)
{
    if (count_ >= capacity())
        return 1;
    std::unique_ptr<beamCurve> curve(new (std::nothrow) beamCurve(range_));
    if (!curve)
        return 2;
    if (const int result = curve->setPattern(magnitudes, count); result != 0)
        return result;
    curve->setColor(colour);
    curves_[count_++] = std::move(curve);
    changed(count_ - 1);
    return 0;
}

void CBeamDisplayAzimuth::removeActivePattern()
{
    if (active_ < 0)
        return;
    curves_[active_].reset();
    for (int i = active_; i + 1 < count_; ++i)
        curves_[i] = std::move(curves_[i + 1]);
    --count_;
    active_ = -1;
    layerStale_ = true;
    update();
}

void CBeamDisplayAzimuth::changed(int index)
{
    if (index != active_)
        layerStale_ = true;
    update();
}

void CBeamDisplayAzimuth::setActivePattern(int index)
{
    const int active = at(index) ? index : -1;
    if (active != active_)
        layerStale_ = true;
    active_ = active;
    update();
}

void CBeamDisplayAzimuth::setColor(int index, const QColor& colour)
{
    if (beamCurve* curve = at(index))
        curve->setColor(colour);
    changed(index);
}

void CBeamDisplayAzimuth::setPhi(int index, int degrees)
{
    if (beamCurve* curve = at(index))
        curve->setPhi(degrees);
    changed(index);
}

void CBeamDisplayAzimuth::setPattern(int index, const float* magnitudes, int count)
{
    if (beamCurve* curve = at(index))
        curve->setPattern(magnitudes, count);
    changed(index);
}

void CBeamDisplayAzimuth::setColor(const QColor& colour)
{
    setColor(active_, colour);
}

void CBeamDisplayAzimuth::setPhi(int degrees)
{
    setPhi(active_, degrees);
}

void CBeamDisplayAzimuth::setPattern(const float* magnitudes, int count)
{
    setPattern(active_, magnitudes, count);
}

void CBeamDisplayAzimuth::steerActive(double phi)
{
    beamCurve* curve = at(active_);
    curve->setPhi(phi);
    emit phiChanged(static_cast<int>(curve->phi()));
    update();
}

void CBeamDisplayAzimuth::turnBy(float delta)
{
    steerActive(at(active_)->phi() + delta);
}

void CBeamDisplayAzimuth::clickedAt(float angle)
{
    steerActive(angle);
}

QRect CBeamDisplayAzimuth::plotViewport() const
{
    const int side = std::min(width(), height());
    return QRect(static_cast<int>((width() - side) * 0.5), static_cast<int>((height() - side) * 0.5), side, side);
}

void CBeamDisplayAzimuth::paintLayer(const Pens& pens, qreal ratio)
{
    if (layer_.devicePixelRatio() != ratio || layer_.size() != size() * ratio) {
        layer_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        layer_.setDevicePixelRatio(ratio);
    }
    layerBackground_ = palette().brush(backgroundRole());
    layerInk_ = pens.thin.brush();
    layerStale_ = false;

    QPainter painter(&layer_);
    painter.fillRect(QRectF(QPointF(0.0, 0.0), QSizeF(size())), layerBackground_);
    setPlotFrame(painter, plotViewport(), kPlotWindow);
    painter.setPen(pens.medium);
    painter.setBrush(Qt::white);
    painter.drawEllipse(discRect());

    // A ring every 10 dB inside the rim.
    painter.setPen(pens.thin);
    painter.setBrush(Qt::NoBrush);
    const int rings = static_cast<int>(range_ * 0.1);
    for (int i = 1; i < rings; ++i) {
        const double radius = static_cast<int>(kDiscRadius * (range_ - 10.0 * i) / range_);
        painter.drawEllipse(QRectF(-radius, -radius, 2.0 * radius, 2.0 * radius));
    }

    painter.save();
    painter.rotate(kZeroDirection);
    drawScale(painter, pens.thin, 355, 5.0 * kDirectionSign);
    painter.restore();

    for (int i = 0; i < count_; ++i)
        if (i != active_)
            drawCurve(painter, *curves_[i], pens.medium, Qt::NoBrush, false);
}

void CBeamDisplayAzimuth::paintEvent(QPaintEvent*)
{
    // Everything but the active curve and the veil comes from the layer,
    // drawn again only when one of its parts changed: a drag turns one curve
    // per frame, and stroking all of them would cost several times as much.
    if (width() <= 0 || height() <= 0)
        return;
    const Pens pens = gridPens();
    const qreal ratio = devicePixelRatioF();
    if (layerStale_ || layer_.devicePixelRatio() != ratio || layer_.size() != size() * ratio ||
        layerInk_ != pens.thin.brush() || layerBackground_ != palette().brush(backgroundRole()))
        paintLayer(pens, ratio);

    QPainter painter(this);
    painter.drawImage(QPointF(0.0, 0.0), layer_);
    beginPlot(painter, plotViewport(), kPlotWindow);
    if (const beamCurve* active = curve(active_)) {
        QColor fill = active->color();
        fill.setAlpha(50);
        // The fill's edge lies under the heavy outline, which hides whether
        // it was antialiased; filling without costs half as much per frame.
        painter.setRenderHint(QPainter::Antialiasing, false);
        drawCurve(painter, *active, QPen(Qt::NoPen), fill, true);
        painter.setRenderHint(QPainter::Antialiasing, true);
        drawCurve(painter, *active, pens.thick, Qt::NoBrush, true);
    }
    if (!isEnabled()) {
        painter.setPen(pens.medium);
        painter.setBrush(veilBrush());
        painter.drawEllipse(discRect());
    }
}

void CBeamDisplayAzimuth::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        layerStale_ = true;
        break;
    default:
        break;
    }
    CPolarDisplay::changeEvent(event);
}

}  // namespace orvelan::app

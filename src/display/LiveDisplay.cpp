#include "display/LiveDisplay.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QString>

#include <algorithm>
#include <cmath>

#include "display/DrawingSurface.h"
#include "display/StaticDiagrams.h"
#include "report/NumberFormat.h"

namespace halvane {

namespace {

const QColor Teal(37, 176, 189);
const QColor EnergyBarColour(48, 32, 32);
const QColor IntensityBarColour(0, 0, 255);
const QColor GridGrey(128, 128, 128);
const QColor Red(255, 0, 0);
const QColor White(255, 255, 255);
const QColor Cyan(0, 255, 255);
const QColor Magenta(255, 0, 255);

// Half to even, then clamped to [low, high]; NaN gives nothing.
bool RoundToRange(double value, int low, int high, int& out)
{
    if (std::isnan(value)) {
        return false;
    }
    const double rounded = std::nearbyint(value);
    out = static_cast<int>(std::clamp(rounded, static_cast<double>(low), static_cast<double>(high)));
    return true;
}

void ShowMeter(QSlider* meter, bool visible)
{
    if (meter != nullptr) {
        meter->setVisible(visible);
    }
}

}  // namespace

LiveDisplay::LiveDisplay(DrawingSurface& strip, DrawingSurface& map, DrawingSurface& polar, DisplayControls controls,
                         char decimalSeparator)
    : m_strip(strip), m_map(map), m_polar(polar), m_controls(controls), m_decimalSeparator(decimalSeparator)
{
}

void LiveDisplay::PrepareDisplay(double skipMs, double displayWindowMs)
{
    m_strip.Clear();
    m_strip.SetPenMode(PenMode::Copy);
    m_map.SetPenMode(PenMode::Merge);
    m_strip.SetFillColour(QColor(0, 0, 0));
    m_strip.SetPersistentDrawing(true);
    m_strip.SetHorizontalScale(skipMs, displayWindowMs);
    m_map.SetPersistentDrawing(true);
    m_map.SetLineWidth(1);
    m_map.SetFillColour(Teal);
    m_map.SetSolidFill(true);
    m_polar.SetFillColour(Teal);
    m_polar.SetSolidFill(true);
    DrawMapScale(m_map, skipMs, displayWindowMs, m_decimalSeparator);
}

void LiveDisplay::DrawLevelBars(double windowIndex, double averagingWindowMs, double energyLevel, double intensityLevel)
{
    const auto left = static_cast<float>(averagingWindowMs * windowIndex);
    const auto right = static_cast<float>(averagingWindowMs * (windowIndex + 1));
    m_strip.Box(left, 0.0f, right, static_cast<float>(energyLevel), EnergyBarColour);
    m_strip.Box(left, 0.0f, right, static_cast<float>(intensityLevel), IntensityBarColour);
}

void LiveDisplay::DrawStripGrid(double skipMs, double displayWindowMs)
{
    const auto left = static_cast<float>(skipMs);
    const auto right = static_cast<float>(skipMs + displayWindowMs);
    m_strip.Line(left, 60.0f, right, 60.0f, GridGrey);
    m_strip.Line(left, 80.0f, right, 80.0f, GridGrey);
    for (const double x :
         {displayWindowMs / 4 + skipMs, displayWindowMs / 2 + skipMs, displayWindowMs * 3 / 4 + skipMs}) {
        m_strip.Line(static_cast<float>(x), 100.0f, static_cast<float>(x), 40.0f, GridGrey);
    }
    m_strip.SetPenMode(PenMode::Xor);
    m_polar.SetPenMode(PenMode::Xor);
}

void LiveDisplay::WindowMarker(double timeMs, double averagingWindowMs)
{
    m_strip.Box(static_cast<float>(timeMs), 40.0f, static_cast<float>(timeMs + averagingWindowMs), 100.0f, Red);
}

void LiveDisplay::ShowDirection(const DirectionView& view)
{
    int shade = 0;
    if (!RoundToRange(2 * view.ShadeLevel, 0, 255, shade)) {
        shade = 0;
    }
    m_map.SetFillColour(QColor(shade, shade, shade));

    if (m_controls.textBox != nullptr) {
        const std::string text = "Azimuth:" + FormatFixed2(view.Az, m_decimalSeparator) +
                                 " - Elevation:" + FormatFixed2(view.El, m_decimalSeparator);
        const QString shown = QString::fromStdString(text);
        // Consecutive windows often read the same; repainting the box costs more than comparing.
        if (m_controls.textBox->text() != shown) {
            m_controls.textBox->setText(shown);
        }
    }

    if (view.MapRadius > 0) {
        DrawArrivalMark(m_map, view.Az, view.El, view.MapRadius, QColor(shade, shade, 0));

        m_polar.SetFillColour(view.Dz >= 0 ? Cyan : Magenta);
        DrawPolarCircle(view);
        m_polarCircleShown = true;

        if (QSlider* meter = m_controls.pgX) {
            meter->setValue(ComponentMeterValue(view.Dx, meter->value()));
        }
        if (QSlider* meter = m_controls.pgY) {
            meter->setValue(ComponentMeterValue(view.Dy, meter->value()));
        }
        if (QSlider* meter = m_controls.pgZ) {
            meter->setValue(ComponentMeterValue(view.Dz, meter->value()));
        }
        if (QSlider* meter = m_controls.idc) {
            meter->setValue(IntensityRatioMeterValue(view.IntensityMagnitude, view.De, meter->value()));
        }
        ShowMeter(m_controls.pgX, true);
        ShowMeter(m_controls.pgY, true);
        ShowMeter(m_controls.pgZ, true);
        ShowMeter(m_controls.idc, true);
    } else {
        ShowMeter(m_controls.pgX, false);
        ShowMeter(m_controls.pgY, false);
        ShowMeter(m_controls.pgZ, false);
        ShowMeter(m_controls.idc, false);
    }
}

void LiveDisplay::ClearDirection(const DirectionView& view, double skipMs, double displayWindowMs)
{
    DrawPolarCircle(view);
    m_polarCircleShown = false;
    m_map.Clear();
    DrawMapScale(m_map, skipMs, displayWindowMs, m_decimalSeparator);
}

void LiveDisplay::SetProgress(float percent)
{
    if (m_controls.progress == nullptr || std::isnan(percent)) {
        return;
    }
    const float clamped = std::clamp(percent, 0.0f, 100.0f);
    m_controls.progress->setValue(static_cast<int>(std::nearbyint(clamped)));
}

void LiveDisplay::DrawPolarCircle(const DirectionView& view)
{
    m_polar.Circle(static_cast<float>(-view.Dy), static_cast<float>(view.Dx), static_cast<float>(view.PolarRadius),
                   White);
}

void LiveDisplay::DrawPolarDiagramOnActivation()
{
    if (m_polarCircleShown) {
        return;
    }
    const PenMode mode = m_polar.CurrentPenMode();
    const bool solid = m_polar.SolidFill();
    m_polar.SetPenMode(PenMode::Copy);
    m_polar.SetSolidFill(false);
    DrawPolarDiagram(m_polar);
    m_polar.SetPenMode(mode);
    m_polar.SetSolidFill(solid);
}

int LiveDisplay::ComponentMeterValue(double component, int current)
{
    int value = current;
    RoundToRange(-99 * component, -100, 100, value);
    return value;
}

int LiveDisplay::IntensityRatioMeterValue(double intensityMagnitude, double de, int current)
{
    int value = current;
    RoundToRange((std::log(intensityMagnitude / de) * (-100)) / std::log(10.0), 0, 100, value);
    return value;
}

}  // namespace halvane

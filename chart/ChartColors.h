// Colours and pens of the charting component.
//
// A colour is a 32-bit value laid out 0x00BBGGRR. clTeeColor is not a colour but a request: "the
// series' own colour" (for a series, the colour its chart picks from the palette when the
// series is added; for a point, the colour of its series).
#pragma once

#include <QColor>
#include <QObject>
#include <QPen>
#include <QString>

#include <cstdint>

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clTeeColor = 0x20000000;

namespace chart {
Q_NAMESPACE

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
Q_ENUM_NS(TPenStyle)

} // namespace chart

using chart::TPenStyle;
using enum chart::TPenStyle;

// How a line is drawn. Color clTeeColor: in the colour of what the pen belongs to (a series'
// line pen draws in the series' colour). SmallDots draws a line of single-pixel dots whatever
// the Style, unless the style is psClear. Width is in pixels; an invisible pen draws nothing.
class TChartPen {
public:
    TPenStyle Style = psSolid;
    bool SmallDots = false;
    int Width = 1;
    TColor Color = clTeeColor;
    bool Visible = true;
};

// The RGB part of a colour; clTeeColor (and any value with bits above 0x00FFFFFF) reads as its
// low 24 bits, so callers resolve clTeeColor first.
QColor ToQColor(TColor color);

// The Qt pen that draws `pen` in `color` (the pen's own Color when it is not clTeeColor). A pen
// that draws nothing (psClear, not Visible, Width below 1 treated as 1) gives Qt::NoPen.
QPen ToQPen(const TChartPen& pen, TColor color);

// The colour names of the form resources: "clRed", "clSilver", ..., "clTeeColor", a hexadecimal
// "$00C0C0C0" (0x00BBGGRR) or a decimal number. Names compare without regard to case.
// TryStringToColor leaves `color` as it was on failure.
bool TryStringToColor(const QString& text, TColor& color);
// The name of a named colour, otherwise "$00BBGGRR".
QString ColorToString(TColor color);

// The palette a chart takes colours from for series on clTeeColor: distinct colours that read
// well on the white plotting area. Index wraps around.
int PaletteSize();
TColor PaletteColor(int index);

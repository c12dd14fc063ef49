#include "ChartColors.h"

#include <array>

namespace {

struct NamedColor {
    const char* name;
    TColor color;
};

constexpr NamedColor kColorNames[] = {
    {"clBlack", clBlack}, {"clMaroon", clMaroon},    {"clGreen", clGreen},
    {"clOlive", clOlive}, {"clNavy", clNavy},        {"clPurple", clPurple},
    {"clTeal", clTeal},   {"clGray", clGray},        {"clSilver", clSilver},
    {"clRed", clRed},     {"clLime", clLime},        {"clYellow", clYellow},
    {"clBlue", clBlue},   {"clFuchsia", clFuchsia},  {"clAqua", clAqua},
    {"clWhite", clWhite}, {"clTeeColor", clTeeColor}};

// Pure yellow, lime and aqua are hard to see on white, and white not at all: the palette uses
// darker shades of those hues and leaves white out.
constexpr std::array<TColor, 15> kPalette = {clRed,
                                             clGreen,
                                             0x0000A0CC /* gold */,
                                             clBlue,
                                             clFuchsia,
                                             clTeal,
                                             0x000080FF /* orange */,
                                             clGray,
                                             clOlive,
                                             0x0000C000 /* leaf green */,
                                             clNavy,
                                             clMaroon,
                                             clPurple,
                                             0x00C0C000 /* sea blue */,
                                             0x00336699 /* brown */};

} // namespace

QColor ToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

QPen ToQPen(const TChartPen& pen, TColor color) {
    if (!pen.Visible || pen.Style == psClear)
        return QPen(Qt::NoPen);
    QPen result(ToQColor(pen.Color == clTeeColor ? color : pen.Color));
    result.setWidth(pen.Width < 1 ? 1 : pen.Width);
    result.setCapStyle(Qt::FlatCap);
    // Dash patterns count in pen widths; these are the pixel patterns of a one-pixel pen.
    if (pen.SmallDots) {
        result.setDashPattern({1, 1});
        return result;
    }
    switch (pen.Style) {
    case psDash:
        result.setDashPattern({6, 3});
        break;
    case psDot:
        result.setDashPattern({2, 2});
        break;
    case psDashDot:
        result.setDashPattern({6, 3, 2, 3});
        break;
    case psDashDotDot:
        result.setDashPattern({6, 3, 2, 3, 2, 3});
        break;
    case psSolid:
    case psClear:
        break;
    }
    return result;
}

bool TryStringToColor(const QString& text, TColor& color) {
    const QString name = text.trimmed();
    for (const NamedColor& named : kColorNames) {
        if (name.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0) {
            color = named.color;
            return true;
        }
    }
    bool ok = false;
    const qulonglong value =
        name.startsWith(u'$') ? name.mid(1).toULongLong(&ok, 16) : name.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFull)
        return false;
    color = static_cast<TColor>(value);
    return true;
}

QString ColorToString(TColor color) {
    for (const NamedColor& named : kColorNames)
        if (named.color == color)
            return QLatin1String(named.name);
    return u'$' + QString::number(color, 16).toUpper().rightJustified(8, u'0');
}

int PaletteSize() {
    return static_cast<int>(kPalette.size());
}

TColor PaletteColor(int index) {
    const int size = PaletteSize();
    return kPalette[static_cast<std::size_t>(((index % size) + size) % size)];
}

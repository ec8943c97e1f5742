#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// Colours as the window system stores them: 0x00BBGGRR, red in the lowest byte.
using TColor = uint32_t;

// Marks "no colour of its own": a point drawn in its series colour, a series not yet given one.
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clBtnFace = 0xF0F0F0;

QColor ToQColor(TColor color);

// Every failure of the chart component: a bad index, an axis limit on the wrong side.
class EChartError : public std::runtime_error {
public:
    explicit EChartError(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

// Builds a failure text from a message with one or two "%d" placeholders.
std::string ChartErrorText(const char* format, int first, int second = 0);

// A line style of the chart: axis lines, ticks, grid, series outlines. The owner learns of
// every change so that the chart is redrawn.
class TChartPen {
public:
    enum TPenStyle { psSolid, psDot };

    explicit TChartPen(TColor color = clBlack, int width = 1, TPenStyle style = psSolid)
        : color_(color)
        , width_(width)
        , style_(style)
    {
    }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    int Width() const { return width_; }
    void SetWidth(int width);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);

    void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void changed();

    bool visible_ = true;
    TColor color_;
    int width_;
    TPenStyle style_;
    std::function<void()> onChange_;
};

// The separators of axis and legend numbers, kept apart from the machine's locale.
struct TNumberSeparators {
    QChar thousands = QLatin1Char(',');
    QChar decimal = QLatin1Char('.');
};

// Formats a value as "#,##0.###": grouped thousands, at most three decimals, no trailing zeros.
// A null thousands separator groups no digits.
QString FormatAxisValue(double value, const TNumberSeparators& separators = TNumberSeparators());

// The finest step FormatAxisValue shows: labels closer than this would read the same.
constexpr double AxisValueResolution = 0.001;

// Rounds a pixel position to the nearest whole pixel, ties to even, and keeps it within a range
// that painting and integer arithmetic can take even for absurd values.
inline int RoundPixel(double position)
{
    constexpr double limit = 1 << 24;
    if (!(position == position))
        return 0;
    if (position > limit)
        return int(limit);
    if (position < -limit)
        return -int(limit);
    // Adding and taking away 1.5 * 2^52 leaves no bits below the point, so the sum rounds as
    // nearbyint does in the default rounding mode, the one the program runs in (and without
    // -ffast-math, which would fold the two away). nearbyint itself is a library call here, and a
    // chart rounds three positions for every point it draws.
    constexpr double shift = 6755399441055744.0;
    return int((position + shift) - shift);
}

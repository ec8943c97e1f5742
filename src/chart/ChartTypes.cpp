#include "chart/ChartTypes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

QColor ToQColor(TColor color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

std::string ChartErrorText(const char* format, int first, int second)
{
    char text[256];
    std::snprintf(text, sizeof text, format, first, second);
    return text;
}

void TChartPen::SetVisible(bool visible)
{
    if (visible_ == visible)
        return;
    visible_ = visible;
    changed();
}

void TChartPen::SetWidth(int width)
{
    if (width < 0)
        width = 0;
    if (width_ == width)
        return;
    width_ = width;
    changed();
}

void TChartPen::SetColor(TColor color)
{
    if (color_ == color)
        return;
    color_ = color;
    changed();
}

void TChartPen::SetStyle(TPenStyle style)
{
    if (style_ == style)
        return;
    style_ = style;
    changed();
}

void TChartPen::changed()
{
    if (onChange_)
        onChange_();
}

QString FormatAxisValue(double value, const TNumberSeparators& separators)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");

    // Fixed three decimals first, then group the integer digits and drop trailing zeros. Labels
    // are formatted at every drawing, so a label of ordinary size is made without allocating
    // anything but its text.
    char buffer[64];
    std::string large;
    const int length = std::snprintf(buffer, sizeof buffer, "%.3f", value);
    const char* fixed = buffer;
    if (length >= int(sizeof buffer)) {
        large.resize(size_t(length) + 1);
        std::snprintf(large.data(), large.size(), "%.3f", value);
        fixed = large.data();
    }
    const char* end = fixed + std::max(length, 0);
    bool negative = fixed < end && *fixed == '-';
    const char* integer = fixed + (negative ? 1 : 0);
    const char* point = std::find(integer, end, '.');
    const char* fractionEnd = end;
    while (fractionEnd > point + 1 && fractionEnd[-1] == '0')
        --fractionEnd;
    const bool hasFraction = point != end && fractionEnd > point + 1;
    if (std::all_of(integer, point, [](char c) { return c == '0'; }) && !hasFraction)
        negative = false; // -0.0001 shows as 0, not -0

    const size_t digits = size_t(point - integer);
    QString text;
    text.reserve(int(digits + digits / 3 + size_t(fractionEnd - point) + 2));
    if (negative)
        text += QLatin1Char('-');
    for (size_t i = 0; i < digits; ++i) {
        if (i > 0 && (digits - i) % 3 == 0 && !separators.thousands.isNull())
            text += separators.thousands;
        text += QLatin1Char(integer[i]);
    }
    if (hasFraction) {
        text += separators.decimal;
        text += QLatin1String(point + 1, fractionEnd);
    }
    return text;
}

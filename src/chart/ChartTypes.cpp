#include "chart/ChartTypes.h"

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

    // Fixed three decimals first, then group the integer digits and drop trailing zeros.
    std::string fixed(std::snprintf(nullptr, 0, "%.3f", value) + 1, '\0');
    std::snprintf(fixed.data(), fixed.size(), "%.3f", value);
    fixed.resize(fixed.size() - 1);

    bool negative = !fixed.empty() && fixed[0] == '-';
    if (negative)
        fixed.erase(0, 1);
    size_t point = fixed.find('.');
    std::string integer = fixed.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : fixed.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (integer.find_first_not_of('0') == std::string::npos && fraction.empty())
        negative = false; // -0.0001 shows as 0, not -0

    QString text;
    text.reserve(int(integer.size() + integer.size() / 3 + fraction.size() + 2));
    if (negative)
        text += QLatin1Char('-');
    for (size_t i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0 && !separators.thousands.isNull())
            text += separators.thousands;
        text += QLatin1Char(integer[i]);
    }
    if (!fraction.empty()) {
        text += separators.decimal;
        text += QLatin1String(fraction.c_str());
    }
    return text;
}

int RoundPixel(double position)
{
    constexpr double limit = 1 << 24;
    if (std::isnan(position))
        return 0;
    if (position > limit)
        return int(limit);
    if (position < -limit)
        return -int(limit);
    return int(std::nearbyint(position));
}

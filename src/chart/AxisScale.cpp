#include "chart/AxisScale.h"

#include "chart/ChartTypes.h"

#include <algorithm>
#include <cmath>

double TAxisScale::CalcPosPoint(int pixel) const
{
    if (Size() == 0 || ZeroRange())
        return minimum;
    double offset;
    if (horizontal)
        offset = inverted ? endPos - pixel : pixel - startPos;
    else
        offset = inverted ? pixel - startPos : endPos - pixel;
    return minimum + offset * Range() / Size();
}

int LabelCountThatFits(int axisSize, int labelSize, int separationPercent)
{
    if (labelSize <= 0)
        return 1;
    double step = labelSize + std::nearbyint(labelSize * separationPercent / 100.0);
    if (step <= 0)
        return 1;
    return int(std::nearbyint(axisSize / step));
}

double NextLabelStep(double value)
{
    if (!(value > 0) || !std::isfinite(value))
        return 1;
    double power = std::pow(10.0, std::floor(std::log10(value)));
    double mantissa = value / power;
    double next;
    if (mantissa < 2)
        next = 2 * power;
    else if (mantissa < 5)
        next = 5 * power;
    else
        next = 10 * power;
    // The logarithm can land a hair off for exact powers of ten; the step must still go up.
    while (next <= value)
        next *= 2;
    return next;
}

double CalcLabelIncrement(
    double range, int axisSize, int labelSize, int separationPercent, int fewestPoints, double finest)
{
    const double smallest = std::max(1e-12, std::isfinite(finest) ? finest : 0.0);
    range = std::fabs(range);
    if (!std::isfinite(range))
        return 1;
    int count = LabelCountThatFits(axisSize, labelSize, separationPercent);
    double increment;
    if (range == 0) {
        increment = 1;
    } else {
        increment = range / (count + 1.0);
        if (range >= 1 && fewestPoints < count && increment < 1)
            increment = 1;
    }
    if (increment < smallest)
        increment = smallest;
    while (increment <= range && std::nearbyint(range / increment) > count)
        increment = NextLabelStep(increment);
    return increment < smallest ? smallest : increment;
}

std::vector<double> LabelValues(double minimum, double maximum, double increment)
{
    // Enough for any axis a screen can show; protects against a near-zero increment on a wide range.
    constexpr double maxLabels = 10000;
    std::vector<double> values;
    if (!(increment > 0) || !std::isfinite(minimum) || !std::isfinite(maximum) || maximum < minimum)
        return values;
    // A small tolerance keeps 0.3 a label of an axis ending at 0.3 with increment 0.1.
    double highest = std::floor(maximum / increment + 1e-9);
    double lowest = std::ceil(minimum / increment - 1e-9);
    if (!std::isfinite(highest) || !std::isfinite(lowest) || highest - lowest >= maxLabels)
        return values;
    int count = int(highest - lowest) + 1;
    values.reserve(size_t(count > 0 ? count : 0));
    for (int k = 0; k < count; ++k)
        values.push_back((highest - k) * increment);
    return values;
}

#pragma once

#include "chart/ChartTypes.h"

#include <vector>

// The mapping between values and pixels of one axis, as fixed by one drawing.
struct TAxisScale {
    int startPos = 0; // left edge of the plot for a horizontal axis, top edge for a vertical one
    int endPos = 0; // right edge, bottom edge
    double minimum = 0;
    double maximum = 0;
    bool horizontal = false;
    bool inverted = false;

    int Size() const { return endPos - startPos; }
    double Range() const { return maximum - minimum; }
    // A zero range puts every value at the axis' centre.
    bool ZeroRange() const { return !(Range() != 0); }
    int Centre() const { return startPos + Size() / 2; }

    // Inline: a chart maps three positions for every point it draws.
    int CalcPosValue(double value) const
    {
        if (ZeroRange())
            return Centre();
        const double offset = (value - minimum) * Size() / Range();
        if (horizontal)
            return RoundPixel(inverted ? endPos - offset : startPos + offset);
        return RoundPixel(inverted ? startPos + offset : endPos - offset);
    }
    double CalcPosPoint(int pixel) const;
};

// How many labels of labelSize pixels fit along axisSize pixels, each followed by
// separationPercent of its size; 1 when the label has no size.
int LabelCountThatFits(int axisSize, int labelSize, int separationPercent);

// The next value of ..., 0.1, 0.2, 0.5, 1, 2, 5, 10, ... strictly above value.
double NextLabelStep(double value);

// The distance between labels of an axis with an automatic increment. fewestPoints is the
// smallest point count among the chart's series (a large number when there are none): sparse
// data is not labelled between whole values. finest is the smallest step the labels' format can
// tell apart; the increment never goes below it.
double CalcLabelIncrement(
    double range, int axisSize, int labelSize, int separationPercent, int fewestPoints, double finest = 0);

// The label values: multiples of increment from the largest not above maximum down to minimum.
std::vector<double> LabelValues(double minimum, double maximum, double increment);

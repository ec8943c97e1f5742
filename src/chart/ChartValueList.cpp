#include "chart/ChartValueList.h"

#include "chart/ChartTypes.h"

#include <cmath>

double TChartValueList::Value(int index) const
{
    if (index < 0 || index >= Count())
        throw EChartError(ChartErrorText("List index out of bounds (%d)", index));
    return values_[size_t(index)];
}

double TChartValueList::MinValue() const
{
    recalc();
    return min_;
}

double TChartValueList::MaxValue() const
{
    recalc();
    return max_;
}

double TChartValueList::Total() const
{
    recalc();
    return total_;
}

double TChartValueList::TotalABS() const
{
    recalc();
    return totalAbs_;
}

void TChartValueList::Insert(int index, double value)
{
    const size_t at = size_t(index);
    rising_ = rising_ && !std::isnan(value) && (at == 0 || values_[at - 1] <= value)
        && (at == values_.size() || value <= values_[at]);
    values_.insert(values_.begin() + index, value);
    stale_ = true;
}

void TChartValueList::Delete(int index)
{
    values_.erase(values_.begin() + index);
    stale_ = true;
}

void TChartValueList::Clear()
{
    values_.clear();
    rising_ = true;
    stale_ = true;
}

void TChartValueList::recalc() const
{
    if (!stale_)
        return;
    min_ = max_ = total_ = totalAbs_ = 0;
    bool first = true;
    for (double v : values_) {
        // A value that is not a number must not decide the range the axes show.
        if (std::isnan(v))
            continue;
        if (first) {
            min_ = max_ = v;
            first = false;
        } else if (v < min_) {
            min_ = v;
        } else if (v > max_) {
            max_ = v;
        }
        total_ += v;
        totalAbs_ += std::fabs(v);
    }
    stale_ = false;
}

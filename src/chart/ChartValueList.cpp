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
    recalcRange();
    return min_;
}

double TChartValueList::MaxValue() const
{
    recalcRange();
    return max_;
}

double TChartValueList::Total() const
{
    recalcTotals();
    return total_;
}

double TChartValueList::TotalABS() const
{
    recalcTotals();
    return totalAbs_;
}

void TChartValueList::Insert(int index, double value)
{
    const size_t at = size_t(index);
    const size_t count = values_.size();
    rising_ = rising_ && !std::isnan(value) && (at == 0 || values_[at - 1] <= value)
        && (at == count || value <= values_[at]);
    values_.insert(values_.begin() + index, value);
    if (at == count || at == 0)
        widenRange(value, at == 0 && count > 0);
    else
        rangeStale_ = true;
    totalsStale_ = true;
}

void TChartValueList::widenRange(double value, bool first)
{
    if (rangeStale_ || std::isnan(value))
        return;
    if (!hasRange_) {
        min_ = max_ = value;
        hasRange_ = true;
    } else if (first) {
        min_ = min_ < value ? min_ : value;
        max_ = max_ > value ? max_ : value;
    } else {
        min_ = value < min_ ? value : min_;
        max_ = value > max_ ? value : max_;
    }
}

void TChartValueList::Delete(int index)
{
    const double value = values_[size_t(index)];
    values_.erase(values_.begin() + index);
    // A value strictly between the extremes decided neither of them.
    if (!std::isnan(value) && !(value > min_ && value < max_))
        rangeStale_ = true;
    totalsStale_ = true;
}

void TChartValueList::Clear()
{
    values_.clear();
    rising_ = true;
    rangeStale_ = totalsStale_ = true;
}

void TChartValueList::recalcRange() const
{
    if (!rangeStale_)
        return;
    min_ = max_ = 0;
    hasRange_ = false;
    // In rising order the walk keeps the first value as the smallest, and a largest value other
    // than zero (whose two signs compare equal) is the last one.
    if (rising_ && !values_.empty() && values_.back() != 0) {
        min_ = values_.front();
        max_ = values_.back();
        hasRange_ = true;
        rangeStale_ = false;
        return;
    }
    for (double v : values_) {
        // A value that is not a number must not decide the range the axes show.
        if (std::isnan(v))
            continue;
        if (!hasRange_) {
            min_ = max_ = v;
            hasRange_ = true;
        } else if (v < min_) {
            min_ = v;
        } else if (v > max_) {
            max_ = v;
        }
    }
    rangeStale_ = false;
}

void TChartValueList::recalcTotals() const
{
    if (!totalsStale_)
        return;
    total_ = totalAbs_ = 0;
    for (double v : values_) {
        if (std::isnan(v))
            continue;
        total_ += v;
        totalAbs_ += std::fabs(v);
    }
    totalsStale_ = false;
}

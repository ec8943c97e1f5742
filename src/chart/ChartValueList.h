#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

class TChartSeries;

enum TChartListOrder { loNone, loAscending };

// One coordinate of a series' points. Every drawing asks for its statistics per series, so they
// are kept: the range follows a point put at either end or taken away from between the extremes,
// and is found again by a walk only after other changes; the totals are walked only when asked.
class TChartValueList {
public:
    explicit TChartValueList(TChartListOrder order = loNone)
        : order_(order)
    {
    }

    int Count() const { return int(values_.size()); }
    double Value(int index) const;
    double operator[](int index) const { return Value(index); }
    const double* Data() const { return values_.data(); }

    TChartListOrder Order() const { return order_; }
    void SetOrder(TChartListOrder order) { order_ = order; }

    double MinValue() const;
    double MaxValue() const;
    double Total() const;
    double TotalABS() const;

private:
    friend class TChartSeries;

    void Insert(int index, double value);
    // Values that keep the list in rising order when put before its first value.
    template <typename It> void InsertFront(It first, It last)
    {
        values_.insert(values_.begin(), first, last);
        rangeStale_ = totalsStale_ = true;
    }
    void InsertFront(size_t count, double value)
    {
        if (count == 0)
            return;
        rising_ = rising_ && !std::isnan(value) && (values_.empty() || value <= values_.front());
        values_.insert(values_.begin(), count, value);
        widenRange(value, true);
        totalsStale_ = true;
    }
    void Delete(int index);
    void Clear();
    // The range a walk from the first value to the last would find, with a value just put first
    // or last: a walk takes a new extreme only when it lies strictly beyond the one before.
    void widenRange(double value, bool first);
    void recalcRange() const;
    void recalcTotals() const;

    std::vector<double> values_;
    TChartListOrder order_;
    // Whether the values stand in rising order, whatever the list's order setting: then a point's
    // place can be found by halving instead of a walk back through every point.
    bool rising_ = true;

    mutable bool rangeStale_ = true;
    mutable bool totalsStale_ = true;
    // Whether the range was taken from any value that is a number.
    mutable bool hasRange_ = false;
    mutable double min_ = 0;
    mutable double max_ = 0;
    mutable double total_ = 0;
    mutable double totalAbs_ = 0;
};

#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

class TChartSeries;

enum TChartListOrder { loNone, loAscending };

// One coordinate of a series' points. Its statistics are cached and recomputed only after a
// change, since every drawing asks for them per series.
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
        stale_ = true;
    }
    void InsertFront(size_t count, double value)
    {
        if (count > 0)
            rising_ = rising_ && !std::isnan(value) && (values_.empty() || value <= values_.front());
        values_.insert(values_.begin(), count, value);
        stale_ = true;
    }
    void Delete(int index);
    void Clear();
    void recalc() const;

    std::vector<double> values_;
    TChartListOrder order_;
    // Whether the values stand in rising order, whatever the list's order setting: then a point's
    // place can be found by halving instead of a walk back through every point.
    bool rising_ = true;

    mutable bool stale_ = true;
    mutable double min_ = 0;
    mutable double max_ = 0;
    mutable double total_ = 0;
    mutable double totalAbs_ = 0;
};

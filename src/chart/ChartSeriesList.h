#pragma once

#include <vector>

class TChart;
class TChartSeries;

// The ordered list of the series that belong to a chart; it holds references only.
class TChartSeriesList {
public:
    int Count() const { return int(items_.size()); }
    TChartSeries* Item(int index) const;
    TChartSeries* operator[](int index) const { return Item(index); }
    int IndexOf(const TChartSeries* series) const;

    // Empties the list. The series the chart owns are released; others are only detached.
    void Clear();
    // Takes the series at from out and reinserts it at to; the others shift by one.
    void Move(int from, int to);

    std::vector<TChartSeries*>::const_iterator begin() const { return items_.begin(); }
    std::vector<TChartSeries*>::const_iterator end() const { return items_.end(); }

private:
    friend class TChart;
    friend class TChartSeries;

    explicit TChartSeriesList(TChart* chart)
        : chart_(chart)
    {
    }
    void append(TChartSeries* series) { items_.push_back(series); }
    void remove(TChartSeries* series);

    TChart* chart_;
    std::vector<TChartSeries*> items_;
};

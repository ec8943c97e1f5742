#pragma once

#include <QWidget>

#include <vector>

class TChartSeries;

// The ordered list of series that belong to a chart; it holds references only.
class TChartSeriesList {
public:
    int Count() const { return int(items_.size()); }
    TChartSeries* Item(int index) const { return items_.at(size_t(index)); }
    void Clear() { items_.clear(); }

private:
    std::vector<TChartSeries*> items_;
};

// The chart control of the traffic graph.
class TChartAxis {
public:
    int TickLength() const { return 4; }
    int LabelsSize() const { return 0; }
};

class TChart : public QWidget {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr) : QWidget(parent) {}
    QRect PlotRect() const { return rect(); }
    int MarginTop() const { return 4; }
    int MarginBottom() const { return 4; }
    TChartAxis& BottomAxis() { return bottomAxis_; }

    TChartSeriesList& SeriesList() { return seriesList_; }
    const TChartSeriesList& SeriesList() const { return seriesList_; }

private:
    TChartSeriesList seriesList_;
    TChartAxis bottomAxis_;
};

#include "ChartTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace {

// A band series of another kind: area series must not stack on it.
class TBandSeries : public TCustomSeries {
    Q_OBJECT
public:
    using TCustomSeries::TCustomSeries;
};

std::vector<double> xs(const TChartSeries& series)
{
    std::vector<double> values;
    for (int i = 0; i < series.PointCount(); ++i)
        values.push_back(series.XValues()[i]);
    return values;
}

TEST(Series, PointsKeepAscendingXWithEqualXAfterExistingOnes)
{
    TAreaSeries series;
    EXPECT_EQ(series.AddPoint(5, 1), 0);
    EXPECT_EQ(series.AddPoint(3, 2), 0);
    EXPECT_EQ(series.AddPoint(4, 3), 1);
    EXPECT_EQ(series.AddPoint(3, 4), 1);
    EXPECT_EQ(xs(series), (std::vector<double> { 3, 3, 4, 5 }));
    EXPECT_EQ(series.YValues()[0], 2);
    EXPECT_EQ(series.YValues()[1], 4);
    EXPECT_EQ(series.AddPoint(5, 5), 4);
    EXPECT_EQ(series.YValues().Count(), series.PointCount());
    EXPECT_EQ(series.XValues().Order(), loAscending);
    EXPECT_EQ(series.YValues().Order(), loNone);
}

TEST(Series, DeletingTheFirstOfAWindowShiftsTheRestAndBadIndexesFail)
{
    TAreaSeries series;
    for (int i = 0; i < 101; ++i)
        series.AddPoint(i, i * 10);
    series.DeletePoint(0);
    EXPECT_EQ(series.PointCount(), 100);
    EXPECT_EQ(series.XValues()[0], 1);
    EXPECT_EQ(series.YValues()[0], 10);

    try {
        series.DeletePoint(100);
        FAIL() << "deleting past the end must fail";
    } catch (const EChartError& e) {
        EXPECT_STREQ(e.what(), "Series Delete: ValueIndex 100 out of bounds (0 to 99).");
    }
    EXPECT_THROW(series.DeletePoint(-1), EChartError);
    EXPECT_EQ(series.PointCount(), 100);
    EXPECT_THROW(series.XValues().Value(100), EChartError);
}

TEST(Series, ValueStatisticsFollowEveryChange)
{
    TAreaSeries series;
    EXPECT_EQ(series.YValues().MaxValue(), 0);
    EXPECT_EQ(series.YValues().TotalABS(), 0);
    series.AddPoint(0, -3);
    series.AddPoint(1, 7);
    series.AddPoint(2, 2);
    EXPECT_EQ(series.YValues().MinValue(), -3);
    EXPECT_EQ(series.YValues().MaxValue(), 7);
    EXPECT_EQ(series.YValues().Total(), 6);
    EXPECT_EQ(series.YValues().TotalABS(), 12);
    series.DeletePoint(1);
    EXPECT_EQ(series.YValues().MaxValue(), 2);
    EXPECT_EQ(series.XValues().MaxValue(), 2);
    EXPECT_EQ(series.YValues().Total(), -1);
}

// What a walk from the first value to the last finds: the range is taken from the values that
// are numbers, a new extreme only when it lies strictly beyond the one before.
struct TWalkedStatistics {
    double min = 0, max = 0, total = 0, totalAbs = 0;
    explicit TWalkedStatistics(const TChartValueList& list)
    {
        bool first = true;
        for (int i = 0; i < list.Count(); ++i) {
            const double v = list[i];
            if (std::isnan(v))
                continue;
            if (first) {
                min = max = v;
                first = false;
            } else if (v < min) {
                min = v;
            } else if (v > max) {
                max = v;
            }
            total += v;
            totalAbs += std::fabs(v);
        }
    }
};

// The same double, the sign of a zero included.
bool sameBits(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

TEST(Series, KeptRangesAndTotalsAreWhatAWalkFindsAfterEveryKindOfChange)
{
    std::mt19937 rng(2024);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Few distinct values, both zeros and gaps, so that ties and extremes come and go often.
    const double ys[] = { -0.0, 0.0, 1, -1, 2, 5, -5, nan };
    for (int round = 0; round < 200; ++round) {
        TAreaSeries series;
        double next = 0;
        for (int step = 0; step < 120; ++step) {
            const int kind = int(rng() % 10);
            const double y = ys[rng() % 8];
            if (kind < 4) {
                series.AddPoint(next, y);
                next += rng() % 3 == 0 ? 0 : 1;
            } else if (kind == 4) {
                // Among the points already there, or before them all.
                series.AddPoint(next - double(rng() % 8), y);
            } else if (kind == 5) {
                std::vector<double> before;
                const double front = series.PointCount() > 0 ? series.XValues()[0] : next;
                for (int k = 1 + int(rng() % 3); k > 0; --k)
                    before.push_back(front - double(before.size() + 1));
                series.AddPoints(before, y);
            } else if (kind < 9 && series.PointCount() > 0) {
                // Mostly the oldest, as the graph's window does, now and then any other.
                series.DeletePoint(rng() % 3 == 0 ? int(rng() % unsigned(series.PointCount())) : 0);
            } else if (rng() % 8 == 0) {
                series.Clear();
            }
            // Asked now and then only, so that several changes pile up on a kept range.
            if (rng() % 3 != 0)
                continue;
            for (const TChartValueList* list : { &series.YValues(), &series.XValues() }) {
                const TWalkedStatistics walked(*list);
                ASSERT_TRUE(sameBits(list->MinValue(), walked.min)) << "round " << round << ", step " << step;
                ASSERT_TRUE(sameBits(list->MaxValue(), walked.max)) << "round " << round << ", step " << step;
                if (rng() % 2 == 0) {
                    ASSERT_EQ(list->Total(), walked.total);
                    ASSERT_EQ(list->TotalABS(), walked.totalAbs);
                }
            }
        }
    }
}

TEST(Series, PointColoursAndLabelsAppearOnlyWhenGiven)
{
    TAreaSeries series;
    series.SetSeriesColor(clTestBlue);
    series.AddPoint(0, 1);
    EXPECT_FALSE(series.HasPointColors());
    series.AddPoint(1, 1, QStringLiteral("peak"), clTestRed);
    series.AddPoint(0.5, 1);
    EXPECT_TRUE(series.HasPointColors());
    EXPECT_EQ(series.PointColor(0), clTestBlue);
    EXPECT_EQ(series.PointColor(1), clTestBlue);
    EXPECT_EQ(series.PointColor(2), clTestRed);
    EXPECT_EQ(series.PointLabel(2), "peak");
    series.DeletePoint(2);
    EXPECT_EQ(series.PointLabel(1), "");
}

TEST(Stacking, FloorsAndTopsFollowTheSeriesBeforeAtTheSameIndex)
{
    TChart chart;
    std::vector<TAreaSeries*> series;
    for (double at7 : { 10.0, 0.0, 5.0 }) {
        auto* s = addStackedSeries(chart, clTestRed, { 1, 1, 1, 1, 1, 1, 1 });
        s->AddPoint(7, at7);
        s->AddPoint(8, 1);
        series.push_back(s);
    }
    const double floors[] = { 0, 10, 10 };
    const double tops[] = { 10, 10, 15 };
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(series[size_t(k)]->StackBase(7), floors[k]);
        EXPECT_EQ(series[size_t(k)]->StackBase(7) + series[size_t(k)]->YValues()[7], tops[k]);
    }
    EXPECT_EQ(series[2]->StackTotal(7), 15);
    EXPECT_EQ(series[2]->SeriesMaxValue(), 15);
    EXPECT_EQ(chart.AxisMaxValue(chart.LeftAxis()), 15);
    EXPECT_EQ(chart.AxisMinValue(chart.LeftAxis()), 0);
}

TEST(Stacking, ValuesStackOnlyOnValuesOfTheirOwnSign)
{
    TChart chart;
    auto* a = addStackedSeries(chart, clTestRed, { 5, -3 });
    auto* b = addStackedSeries(chart, clTestBlue, { -2, 4 });
    auto* c = addStackedSeries(chart, clTestGreen, { 1, -1 });
    EXPECT_EQ(b->StackBase(0), 0);
    EXPECT_EQ(b->StackBase(1), 0);
    EXPECT_EQ(c->StackBase(0), 5);
    EXPECT_EQ(c->StackBase(1), -3);
    EXPECT_EQ(c->StackTotal(1), -4);
    EXPECT_EQ(c->SeriesMinValue(), -4);
    EXPECT_EQ(c->SeriesMaxValue(), 6);
    EXPECT_EQ(chart.AxisMinValue(chart.LeftAxis()), -4);
    (void)a;
}

// A drawing and a poll's layout take the ends of the value axis from the floors they keep for
// all series at once; those ends must be the very numbers the walk over the other series gives,
// the sign of a zero included, with values of both signs, zeros, gaps and short series.
TEST(Stacking, AxisEndsFromKeptFloorsAreTheWalksBitForBit)
{
    std::mt19937 rng(11);
    const double values[] = { -0.0, 0.0, 1, -1, 2.5, -7, 1e9, -1e-9, std::numeric_limits<double>::quiet_NaN() };
    for (int round = 0; round < 300; ++round) {
        TChart chart;
        std::vector<TAreaSeries*> series;
        const int count = 1 + int(rng() % 6);
        for (int s = 0; s < count; ++s) {
            auto* area = addStackedSeries(chart, clTestRed, {});
            const int points = int(rng() % 12);
            for (int i = 0; i < points; ++i)
                area->AddPoint(i, values[rng() % (round % 3 == 0 ? 9 : 8)]);
            area->SetActive(rng() % 5 != 0);
            series.push_back(area);
        }
        for (const bool largest : { true, false }) {
            // The walk: each series alone, outside any drawing, over the other series' points.
            bool found = false;
            double walked = 0;
            for (TAreaSeries* area : series) {
                if (!area->Active() || area->PointCount() == 0)
                    continue;
                const double v = largest ? area->SeriesMaxValue() : area->SeriesMinValue();
                if (std::isnan(v))
                    continue;
                walked = found ? (largest ? std::max(walked, v) : std::min(walked, v)) : v;
                found = true;
            }
            const double kept = largest ? chart.AxisMaxValue(chart.LeftAxis()) : chart.AxisMinValue(chart.LeftAxis());
            ASSERT_EQ(std::signbit(kept), std::signbit(walked)) << "round " << round << (largest ? " max" : " min");
            ASSERT_TRUE(kept == walked || (std::isnan(kept) && std::isnan(walked)))
                << "round " << round << (largest ? " max " : " min ") << kept << " vs " << walked;
        }
    }
}

TEST(Stacking, ShortInactiveAndOtherKindsOfSeriesAddNothing)
{
    TChart chart;
    auto* shortOne = addStackedSeries(chart, clTestRed, { 10, 10, 10 });
    auto* inactive = addStackedSeries(chart, clTestGreen, { 100, 100, 100, 100, 100, 100 });
    inactive->SetActive(false);
    auto* top = addStackedSeries(chart, clTestBlue, { 1, 1, 1, 1, 1, 1 });
    EXPECT_EQ(top->StackBase(2), 10);
    EXPECT_EQ(top->StackBase(5), 0);
    // The axis range sums the floors once for all series; it must agree with the walk above.
    EXPECT_EQ(top->SeriesMaxValue(), 11);
    EXPECT_EQ(chart.AxisMaxValue(chart.LeftAxis()), 11);

    auto* band = new TBandSeries(&chart);
    band->SetParentChart(&chart);
    chart.SeriesList().Move(3, 0);
    for (int i = 0; i < 6; ++i)
        band->AddPoint(i, 1000);
    EXPECT_FALSE(top->SameKind(*band));
    EXPECT_TRUE(top->SameKind(*shortOne));
    EXPECT_EQ(top->StackBase(2), 10);
    EXPECT_EQ(chart.AxisMaxValue(chart.LeftAxis()), 1000);
}

// The axis range reads the floors the chart keeps for one query; they must agree with the walk
// over the series before, whatever the series' lengths and signs, and again after the series
// grow, shrink or go, when the kept store is built anew over the last one or let go.
TEST(Stacking, KeptFloorsAgreeWithTheWalkAsSeriesGrowAndShrink)
{
    TChart chart;
    std::mt19937 rng(11);
    std::vector<TAreaSeries*> series;
    for (int k = 0; k < 7; ++k)
        series.push_back(addStackedSeries(chart, clTestRed, {}));
    for (int round = 0; round < 30; ++round) {
        for (TAreaSeries* s : series) {
            // Now and then the series grow long and shrink again, so the store lets its room go.
            const int want = int(rng() % (round % 10 == 5 ? 1200 : 12));
            while (s->PointCount() > want)
                s->DeletePoint(s->PointCount() - 1);
            while (s->PointCount() < want)
                s->AddPoint(s->PointCount(), double(int(rng() % 21) - 8));
            s->SetActive(rng() % 5 != 0);
        }
        double largest = 0, smallest = 0;
        bool found = false;
        for (const TAreaSeries* s : series) {
            if (!s->Active())
                continue;
            // A series' own values count as well as its tops.
            for (int i = 0; i < s->PointCount(); ++i) {
                const double y = s->YValues()[i], top = s->StackBase(i) + y;
                largest = found ? std::max({ largest, top, y }) : std::max(top, y);
                smallest = found ? std::min({ smallest, top, y }) : std::min(top, y);
                found = true;
            }
        }
        if (!found)
            continue;
        SCOPED_TRACE(round);
        EXPECT_EQ(chart.AxisMaxValue(chart.LeftAxis()), largest);
        EXPECT_EQ(chart.AxisMinValue(chart.LeftAxis()), smallest);
    }
}

TEST(Stacking, HundredPercentModeScalesToTheTotal)
{
    TChart chart;
    auto* a = addStackedSeries(chart, clTestRed, { 1, 0 });
    auto* b = addStackedSeries(chart, clTestBlue, { 3, 0 });
    a->SetMultiArea(TAreaSeries::maStacked100);
    EXPECT_EQ(b->MultiArea(), TAreaSeries::maStacked100);
    EXPECT_EQ(b->SeriesMaxValue(), 100);
    EXPECT_EQ(b->SeriesMinValue(), 0);
    chart.LeftAxis().SetAutomatic(false);
    chart.LeftAxis().SetMinMax(0, 100);
    renderChart(chart, 300, 200);
    EXPECT_EQ(b->CalcFloorPos(0), chart.LeftAxis().CalcPosValue(25));
    EXPECT_EQ(b->CalcTopPos(0), chart.LeftAxis().CalcPosValue(100));
    // A zero total sits on the axis' end.
    EXPECT_EQ(b->CalcTopPos(1), chart.LeftAxis().Scale().endPos);
}

TEST(Stacking, MultiAreaIsSharedBySeriesOfTheSameKindOnly)
{
    TChart chart;
    auto* a = new TAreaSeries(&chart);
    auto* b = new TAreaSeries(&chart);
    auto* band = new TBandSeries(&chart);
    for (TChartSeries* s : std::initializer_list<TChartSeries*> { a, b, band })
        s->SetParentChart(&chart);
    const int before = chart.RepaintRequests();
    b->SetMultiArea(TAreaSeries::maStacked);
    EXPECT_EQ(a->MultiArea(), TAreaSeries::maStacked);
    EXPECT_EQ(band->Stacked(), cssNone);
    EXPECT_GT(chart.RepaintRequests(), before);
    const int after = chart.RepaintRequests();
    a->SetMultiArea(TAreaSeries::maStacked);
    EXPECT_EQ(chart.RepaintRequests(), after);
}

TEST(SeriesMembership, AttachingAppendsOnceAndGivesADefaultColour)
{
    TChart first;
    TChart second;
    auto* series = new TAreaSeries(&first);
    EXPECT_EQ(series->SeriesColor(), clDefault);
    series->SetParentChart(&first);
    series->SetParentChart(&first);
    EXPECT_EQ(first.SeriesList().Count(), 1);
    EXPECT_NE(series->SeriesColor(), clDefault);
    const TColor given = series->SeriesColor();

    series->SetParentChart(&second);
    EXPECT_EQ(first.SeriesList().Count(), 0);
    EXPECT_EQ(second.SeriesList().Item(0), series);
    EXPECT_EQ(series->SeriesColor(), given);

    delete series;
    EXPECT_EQ(second.SeriesList().Count(), 0);
}

TEST(SeriesMembership, ASeriesOutlivingItsChartIsLeftDetached)
{
    auto series = std::make_unique<TAreaSeries>();
    {
        TChart chart;
        series->SetParentChart(&chart);
        series->AddPoint(0, 1);
    }
    EXPECT_EQ(series->ParentChart(), nullptr);
    series->AddPoint(1, 2);
    EXPECT_EQ(series->PointCount(), 2);
}

TEST(SeriesMembership, ChangesRepaintOnlyWhenSomethingChanged)
{
    TChart chart;
    auto* series = addStackedSeries(chart, clTestRed, { 1 });
    series->SetTitle(QStringLiteral("alpha"));
    int count = chart.RepaintRequests();
    series->SetSeriesColor(clTestRed);
    series->SetTitle(QStringLiteral("alpha"));
    series->SetMultiArea(TAreaSeries::maStacked);
    series->LinePen().SetVisible(false);
    EXPECT_EQ(chart.RepaintRequests(), count);

    series->SetSeriesColor(clTestBlue);
    EXPECT_EQ(chart.RepaintRequests(), ++count);
    series->AddPoint(1, 1);
    EXPECT_EQ(chart.RepaintRequests(), ++count);
    series->SetActive(false);
    count = chart.RepaintRequests();
    series->AddPoint(2, 1);
    EXPECT_EQ(chart.RepaintRequests(), count);
}

// Points find their place as a walk back from the last point finds it, whatever came before: ties,
// points added before the order was set, not-a-number values, deletions and clears.
TEST(Series, PointsTakeThePlaceTheWalkBackFindsWhateverCameBefore)
{
    std::mt19937 rng(6);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int run = 0; run < 200; ++run) {
        TAreaSeries series;
        std::vector<double> expected;
        if (run % 4 == 0) {
            // Unordered points first, then the order switched on.
            series.XValues().SetOrder(loNone);
            for (double x : { 5.0, 1.0, 7.0 }) {
                series.AddPoint(x, 0);
                expected.push_back(x);
            }
            series.XValues().SetOrder(loAscending);
        }
        for (int step = 0; step < 300; ++step) {
            const unsigned what = rng() % 20;
            if (what == 0 && !expected.empty()) {
                series.DeletePoint(0);
                expected.erase(expected.begin());
            } else if (what == 1 && run % 3 == 0) {
                series.Clear();
                expected.clear();
            } else {
                const double x = what == 2 && run % 5 == 0 ? nan : double(int(rng() % 40) - 20) / 2;
                int index = int(expected.size());
                if (!expected.empty() && !(x >= expected.back())) {
                    int i = index - 1;
                    while (i >= 0 && expected[size_t(i)] > x)
                        --i;
                    index = i + 1;
                }
                expected.insert(expected.begin() + index, x);
                ASSERT_EQ(series.AddPoint(x, 0), index) << "run " << run << " step " << step;
            }
        }
        const std::vector<double> actual = xs(series);
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i)
            ASSERT_TRUE(actual[i] == expected[i] || (std::isnan(actual[i]) && std::isnan(expected[i])));
    }
}

// Two series fed the same random points; the second gets each run of like points in one call.
TEST(Series, PointsAddedTogetherEndAsPointsAddedOneByOne)
{
    std::mt19937 rng(11);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (int run = 0; run < 300; ++run) {
        TAreaSeries one, together;
        if (run % 7 == 0) {
            one.XValues().SetOrder(loNone);
            together.XValues().SetOrder(loNone);
        }
        for (int step = 0; step < 40; ++step) {
            const unsigned what = rng() % 12;
            if (what == 0 && one.PointCount() > 0) {
                one.DeletePoint(0);
                together.DeletePoint(0);
            } else if (what == 1) {
                one.Clear();
                together.Clear();
            } else if (what == 2) {
                // A coloured, labelled point: the lists of colours and labels must keep step.
                const double x = double(int(rng() % 30) - 10);
                one.AddPoint(x, 3, "p", clGray);
                together.AddPoint(x, 3, "p", clGray);
            } else {
                // Mostly a young series' past (falling X up to just before its first point), else
                // runs that tie, rise, or hold a bad number.
                std::vector<double> xs;
                const double top = one.PointCount() > 0 && !std::isnan(one.XValues()[0]) ? one.XValues()[0] : 5;
                const int n = int(rng() % 6);
                for (int i = 0; i < n; ++i) {
                    const unsigned kind = rng() % 10;
                    double x = top - 1 - i;
                    if (kind == 0)
                        x = top;
                    else if (kind == 1)
                        x = double(int(rng() % 30) - 10);
                    else if (kind == 2 && run % 5 == 0)
                        x = nan;
                    xs.push_back(x);
                }
                const double y = what == 3 && run % 4 == 0 ? nan : double(int(rng() % 5) - 2);
                for (double x : xs)
                    one.AddPoint(x, y);
                together.AddPoints(xs, y);
            }
            ASSERT_EQ(together.PointCount(), one.PointCount()) << "run " << run << " step " << step;
            for (int i = 0; i < one.PointCount(); ++i) {
                ASSERT_TRUE(same(together.XValues()[i], one.XValues()[i])) << "run " << run << " step " << step;
                ASSERT_TRUE(same(together.YValues()[i], one.YValues()[i])) << "run " << run << " step " << step;
                ASSERT_EQ(together.PointColor(i), one.PointColor(i));
                ASSERT_EQ(together.PointLabel(i), one.PointLabel(i));
            }
            // Where the next point goes depends on what the lists remember of their order.
            const double probe = double(int(rng() % 30) - 10);
            ASSERT_EQ(together.AddPoint(probe, 1), one.AddPoint(probe, 1)) << "run " << run << " step " << step;
        }
    }
}

} // namespace

#include "SeriesTest.moc"

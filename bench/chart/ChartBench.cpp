#include "chart/AreaSeries.h"
#include "chart/TChart.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

// Draws the traffic graph's busiest case, 30 stacked hosts of 100 samples, into a 1000 x 300
// image and prints the time of one drawing.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TChart chart;
    chart.resize(1000, 300);
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    chart.SetMarginTop(4);
    chart.SetMarginRight(190);
    chart.SetMarginBottom(10);
    chart.SetTitleVisible(false);
    chart.LeftAxis().SetLabelsSize(45);
    chart.LeftAxis().Title().SetCaption(QStringLiteral("Download (kbits/s)"));
    chart.BottomAxis().SetLabelsSize(15);
    chart.BottomAxis().SetTickLength(3);
    chart.BottomAxis().SetTickInnerLength(1);
    chart.BottomAxis().SetMinorTickLength(0);
    chart.BottomAxis().SetTickOnLabelsOnly(false);
    chart.RightAxis().SetVisible(false);
    chart.TopAxis().SetVisible(false);
    chart.Legend().SetTitleText(QStringLiteral("Computer:"));
    chart.Legend().SetTop(4);
    chart.Legend().SetLeft(820);

    std::vector<TAreaSeries*> series;
    for (int s = 0; s < 30; ++s) {
        auto* area = new TAreaSeries(&chart);
        area->SetMultiArea(TAreaSeries::maStacked);
        area->LinePen().SetVisible(false);
        area->AreaLinesPen().SetVisible(false);
        area->SetParentChart(&chart);
        area->SetTitle(QStringLiteral("host-%1.example.lan").arg(s));
        series.push_back(area);
    }

    QImage image(1000, 300, QImage::Format_RGB32);
    auto drawOnce = [&] {
        QPainter painter(&image);
        chart.paint(painter, image.rect());
    };
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    auto timeDraws = [&](const char* traffic) {
        for (int i = 0; i < 20; ++i)
            drawOnce();
        std::vector<double> times;
        times.reserve(size_t(runs));
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            drawOnce();
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        double sum = 0;
        for (double t : times)
            sum += t;
        std::printf("chart draw, 30 stacked series x 100 points, 1000x300, %s: median %.3f ms, mean %.3f ms, "
                    "best %.3f ms over %d runs (target < 2 ms)\n",
            traffic, times[times.size() / 2], sum / double(times.size()), times.front(), runs);
    };

    for (int s = 0; s < 30; ++s)
        for (int i = 0; i < 100; ++i)
            series[size_t(s)]->AddPoint(5000 + i, 50 + 40 * std::sin(i * 0.1 + s) + (30 - s) * 3);
    timeDraws("smooth traffic");
    // QTM_CHART_PNG names a file for a look at what was timed.
    if (const QByteArray png = qgetenv("QTM_CHART_PNG"); !png.isEmpty())
        image.save(QString::fromLocal8Bit(png));

    // Real traffic jumps from second to second: bands with jagged edges.
    std::mt19937 rng(5);
    for (int s = 0; s < 30; ++s) {
        series[size_t(s)]->Clear();
        for (int i = 0; i < 100; ++i)
            series[size_t(s)]->AddPoint(5000 + i, double(rng() % 200));
    }
    timeDraws("jagged traffic");
    return 0;
}

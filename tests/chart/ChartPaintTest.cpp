#include "ChartTestSupport.h"
#include "chart/LineStamp.h"
#include "chart/LineTextCache.h"

#include <QApplication>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

namespace {

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);
const QColor green(0, 255, 0);
const QColor gridGrey(128, 128, 128);

// Counts the paint events of the widget it watches.
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Red 10 and blue 20 stacked over five samples, value axis fixed at 0 to 40.
struct StackedChart {
    TChart chart;
    TAreaSeries* lower;
    TAreaSeries* upper;

    StackedChart()
    {
        usePlainLayout(chart);
        chart.LeftAxis().SetLabelsSize(30);
        lower = addStackedSeries(chart, clTestRed, { 10, 10, 10, 10, 10 });
        upper = addStackedSeries(chart, clTestBlue, { 20, 20, 20, 20, 20 });
        chart.LeftAxis().SetMinMax(0, 40);
    }
    QImage render() { return renderChart(chart, 400, 300); }
    int x(double value) const { return chart.BottomAxis().CalcPosValue(value); }
    int y(double value) const { return chart.LeftAxis().CalcPosValue(value); }
};

TEST(StackedDrawing, BandsLieOnTopOfEachOtherFromTheTimeAxis)
{
    StackedChart s;
    const QImage image = s.render();
    for (double at : { 0.5, 2.5, 3.5 }) {
        EXPECT_EQ(pixel(image, s.x(at), s.y(5)), red) << at;
        EXPECT_EQ(pixel(image, s.x(at), s.y(25)), blue) << at;
        EXPECT_EQ(pixel(image, s.x(at), s.y(37)), QColor(Qt::white)) << at;
    }
    // The band boundaries sit where the stack values map.
    EXPECT_EQ(pixel(image, s.x(2), s.y(10) - 1), blue);
    EXPECT_EQ(pixel(image, s.x(2), s.y(10) + 1), red);
    EXPECT_EQ(pixel(image, s.x(2), s.y(30) + 1), blue);
    EXPECT_EQ(pixel(image, s.x(2.5), s.y(30) - 1), QColor(Qt::white));
}

// Traffic that jumps from sample to sample gives bands with jagged edges. However the chart cuts
// a band to fill it, every pixel must be the one a single polygon from the top line to the floor
// line fills, and no other.
TEST(StackedDrawing, JaggedBandsFillThePixelsOfOnePolygonEach)
{
    std::mt19937 rng(3);
    // Jagged bands go in many short runs; smooth and flat ones, in rounds 6 and 7, in few long
    // ones. In the last round values of either sign stack from the time axis both ways.
    for (int round = 0; round < 9; ++round) {
        TChart chart;
        usePlainLayout(chart);
        std::vector<TAreaSeries*> series;
        for (int s = 0; s < 30; ++s) {
            std::vector<double> values;
            for (int i = 0; i < 100; ++i)
                values.push_back(round == 8           ? double(int(rng() % 101) - 50)
                        : round == 6                  ? (s == 0 ? 0 : 40 + 30 * std::sin(i / (8.0 + s) + s))
                        : round == 7                  ? double(s % 4 == 0 ? 0 : 5 + s)
                        : round % 2 && rng() % 3 == 0 ? 0
                                                      : double(rng() % (50 + 40 * round)));
            // Colours no grey text or grid pixel can have.
            auto* area = addStackedSeries(chart, TColor(0xC04010 + 0x000503 * s), {});
            for (int i = 0; i < 100; ++i)
                area->AddPoint(i, values[size_t(i)]);
            series.push_back(area);
        }
        const int width = 300 + 97 * round, height = 200 + 41 * round;
        const QImage drawn = renderChart(chart, width, height);

        QImage expected(width, height, QImage::Format_RGB32);
        expected.fill(Qt::magenta);
        {
            QPainter painter(&expected);
            painter.setClipRect(chart.LastLayout().seriesClip);
            painter.setPen(Qt::NoPen);
            for (TAreaSeries* area : series) {
                QPolygon band(200);
                for (int i = 0; i < 100; ++i) {
                    const double base = area->StackBase(i);
                    const int x = chart.BottomAxis().CalcPosValue(i);
                    band.setPoint(i, x, chart.LeftAxis().CalcPosValue(base + area->YValues().Data()[i]));
                    band.setPoint(199 - i, x, chart.LeftAxis().CalcPosValue(base));
                }
                painter.setBrush(QColor(QRgb(ToQColor(area->SeriesColor()).rgb())));
                painter.drawPolygon(band, Qt::OddEvenFill);
            }
        }
        std::set<QRgb> seriesColours;
        for (TAreaSeries* area : series)
            seriesColours.insert(ToQColor(area->SeriesColor()).rgb());
        int filled = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb want = expected.pixel(x, y), got = drawn.pixel(x, y);
                if (want != QColor(Qt::magenta).rgb()) {
                    ++filled;
                    ASSERT_EQ(got, want) << "round " << round << " at " << x << "," << y;
                } else {
                    ASSERT_EQ(seriesColours.count(got), 0u) << "round " << round << " at " << x << "," << y;
                }
            }
        }
        EXPECT_GT(filled, width * height / 4) << round;
    }
}

TEST(StackedDrawing, AnInvertedAxisGrowsTheStackDownward)
{
    StackedChart s;
    s.chart.LeftAxis().SetInverted(true);
    const QImage image = s.render();
    const QRect plot = s.chart.PlotRect();
    EXPECT_LT(s.y(5), s.y(25));
    EXPECT_EQ(pixel(image, s.x(2), plot.y() + 2), red);
    EXPECT_EQ(pixel(image, s.x(2), s.y(25)), blue);
    EXPECT_EQ(pixel(image, s.x(2.5), s.y(37)), QColor(Qt::white));
}

TEST(StackedDrawing, TopsAboveAFixedMaximumAreHeldOrClipped)
{
    StackedChart inverted;
    inverted.chart.LeftAxis().SetInverted(true);
    inverted.chart.LeftAxis().SetMaximum(25);
    QImage image = inverted.render();
    QRect plot = inverted.chart.PlotRect();
    const int bottomEdge = plot.y() + plot.height();
    EXPECT_EQ(inverted.upper->CalcTopPos(2), bottomEdge);
    EXPECT_EQ(pixel(image, inverted.x(2), bottomEdge - 1), blue);
    EXPECT_NE(pixel(image, inverted.x(2), bottomEdge + 4), blue);

    StackedChart normal;
    normal.chart.LeftAxis().SetMaximum(25);
    image = normal.render();
    plot = normal.chart.PlotRect();
    EXPECT_LT(normal.upper->CalcTopPos(2), plot.y());
    EXPECT_EQ(pixel(image, normal.x(2), plot.y()), blue);
    EXPECT_NE(pixel(image, normal.x(2), plot.y() - 1), blue);
}

TEST(StackedDrawing, PointColoursAndTheTopLineShowWhenAsked)
{
    StackedChart s;
    s.upper->AddPoint(5, 20, QString(), clTestGreen);
    s.upper->LinePen().SetVisible(true);
    s.lower->AddPoint(5, 10);
    const QImage image = s.render();
    EXPECT_EQ(pixel(image, s.x(4.5), s.y(25)), green);
    EXPECT_EQ(pixel(image, s.x(3.5), s.y(25)), blue);
    EXPECT_EQ(pixel(image, s.x(2), s.y(30)), QColor(Qt::black));
}

TEST(AxisDrawing, AxisLineLabelsAndTurnedTitleStandOutsideThePlot)
{
    StackedChart s;
    s.chart.LeftAxis().Title().SetCaption(QStringLiteral("Download (kbits/s)"));
    const QImage image = s.render();
    const QRect plot = s.chart.PlotRect();
    const int middle = s.y(20);
    // The 2-pixel axis line keeps one pixel away from the plot.
    EXPECT_EQ(pixel(image, plot.x() - 2, middle), QColor(Qt::black));
    EXPECT_EQ(pixel(image, plot.x() - 3, middle), QColor(Qt::black));
    EXPECT_NE(pixel(image, plot.x() - 1, middle), QColor(Qt::black));

    auto darkBox = [&](int fromX, int toX) {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = fromX; x < toX; ++x)
                if (qGray(image.pixel(x, y)) < 100)
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    const int band = s.chart.LeftAxis().TickBandSize();
    const QRect labels = darkBox(plot.x() - band - 30, plot.x() - band);
    EXPECT_FALSE(labels.isEmpty());
    const QRect title = darkBox(10, plot.x() - band - 30);
    ASSERT_FALSE(title.isEmpty());
    EXPECT_GT(title.height(), 3 * title.width());
}

TEST(AxisDrawing, HiddenLabelsKeepTheGridOnlyWhileTicksAreNotTiedToLabels)
{
    StackedChart s;
    s.chart.LeftAxis().Grid().SetVisible(false);
    TChartAxis& bottom = s.chart.BottomAxis();
    bottom.AxisPen().SetVisible(false);
    bottom.SetLabels(false);
    bottom.SetTickLength(0);
    bottom.SetMinorTickLength(0);
    bottom.SetTickOnLabelsOnly(false);
    QImage image = s.render();
    const QRect plot = s.chart.PlotRect();
    EXPECT_EQ(plot.y() + plot.height(), 300 - 10);
    ASSERT_FALSE(bottom.LabelPositions().empty());
    auto greyInColumn = [&](const QImage& picture, int x) {
        for (int y = s.y(38); y < s.y(32); ++y)
            if (pixel(picture, x, y) == gridGrey)
                return true;
        return false;
    };
    const int gridX = s.x(bottom.LabelPositions().front());
    EXPECT_TRUE(greyInColumn(image, gridX));

    bottom.SetTickOnLabelsOnly(true);
    image = s.render();
    EXPECT_FALSE(greyInColumn(image, gridX));
}

TEST(AxisDrawing, AxesInFrontDrawTheGridOverTheSeries)
{
    StackedChart s;
    const std::vector<double>& labels = s.chart.LeftAxis().LabelPositions();
    QImage image = s.render();
    ASSERT_NE(std::find(labels.begin(), labels.end(), 20.0), labels.end());
    auto greyInRow = [&](const QImage& picture) {
        for (int x = s.x(0.5); x < s.x(3.5); ++x)
            if (pixel(picture, x, s.y(20)) == gridGrey)
                return true;
        return false;
    };
    EXPECT_FALSE(greyInRow(image));
    s.chart.SetAxisBehind(false);
    image = s.render();
    EXPECT_TRUE(greyInRow(image));
}

TEST(LegendDrawing, ItemsShowTheSeriesColourBelowTheTitle)
{
    StackedChart s;
    s.lower->SetTitle(QStringLiteral("alpha"));
    s.upper->SetTitle(QStringLiteral("beta"));
    s.chart.Legend().SetTitleText(QStringLiteral("Computer:"));
    s.chart.Legend().SetVisible(true);
    s.chart.Legend().SetLeft(250);
    s.chart.Legend().SetTop(20);
    const QImage image = s.render();
    const QRect legend = s.chart.Legend().Rect();
    ASSERT_EQ(legend.topLeft(), QPoint(250, 20));

    auto rowCentre = [&](int item) {
        int first = -1, last = -1;
        for (int y = legend.top(); y <= legend.bottom(); ++y)
            if (s.chart.Legend().ItemAt(legend.x() + 2, y) == item) {
                first = first < 0 ? y : first;
                last = y;
            }
        return (first + last) / 2;
    };
    const int alpha = rowCentre(0);
    const int beta = rowCentre(1);
    ASSERT_GT(alpha, legend.y() + s.chart.Legend().RowHeight());
    ASSERT_GT(beta, alpha);
    EXPECT_EQ(pixel(image, legend.x() + 10, alpha), red);
    EXPECT_EQ(pixel(image, legend.x() + 10, beta), blue);
    EXPECT_EQ(s.chart.Legend().ItemAt(legend.x() + 2, legend.y() + 6), -1);
}

TEST(LegendDrawing, ALoneSeriesListsItsValues)
{
    TChart chart;
    addStackedSeries(chart, clTestRed, { 1, 2.5, 1234 });
    const std::vector<TChartLegend::Item> items = chart.Legend().Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].text, "1,234");
    auto* many = new TAreaSeries(&chart);
    for (int i = 0; i < 100000; ++i)
        many->AddPoint(i, i);
    TChart single;
    many->SetParentChart(&single);
    renderChart(single, 300, 200);
    EXPECT_GT(single.Legend().Rect().height(), 100);
    EXPECT_LE(single.Legend().Rect().bottom(), 200);

    addStackedSeries(chart, clTestBlue, { 1 })->SetTitle(QStringLiteral("beta"));
    ASSERT_EQ(chart.Legend().Items().size(), 2u);
    EXPECT_EQ(chart.Legend().Items()[1].text, "beta");
}

TEST(RobustDrawing, TinySizesEmptyChartsAndWildValuesDrawWithoutFault)
{
    StackedChart s;
    s.chart.Legend().SetVisible(true);
    s.chart.Title().SetText({ QStringLiteral("Traffic") });
    s.chart.LeftAxis().Title().SetCaption(QStringLiteral("Download"));
    QImage image(4, 4, QImage::Format_RGB32);
    for (int w = 0; w <= 3; ++w)
        for (int h = 0; h <= 3; ++h) {
            QPainter painter(&image);
            s.chart.paint(painter, QRect(0, 0, w, h));
            EXPECT_GE(s.chart.PlotRect().width(), 0);
            EXPECT_GE(s.chart.PlotRect().height(), 0);
            s.chart.PartAtPoint(1, 1);
        }

    TChart empty;
    image = renderChart(empty, 200, 100);
    EXPECT_FALSE(empty.PlotRect().isEmpty());

    TChart wild;
    auto* series = addStackedSeries(wild, clTestRed, { 1e300, -1e300, std::numeric_limits<double>::quiet_NaN() });
    series->AddPoint(std::numeric_limits<double>::infinity(), 5);
    addStackedSeries(wild, clTestBlue, { 1e300, 1e300, 1 });
    image = renderChart(wild, 300, 200);
    wild.PartAtPoint(150, 100);
    EXPECT_FALSE(std::isnan(wild.LeftAxis().Maximum()));
}

} // namespace

namespace {

TEST(WidgetDrawing, TheShownWidgetPaintsTheSameChart)
{
    StackedChart s;
    s.chart.resize(400, 300);
    s.chart.show();
    const QImage image = s.chart.grab().toImage();
    EXPECT_EQ(pixel(image, s.x(1.5), s.y(5)), red);
    EXPECT_EQ(pixel(image, s.x(1.5), s.y(25)), blue);
}

// A chart asks for one repaint however many points arrive before it paints, and asks again for the
// points after that paint, and after it was hidden and shown again.
TEST(WidgetDrawing, PointsAfterAPaintOrAHideAreStillPainted)
{
    PaintCounter counter;
    StackedChart s;
    s.chart.resize(400, 300);
    s.chart.show();
    QApplication::processEvents();
    s.chart.installEventFilter(&counter);
    TChartSeries* series = s.chart.SeriesList().Item(0);
    for (int round = 0; round < 3; ++round) {
        const int before = counter.count;
        series->AddPoint(10 + round, 1);
        series->AddPoint(20 + round, 2);
        QApplication::processEvents();
        EXPECT_GE(counter.count, before + 1) << "round " << round;
    }
    series->AddPoint(40, 1);
    s.chart.hide();
    QApplication::processEvents();
    s.chart.show();
    QApplication::processEvents();
    const int before = counter.count;
    series->AddPoint(41, 1);
    QApplication::processEvents();
    EXPECT_GE(counter.count, before + 1);
    s.chart.removeEventFilter(&counter);
}

// The chart paints its whole area, so a new point repaints the chart alone, not the panel under it.
TEST(WidgetDrawing, ANewPointRepaintsTheChartButNotWhatLiesUnderIt)
{
    PaintCounter underneath, chart;
    QWidget panel;
    panel.setAutoFillBackground(true);
    panel.resize(420, 320);
    StackedChart s;
    s.chart.setParent(&panel);
    s.chart.setGeometry(10, 10, 400, 300);
    panel.show();
    QApplication::processEvents();
    panel.installEventFilter(&underneath);
    s.chart.installEventFilter(&chart);
    s.chart.SeriesList().Item(0)->AddPoint(10, 1);
    QApplication::processEvents();
    EXPECT_GE(chart.count, 1);
    EXPECT_EQ(underneath.count, 0);
    panel.removeEventFilter(&underneath);
    s.chart.removeEventFilter(&chart);
    s.chart.setParent(nullptr);
}

} // namespace

TEST(LineTextDrawing, CachedLinesDrawThePixelsOfDrawText)
{
    std::mt19937 rng(11);
    QStringList texts = { QStringLiteral("42,000"), QStringLiteral("0"), QStringLiteral("-1.5"), QStringLiteral("125"),
        QStringLiteral("fi ffl AV Wa To"),
        QString::fromUtf8("B\xC3\xBCro 1\xC2\xA0"
                          "000"),
        QStringLiteral("a\tb"), QStringLiteral("two\nlines"), QStringLiteral(" lead"), QStringLiteral("trail "),
        QString::fromUtf8("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D 12") };
    for (int i = 0; i < 60; ++i) {
        QString text;
        const int n = 1 + int(rng() % 12);
        for (int k = 0; k < n; ++k)
            text += QChar(ushort(0x21 + rng() % 94));
        texts << text;
    }
    const int horizontal[] = { 0, Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter };
    const int vertical[] = { 0, Qt::AlignTop, Qt::AlignBottom, Qt::AlignVCenter };
    int compared = 0, inked = 0;
    for (int size : { 7, 8, 11, 13 })
        for (bool bold : { false, true }) {
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPointSize(size);
            font.setBold(bold);
            TLineTextCache cache;
            for (int round = 0; round < 2; ++round) // the second round draws from the cache
                for (const QString& text : texts) {
                    const int h = horizontal[rng() % 4], v = vertical[rng() % 4];
                    // Without TextSingleLine a break starts a second line; with it, a space.
                    const int flags = h | v | Qt::TextDontClip | (rng() % 2 ? Qt::TextSingleLine : 0);
                    const QRect rect(3 + int(rng() % 5), 2 + int(rng() % 5), 20 + int(rng() % 41), 9 + int(rng() % 31));
                    QImage plain(120, 60, QImage::Format_RGB32), cached(120, 60, QImage::Format_RGB32);
                    plain.fill(Qt::white);
                    cached.fill(Qt::white);
                    {
                        QPainter painter(&plain);
                        painter.setFont(font);
                        painter.drawText(rect, flags, text);
                    }
                    {
                        QPainter painter(&cached);
                        painter.setFont(font);
                        cache.Draw(painter, rect, flags, text);
                    }
                    int ink = 0;
                    for (int y = 0; y < plain.height(); ++y)
                        for (int x = 0; x < plain.width(); ++x)
                            ink += plain.pixel(x, y) != qRgb(255, 255, 255);
                    inked += ink > 0;
                    ASSERT_EQ(plain, cached)
                        << text.toStdString() << ", size " << size << (bold ? " bold" : "") << ", flags " << flags
                        << ", rect " << rect.x() << "," << rect.y() << " " << rect.width() << " x " << rect.height();
                    ++compared;
                }
        }
    EXPECT_EQ(compared, 8 * 2 * texts.size());
    EXPECT_EQ(inked, compared) << "every text shows";
}

// An axis title is drawn turned about its centre, from the same kept layout.
TEST(LineTextDrawing, TurnedLinesDrawThePixelsOfDrawTextToo)
{
    const QStringList texts = { QStringLiteral("Download"), QStringLiteral("Upload (Mbit/s)"),
        QStringLiteral("fi ffl AV Wa To"), QStringLiteral("42,000 KB") };
    int compared = 0;
    for (int size : { 8, 11 })
        for (bool bold : { false, true }) {
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPointSize(size);
            font.setBold(bold);
            TLineTextCache cache;
            for (int round = 0; round < 2; ++round)
                for (const QString& text : texts)
                    for (qreal angle : { -90.0, 90.0, -45.0, 30.0, 180.0 })
                        for (const QPoint centre : { QPoint(60, 60), QPoint(61, 58) }) {
                            const int room = 7 + size;
                            const QRect rect(-1000, -room, 2000, 2 * room);
                            QImage plain(120, 120, QImage::Format_RGB32), cached(120, 120, QImage::Format_RGB32);
                            plain.fill(Qt::white);
                            cached.fill(Qt::white);
                            for (QImage* image : { &plain, &cached }) {
                                QPainter painter(image);
                                painter.setFont(font);
                                painter.translate(centre);
                                painter.rotate(angle);
                                if (image == &plain)
                                    painter.drawText(rect, Qt::AlignCenter | Qt::TextDontClip, text);
                                else
                                    cache.Draw(painter, rect, Qt::AlignCenter | Qt::TextDontClip, text);
                            }
                            QImage blank(120, 120, QImage::Format_RGB32);
                            blank.fill(Qt::white);
                            ASSERT_NE(plain, blank) << "the text shows";
                            ASSERT_EQ(plain, cached) << text.toStdString() << ", size " << size << ", angle " << angle;
                            ++compared;
                        }
        }
    EXPECT_EQ(compared, 4 * 2 * texts.size() * 5 * 2);
}

TEST(LineStamping, StampedLinesSetThePixelsOfTheLinesThemselves)
{
    std::mt19937 rng(17);
    QImage background(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < background.height(); ++y)
        for (int x = 0; x < background.width(); ++x)
            background.setPixel(x, y, rng() | 0xFF000000u);
    const Qt::PenStyle styles[] = { Qt::DotLine, Qt::DashLine, Qt::SolidLine, Qt::DashDotLine };
    TLineStamp stamp;
    for (int round = 0; round < 400; ++round) {
        QPen pen(QColor(int(rng() % 256), int(rng() % 256), int(rng() % 256)), 1 + int(rng() % 3));
        pen.setStyle(styles[rng() % 4]);
        const Qt::Orientation orientation = rng() % 2 ? Qt::Horizontal : Qt::Vertical;
        const int length = int(rng() % 4 ? rng() % 8 : rng() % 140);
        const QPointF shift(double(int(rng() % 7) - 3), rng() % 5 == 0 ? 0.5 : 0.0);
        QImage plain = background.copy(), stamped = background.copy();
        // A few lines each, so that a kept stamp is used again at other places.
        std::vector<QPoint> starts;
        for (int k = 0; k < 3; ++k)
            starts.emplace_back(int(rng() % 150) - 5, int(rng() % 110) - 5);
        {
            QPainter painter(&plain);
            painter.translate(shift);
            painter.setPen(pen);
            for (const QPoint& from : starts)
                painter.drawLine(from, from + (orientation == Qt::Horizontal ? QPoint(length, 0) : QPoint(0, length)));
        }
        {
            QPainter painter(&stamped);
            painter.translate(shift);
            for (const QPoint& from : starts)
                stamp.Draw(painter, pen, from, length, orientation);
        }
        ASSERT_EQ(plain, stamped) << "round " << round << ", width " << pen.width() << ", style " << int(pen.style())
                                  << ", length " << length << (orientation == Qt::Horizontal ? " across" : " down");
    }
}

#include "ChartTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>

namespace {

// A value axis as the graph has it: a fixed label room, a turned title, a hundred samples.
TChart& valueChart(TChart& chart, double peak)
{
    usePlainLayout(chart);
    chart.LeftAxis().SetLabelsSize(45);
    chart.LeftAxis().Title().SetCaption("Download (kbits/s)");
    chart.LeftAxis().Grid().SetVisible(false);
    chart.BottomAxis().Grid().SetVisible(false);
    chart.BottomAxis().SetLabels(false);
    auto* series = addStackedSeries(chart, clTestRed, {});
    for (int i = 0; i < 100; ++i)
        series->AddPoint(i, i == 99 ? peak : 0);
    return chart;
}

bool dark(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

TEST(AxisLabels, TinyPeaksGetLabelsTheFormatTellsApart)
{
    // One byte per second in kbit/s is 0.008: the finest the graph ever shows.
    for (double peak : { 0.0085, 0.008, 0.0031, 0.0004 }) {
        TChart chart;
        const TAxisLayout axis = layoutChart(valueChart(chart, peak), 300, 460).axes[asLeft];
        const std::vector<double>& labels = axis.labelValues;
        ASSERT_FALSE(labels.empty()) << peak;
        std::set<QString> texts;
        for (double v : labels) {
            const QString text = FormatAxisValue(v);
            EXPECT_TRUE(texts.insert(text).second) << peak << ": " << text.toStdString() << " repeats";
            EXPECT_NEAR(text.toDouble(), v, 1e-9) << peak << ": " << text.toStdString() << " is not where it stands";
        }
        EXPECT_GE(axis.increment, AxisValueResolution);
    }
    EXPECT_DOUBLE_EQ(CalcLabelIncrement(0.0085, 455, 13, 10, 100, 0.001), 0.001);
    EXPECT_DOUBLE_EQ(CalcLabelIncrement(0.0085, 455, 13, 10, 100), 0.0005); // without a format to respect
}

TEST(AxisLabels, NumbersWiderThanTheirRoomStayClearOfTheTitle)
{
    TChart chart;
    const QImage image = renderChart(valueChart(chart, 1900000), 400, 300);
    const QRect plot = chart.PlotRect();
    const int band = chart.LeftAxis().TickBandSize();
    const int titleRoom = QFontMetrics(chart.LeftAxis().Title().Font()).height();
    EXPECT_GT(chart.LeftAxis().MeasuredLabelsSize(), 45); // "1,800,000" does not fit in 45 pixels
    EXPECT_EQ(plot.x(), 10 + titleRoom + chart.LeftAxis().MeasuredLabelsSize() + band);
    // Every label's ink starts right of the title's band, which holds the title's ink; rows the
    // title itself crosses (about 100 pixels round the middle) are left out.
    const int middle = plot.y() + plot.height() / 2;
    for (double v : chart.LeftAxis().LabelPositions()) {
        const int y = chart.LeftAxis().CalcPosValue(v);
        if (std::abs(y - middle) < 60)
            continue;
        for (int x = 0; x < 10 + titleRoom; ++x)
            EXPECT_FALSE(dark(image, x, y)) << "label " << v << " reaches column " << x;
    }
    int titleInk = 0;
    for (int x = 10; x < 10 + titleRoom; ++x)
        for (int y = plot.y(); y < plot.y() + plot.height(); ++y)
            titleInk += dark(image, x, y);
    EXPECT_GT(titleInk, 50);

    // Small numbers keep the room they were given.
    TChart small;
    renderChart(valueChart(small, 900), 400, 300);
    EXPECT_LE(small.LeftAxis().MeasuredLabelsSize(), 45);
    EXPECT_EQ(small.PlotRect().x(), 10 + titleRoom + 45 + band);
}

TEST(AxisLabels, ATitleLongerThanTheChartIsShortenedInsideIt)
{
    // An upload chart squeezed to its time axis: a plot of no height in a 31-pixel control.
    TChart chart;
    valueChart(chart, 0);
    chart.SetMarginTop(0);
    chart.SetMarginBottom(10);
    chart.LeftAxis().SetInverted(true);
    chart.BottomAxis().SetLabelsSize(15);
    chart.BottomAxis().SetLabels(true);
    chart.BottomAxis().SetTickLength(3);
    chart.BottomAxis().SetMinorTickLength(0);
    chart.LeftAxis().Title().SetCaption("Upload (kbits/s)");
    const QImage image = renderChart(chart, 400, 31);
    ASSERT_EQ(chart.PlotRect().height(), 0);
    // The title's column holds ink, all of it inside the control, and none at the control's
    // top and bottom rows where a text cut in the middle would touch them.
    int ink = 0;
    for (int x = 10; x < 23; ++x) {
        EXPECT_FALSE(dark(image, x, 0)) << x;
        EXPECT_FALSE(dark(image, x, 30)) << x;
        for (int y = 0; y < 31; ++y)
            ink += dark(image, x, y);
    }
    EXPECT_GT(ink, 10);
}

TEST(AxisLabels, SeparatorsGivenToTheChartAreTheLabels)
{
    TChart chart;
    usePlainLayout(chart);
    chart.LeftAxis().SetMinMax(1500, 1501);
    chart.LeftAxis().SetIncrement(0.5);
    TNumberSeparators german;
    german.thousands = QLatin1Char('.');
    german.decimal = QLatin1Char(',');
    chart.SetNumberSeparators(german);
    const QImage image = renderChart(chart, 300, 200);
    EXPECT_EQ(FormatAxisValue(1500.5, chart.NumberSeparators()), "1.500,5");
    // The label room is measured from the texts drawn, so it is the width of the widest of them.
    const QFontMetrics metrics(chart.LeftAxis().LabelsFont());
    EXPECT_EQ(chart.LeftAxis().MeasuredLabelsSize(), metrics.horizontalAdvance("1.500,5"));

    // A locale that groups no digits gives a null thousands separator.
    TNumberSeparators plain;
    plain.thousands = QChar();
    plain.decimal = QLatin1Char(',');
    EXPECT_EQ(FormatAxisValue(1234567.25, plain), "1234567,25");
}

} // namespace

namespace {

// The rule spelled out on strings, as the label format was first written.
QString plainAxisValue(double value, const TNumberSeparators& separators)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    std::string fixed(size_t(std::snprintf(nullptr, 0, "%.3f", value)) + 1, '\0');
    std::snprintf(fixed.data(), fixed.size(), "%.3f", value);
    fixed.resize(fixed.size() - 1);
    bool negative = fixed[0] == '-';
    if (negative)
        fixed.erase(0, 1);
    const size_t point = fixed.find('.');
    const std::string integer = fixed.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : fixed.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (integer.find_first_not_of('0') == std::string::npos && fraction.empty())
        negative = false;
    QString text = negative ? QStringLiteral("-") : QString();
    for (size_t i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0 && !separators.thousands.isNull())
            text += separators.thousands;
        text += QLatin1Char(integer[i]);
    }
    if (!fraction.empty())
        text += separators.decimal + QString::fromLatin1(fraction.c_str());
    return text;
}

} // namespace

TEST(AxisLabels, ValuesReadAsThePlainRuleWritesThemWhateverTheirSize)
{
    std::mt19937_64 rng(3);
    std::vector<double> values = { 0.0, -0.0, 0.0004, -0.0004, 0.0005, -0.0005, 999.9995, -999.9996, 1e15, -1e15, 1e60,
        -1.7976931348623157e308, 4.9e-324, std::nan(""), HUGE_VAL, -HUGE_VAL, 123456789.125, 1000, 100, 10 };
    for (int i = 0; i < 20000; ++i) {
        const int kind = int(rng() % 3);
        double v;
        if (kind == 0) {
            uint64_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
        } else if (kind == 1) {
            v = std::ldexp(double(int64_t(rng() % 2000001) - 1000000), int(rng() % 80) - 40);
        } else {
            v = double(int64_t(rng() % 200000001) - 100000000) / 1000.0;
        }
        values.push_back(v);
    }
    const TNumberSeparators separators[] = { {}, { QChar(), QLatin1Char(',') }, { QLatin1Char('.'), QLatin1Char(',') },
        { QChar(0x202F), QChar(0x066B) } };
    for (const TNumberSeparators& s : separators)
        for (double v : values)
            ASSERT_EQ(FormatAxisValue(v, s), plainAxisValue(v, s)) << v;
}

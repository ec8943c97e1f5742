#include "MonitorFixture.h"

#include "chart/AreaSeries.h"
#include "controls/TPanel.h"
#include "controls/TRadioGroup.h"
#include "graph/HostSeries.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QTimer>

class GraphLayoutTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        Start(); // Panel2 488 pixels high at the design size
        form->resize(1008, 591);
    }
    // One host whose send and receive rates make the two charts' peaks.
    void peaks(double in, double out)
    {
        chartIn().SeriesList().Clear();
        chartOut().SeriesList().Clear();
        HostSeries::AddHostSample(chartIn(), 0, 0, "", "198.18.0.1", in);
        HostSeries::AddHostSample(chartOut(), 0, 0, "", "198.18.0.1", out);
    }
    QWidget* panel2() { return control<QWidget>("Panel2"); }
};

TEST_F(GraphLayoutTest, ChartsSplitThePanelSoOnePixelIsTheSameRate)
{
    ASSERT_EQ(panel2()->height(), 488);
    peaks(300, 100);
    probe().ArrangeCharts();
    EXPECT_EQ(chartOut().height(), 144);
    EXPECT_EQ(chartIn().height(), 488 - 144);
    EXPECT_EQ(chartOut().MarginLeft(), chartIn().MarginLeft());
    peaks(130, 21); // 453 x 21 / 151 is exactly 63; 21 / 151 first would leave 62.99...
    probe().ArrangeCharts();
    EXPECT_EQ(chartOut().height(), 94);
    peaks(0, 50);
    probe().ArrangeCharts();
    EXPECT_EQ(chartOut().height(), 453 + 31);
    peaks(0, 0); // nothing to compare: the heights stay
    probe().ArrangeCharts();
    EXPECT_EQ(chartOut().height(), 453 + 31);
}

TEST_F(GraphLayoutTest, FixedCapacitiesSplitByTheirRatio)
{
    peaks(300, 100);
    control<QCheckBox>("cbCapacity")->click();
    EXPECT_FALSE(chartOut().LeftAxis().AutomaticMaximum());
    EXPECT_DOUBLE_EQ(chartIn().LeftAxis().Maximum(), 10000);
    EXPECT_EQ(chartOut().height(), 453 / 2 + 31);
    control<TRadioGroup>("rgSpeed")->Button(1)->click();
    EXPECT_DOUBLE_EQ(chartIn().LeftAxis().Maximum(), 1250);
    EXPECT_EQ(chartIn().LeftAxis().Title().Caption(), "Download (kbytes/s)");
    EXPECT_EQ(chartOut().LeftAxis().Title().Caption(), "Upload (kbytes/s)");
    EXPECT_EQ(control<TPanel>("TopPanel")->Caption(), "Traffic graph - top 30 (bytes/s)");
}

TEST_F(GraphLayoutTest, LegendSitsOnTheTallerChart)
{
    control<QCheckBox>("cbLegend")->setChecked(true);
    peaks(300, 100);
    probe().ArrangeCharts();
    EXPECT_TRUE(chartIn().Legend().Visible());
    EXPECT_FALSE(chartOut().Legend().Visible());
    EXPECT_EQ(chartIn().MarginRight(), 190);
    peaks(100, 300);
    probe().ArrangeCharts();
    EXPECT_FALSE(chartIn().Legend().Visible());
    EXPECT_TRUE(chartOut().Legend().Visible());
    // 453 x 213 / 453 gives both charts 244 pixels: a tie goes to the download chart.
    peaks(240, 213);
    probe().ArrangeCharts();
    ASSERT_EQ(chartIn().height(), chartOut().height());
    EXPECT_TRUE(chartIn().Legend().Visible());
    EXPECT_FALSE(chartOut().Legend().Visible());
    peaks(239, 214); // one pixel more for the upload chart
    probe().ArrangeCharts();
    ASSERT_EQ(chartOut().height(), chartIn().height() + 2);
    EXPECT_FALSE(chartIn().Legend().Visible());
    EXPECT_TRUE(chartOut().Legend().Visible());
    control<QCheckBox>("cbLegend")->setChecked(false);
    probe().ArrangeCharts();
    EXPECT_FALSE(chartOut().Legend().Visible());
    EXPECT_EQ(chartOut().MarginRight(), 20);
}

TEST_F(GraphLayoutTest, LegendStandsTwentyPixelsRightOfThePlotOfTheLastDrawing)
{
    control<QCheckBox>("cbLegend")->setChecked(true);
    peaks(300, 100);
    probe().ArrangeCharts();
    for (TChart* chart : { &chartIn(), &chartOut() }) {
        QImage image(chart->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        chart->paint(painter, chart->rect());
    }
    probe().ArrangeCharts();
    for (TChart* chart : { &chartIn(), &chartOut() }) {
        const QRect plot = chart->PlotRect();
        ASSERT_FALSE(plot.isEmpty());
        // 190 pixels of right margin hold the legend; the plot's right edge is its last pixel + 1.
        EXPECT_EQ(plot.x() + plot.width(), chart->width() - 190);
        EXPECT_EQ(chart->Legend().Left(), plot.x() + plot.width() + 20);
        EXPECT_TRUE(chart->Legend().CustomPosition());
    }
    EXPECT_EQ(chartIn().Legend().Top(), 4);
    EXPECT_EQ(chartOut().Legend().Top(), 0);
}

TEST_F(GraphLayoutTest, NegativeCapacityIsReportedAndTheStartGoesOn)
{
    CreateForm("LineCapacityInBit=-2147483648\n");
    Start();
    ASSERT_EQ(errorBoxes.size(), 1u);
    EXPECT_EQ(errorBoxes[0], "Axis Maximum Value must be >= Minimum.");
    EXPECT_TRUE(probe().Timer1()->isActive());
    EXPECT_EQ(cell(1, 0), "HOST");
    EXPECT_EQ(grid().ColWidths(1), 120);
}

TEST_F(GraphLayoutTest, PointerOverASeriesNamesIt)
{
    service.Set("/", Snapshot({ { "198.18.0.1", 1000, 1000 }, { "198.18.0.2", 1000, 1000 } }));
    for (int i = 0; i < 3; ++i)
        PollOnce();
    probe().ArrangeCharts();
    chartIn().repaint();
    QImage image(chartIn().size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chartIn().paint(painter, chartIn().rect());
    const QRect plot = chartIn().PlotRect();
    const QPoint inside(plot.right() - 2, plot.bottom() - 2);
    form->ChartInMouseMove(&chartIn(), {}, inside.x(), inside.y());
    EXPECT_EQ(chartIn().Hint(), "198.18.0.1");
    EXPECT_EQ(control<QLabel>("lblSeries")->text(), "Selected series: 198.18.0.1");
    form->ChartInMouseMove(&chartIn(), {}, plot.left() + 1, plot.top() + 1);
    EXPECT_EQ(chartIn().Hint(), "");
    EXPECT_EQ(control<QLabel>("lblSeries")->text(), "Click on a Series to identify it");
}

TEST_F(GraphLayoutTest, WideAxisNumbersKeepBothPlotsAligned)
{
    // 1.9 Gb/s down and 100 Mb/s up, in kbit/s: only the download chart's numbers outgrow 45 pixels.
    peaks(1900000, 100000);
    auto draw = [this] {
        for (TChart* chart : { &chartIn(), &chartOut() }) {
            QImage image(chart->size(), QImage::Format_RGB32);
            QPainter painter(&image);
            chart->paint(painter, chart->rect());
        }
    };
    probe().ArrangeCharts();
    draw();
    ASSERT_GT(chartIn().LeftAxis().MeasuredLabelsSize(), 45);
    probe().ArrangeCharts();
    draw();
    EXPECT_EQ(chartIn().LeftAxis().LabelsSize(), chartIn().LeftAxis().MeasuredLabelsSize());
    EXPECT_EQ(chartOut().LeftAxis().LabelsSize(), chartIn().LeftAxis().LabelsSize());
    EXPECT_EQ(chartIn().PlotRect().x(), chartOut().PlotRect().x());
    peaks(300, 100); // small numbers again: back to the form's room
    probe().ArrangeCharts();
    draw();
    probe().ArrangeCharts();
    EXPECT_EQ(chartIn().LeftAxis().LabelsSize(), 45);
    EXPECT_EQ(chartOut().LeftAxis().LabelsSize(), 45);
}

TEST_F(GraphLayoutTest, HugeTotalsStayClearOfTheSortGroup)
{
    service.Set(
        "/", Snapshot({ { "198.18.0.1", 237500000, 237500000, 5000000000000000000LL, 9000000000000000000LL } }));
    PollOnce();
    QWidget* sortGroup = control<QWidget>("RadioGroup1");
    for (const char* name : { "IRLabel", "ISLabel" }) {
        QLabel* label = control<QLabel>(name);
        ASSERT_TRUE(label->text().startsWith("1.90 Gb/s, ")) << label->text().toStdString();
        EXPECT_LT(label->geometry().right(), sortGroup->geometry().left()) << name;
        // The whole caption is there, in a font that fits.
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width()) << name;
        EXPECT_GE(label->font().pixelSize(), 8);
    }
    // A short caption gets the form's 16-pixel font back.
    service.Set("/", Snapshot({ { "198.18.0.1", 1000, 1000, 1000, 1000 } }));
    PollOnce();
    EXPECT_EQ(control<QLabel>("IRLabel")->font().pixelSize(), 16);
    EXPECT_TRUE(control<QLabel>("IRLabel")->font().bold());
}

TEST_F(GraphLayoutTest, AxisNumbersUseTheTablesSeparators)
{
    form->setLocale(QLocale(QLocale::German, QLocale::Germany));
    for (TChart* chart : { &chartIn(), &chartOut() }) {
        EXPECT_EQ(chart->NumberSeparators().thousands, QLatin1Char('.'));
        EXPECT_EQ(chart->NumberSeparators().decimal, QLatin1Char(','));
        EXPECT_EQ(FormatAxisValue(1500.5, chart->NumberSeparators()), "1.500,5");
    }
    form->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatAxisValue(1500.5, chartOut().NumberSeparators()), "1,500.5");
}

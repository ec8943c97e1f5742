#include "FormProbe.h"

#include "chart/TChart.h"
#include "controls/MessageBoxes.h"
#include "controls/TRadioGroup.h"
#include "controls/TStringGrid.h"
#include "support/TempSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace {

struct Recorded {
    QString kind, caption, text;
};

class FormTest : public ::testing::Test {
protected:
    std::unique_ptr<TempSettings> settings;
    std::vector<Recorded> boxes;

    void SetUp() override
    {
        settings = std::make_unique<TempSettings>(
            "[Settings]\nSnifferService=127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "\n");
        SetMessageBoxSinkForTesting([this](const QString& k, const QString& c, const QString& t) {
            boxes.push_back({ k, c, t });
        });
    }
    void TearDown() override { SetMessageBoxSinkForTesting(nullptr); }

    template <typename T> static T* child(QWidget& form, const char* name)
    {
        T* w = form.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

} // namespace

TEST_F(FormTest, EveryControlHasItsKindParentGeometryTextAndVisibility)
{
    TSnifferMainForm form;
    struct Row {
        const char* name;
        const char* kind;
        const char* parent;
        QRect geometry;
        const char* text;
        bool visible;
    };
    const Row rows[] = {
        { "Panel1", "TPanel", "SnifferMainForm", { 0, 0, 1008, 65 }, nullptr, true },
        { "StringGrid1", "TStringGrid", "SnifferMainForm", { 0, 65, 549, 523 }, nullptr, true },
        { "Splitter2", "TSplitter", "SnifferMainForm", { 549, 65, 3, 523 }, nullptr, true },
        { "Panel3", "TPanel", "SnifferMainForm", { 552, 65, 456, 523 }, nullptr, true },
        { "Splitter1", "TSplitter", "SnifferMainForm", { 0, 588, 1008, 3 }, nullptr, true },
        { "TopPanel", "TPanel", "Panel3", { 1, 1, 454, 33 }, nullptr, true },
        { "Panel2", "TPanel", "Panel3", { 1, 34, 454, 488 }, nullptr, true },
        { "ClearBtn", "QPushButton", "Panel1", { 8, 8, 41, 25 }, "Clear", true },
        { "Label1", "QLabel", "Panel1", { 62, 11, 46, 20 }, "Recv:", true },
        { "Label2", "QLabel", "Panel1", { 62, 33, 48, 20 }, "Send:", true },
        { "IRLabel", "QLabel", "Panel1", { 116, 11, 64, 20 }, "IRLabel", true },
        { "ISLabel", "QLabel", "Panel1", { 116, 33, 63, 20 }, "ISLabel", true },
        { "StartBtn", "QPushButton", "Panel1", { 227, 8, 41, 25 }, "Start", false },
        { "Button2", "QPushButton", "Panel1", { 227, 36, 41, 25 }, "Stop", false },
        { "SaveBtn", "QPushButton", "Panel1", { 274, 36, 41, 25 }, "Save", false },
        { "RadioGroup1", "TRadioGroup", "Panel1", { 318, 3, 126, 57 }, nullptr, true },
        { "rgSpeed", "TRadioGroup", "Panel1", { 469, 3, 93, 56 }, nullptr, true },
        { "StartedLabel", "QLabel", "Panel1", { 561, 46, 60, 13 }, nullptr, false },
        { "cbCapacity", "QCheckBox", "Panel1", { 591, 1, 129, 18 }, "Show full line capacity", true },
        { "cbActiveIPs", "QCheckBox", "Panel1", { 591, 22, 187, 18 }, "Only show active machines (> 30)", true },
        { "cbAverage", "QCheckBox", "Panel1", { 591, 42, 187, 17 }, "Use 5 sec average", true },
        { "TrackBar1", "QSlider", "Panel1", { 696, 25, 95, 45 }, nullptr, false },
        { "Button1", "QPushButton", "Panel1", { 696, -6, 75, 25 }, "Button1", false },
        { "cbLegend", "QCheckBox", "Panel1", { 797, 22, 97, 18 }, "Show Legend", false },
        { "lblKeepAlive", "QLabel", "Panel1", { 816, 3, 58, 13 }, "lblKeepAlive", false },
        { "lblSeries", "QLabel", "Panel1", { 818, 46, 135, 13 }, "Click on a Series to identify it", false },
        { "Image1", "TImage", "Panel1", { 857, 12, 150, 44 }, nullptr, true },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QWidget* w = form.findChild<QWidget*>(r.name);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), r.kind);
        EXPECT_EQ(w->parentWidget()->objectName(), r.parent);
        EXPECT_EQ(w->geometry(), r.geometry);
        EXPECT_EQ(w->isVisibleTo(&form), r.visible);
        if (r.text) {
            QString text = w->property("text").toString();
            EXPECT_EQ(text, r.text);
        }
        EXPECT_TRUE(w->isEnabled());
    }
    EXPECT_EQ(form.windowTitle(), "Quorvel Traffic Monitor - V1.0.3");
    EXPECT_EQ(child<TPanel>(form, "TopPanel")->Caption(), "Traffic graph - top 30 (bit/s)");
    EXPECT_EQ(child<QWidget>(form, "Splitter2")->cursor().shape(), Qt::SplitHCursor);
    EXPECT_EQ(child<QWidget>(form, "Splitter1")->cursor().shape(), Qt::SplitVCursor);
    EXPECT_EQ(child<QWidget>(form, "Image1")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(child<QLabel>(form, "lblSeries")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
}

TEST_F(FormTest, InitialStatesOfOptionsAndTimers)
{
    TSnifferMainForm form;
    FormProbe probe { form };
    auto* sortBy = child<TRadioGroup>(form, "RadioGroup1");
    EXPECT_EQ(sortBy->title(), "Sort by:");
    EXPECT_EQ(sortBy->Items(), QStringList({ "Data transferred", "Current speed" }));
    EXPECT_EQ(sortBy->ItemIndex(), 0);
    auto* speed = child<TRadioGroup>(form, "rgSpeed");
    EXPECT_EQ(speed->title(), "Show speed in");
    EXPECT_EQ(speed->Items(), QStringList({ "bits/s", "bytes/s" }));
    EXPECT_EQ(speed->ItemIndex(), 0);
    EXPECT_FALSE(child<QCheckBox>(form, "cbCapacity")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(form, "cbActiveIPs")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(form, "cbAverage")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(form, "cbLegend")->isChecked());
    auto* track = child<QSlider>(form, "TrackBar1");
    EXPECT_EQ(track->minimum(), 0);
    EXPECT_EQ(track->maximum(), 100);
    EXPECT_EQ(track->value(), 50);

    EXPECT_EQ(probe.Timer1()->objectName(), "Timer1");
    EXPECT_EQ(probe.Timer1()->interval(), 1000);
    EXPECT_FALSE(probe.Timer1()->isActive());
    EXPECT_EQ(probe.HostsTimer()->interval(), 30000);
    EXPECT_TRUE(probe.HostsTimer()->isActive());
    // A coarse timer strays up to 5 % from its period, and the graph's 100 samples are 100 seconds.
    EXPECT_EQ(probe.Timer1()->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(probe.HostsTimer()->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(probe.SaveDialog1()->objectName(), "SaveDialog1");
    EXPECT_EQ(probe.SaveDialog1()->DefaultExt(), "csv");
    EXPECT_EQ(probe.SaveDialog1()->FileName(), "traffic.csv");
    EXPECT_EQ(probe.SaveDialog1()->Filter(), "CSV files|*.csv|All files|*.*");
    EXPECT_EQ(probe.SampleIndex(), 0);
    EXPECT_EQ(probe.LastTick(), 0);
    EXPECT_EQ(probe.SpeedScale(), 0);
    EXPECT_EQ(probe.HttpClient(), nullptr);
    EXPECT_NE(probe.HostNames(), nullptr);
}

TEST_F(FormTest, FontsAndColoursOfTheStrip)
{
    TSnifferMainForm form;
    EXPECT_EQ(form.font().pixelSize(), 11);
    for (const char* name : { "Label1", "Label2", "IRLabel", "ISLabel" }) {
        SCOPED_TRACE(name);
        QFont f = child<QWidget>(form, name)->font();
        EXPECT_EQ(f.pixelSize(), 16);
        EXPECT_TRUE(f.bold());
    }
    EXPECT_EQ(child<QWidget>(form, "IRLabel")->palette().color(QPalette::WindowText), QColor(0xFF, 0x00, 0xFF));
    EXPECT_EQ(child<QWidget>(form, "ISLabel")->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0xFF));
    EXPECT_EQ(child<QWidget>(form, "Label1")->palette().color(QPalette::WindowText),
        form.palette().color(QPalette::WindowText));
    QWidget* top = child<QWidget>(form, "TopPanel");
    EXPECT_EQ(top->font().pixelSize(), 13);
    EXPECT_FALSE(top->font().bold());
    EXPECT_EQ(top->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(child<QWidget>(form, "ClearBtn")->font().pixelSize(), 11);
}

TEST_F(FormTest, TabOrderSkipsHiddenControlsAndStartsInTheTable)
{
    TSnifferMainForm form;
    form.show();
    QApplication::processEvents();
    QStringList chain;
    QWidget* w = child<QWidget>(form, "StringGrid1");
    for (int i = 0; i < 12 && w; ++i) {
        if (!chain.isEmpty() && w->objectName() == chain.first())
            break;
        chain << (w->objectName().contains("_item") ? w->parentWidget()->objectName() : w->objectName());
        do
            w = w->nextInFocusChain();
        while (w && (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled()));
    }
    chain.removeDuplicates();
    EXPECT_EQ(
        chain.join(' ').toStdString(), "StringGrid1 ClearBtn RadioGroup1 cbCapacity cbActiveIPs rgSpeed cbAverage");
}

TEST_F(FormTest, LogoAndLabelKeepTheirDistanceFromTheStripsRightEdge)
{
    TSnifferMainForm form;
    QWidget* strip = child<QWidget>(form, "Panel1");
    QWidget* logo = child<QWidget>(form, "Image1");
    QWidget* series = child<QWidget>(form, "lblSeries");
    form.show();
    for (int width : { 1008, 1400, 1920 }) {
        form.resize(width, 700);
        EXPECT_EQ(strip->width(), width);
        EXPECT_EQ(strip->width() - logo->geometry().right() - 1, 1);
        EXPECT_EQ(strip->width() - series->geometry().right() - 1, 55);
        EXPECT_EQ(logo->size(), QSize(150, 44));
    }
    const QPixmap picture = child<QLabel>(form, "Image1")->pixmap();
    EXPECT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(150, 44));
}

// The window's own charts, once creation has run InitCharts, and what their layout makes of them.
TEST_F(FormTest, ChartsCarryTheirDesignAndInitialSettings)
{
    TSnifferMainForm form;
    TChart* in = child<TChart>(form, "ChartIn");
    TChart* out = child<TChart>(form, "ChartOut");
    for (TChart* chart : { in, out }) {
        SCOPED_TRACE(chart->objectName().toStdString());
        EXPECT_EQ(chart->SeriesList().Count(), 0); // the form's placeholder series is gone
        EXPECT_EQ(chart->MarginUnits(), muPixels);
        EXPECT_EQ(chart->MarginRight(), 20);
        EXPECT_EQ(chart->LeftAxis().LabelsSize(), 45);
        EXPECT_FALSE(chart->View3D());
        EXPECT_FALSE(chart->ZoomAllow());
        EXPECT_EQ(chart->AllowPanning(), pmNone);
        EXPECT_FALSE(chart->TitleVisible());
        EXPECT_FALSE(chart->RightAxis().Visible());
        EXPECT_FALSE(chart->TopAxis().Visible());
        EXPECT_FALSE(chart->BottomAxis().Title().Visible());
        EXPECT_FALSE(chart->BottomAxis().TickOnLabelsOnly());
        EXPECT_EQ(chart->BottomAxis().MinorTickLength(), 0);
        EXPECT_EQ(chart->Legend().TitleText(), "Computer:");
        EXPECT_FALSE(chart->Legend().Visible());
        EXPECT_TRUE(chart->Legend().CustomPosition());
        EXPECT_TRUE(chart->ShowHint());
        EXPECT_EQ(chart->property("onMouseMove").toString(), "ChartInMouseMove");
    }
    EXPECT_EQ(in->MarginLeft(), 10);
    EXPECT_EQ(in->MarginTop(), 4);
    EXPECT_EQ(in->MarginBottom(), 0);
    EXPECT_EQ(in->Legend().Top(), 4);
    EXPECT_FALSE(in->LeftAxis().Inverted());
    EXPECT_FALSE(in->BottomAxis().Labels());
    EXPECT_FALSE(in->BottomAxis().AxisPen().Visible());
    EXPECT_EQ(in->BottomAxis().TickLength(), 0);
    EXPECT_EQ(out->MarginLeft(), 20);
    EXPECT_EQ(out->MarginTop(), 0);
    EXPECT_EQ(out->MarginBottom(), 10);
    EXPECT_EQ(out->Legend().Top(), 0);
    EXPECT_FALSE(out->Legend().ResizeChart());
    EXPECT_TRUE(out->LeftAxis().Inverted());
    EXPECT_TRUE(out->BottomAxis().Labels());
    EXPECT_EQ(out->BottomAxis().LabelsSize(), 15);
    EXPECT_EQ(out->BottomAxis().AxisPen().Width(), 2);
    EXPECT_EQ(out->BottomAxis().TickLength(), 3);
    EXPECT_EQ(out->BottomAxis().TickInnerLength(), 1);
    // The split of the graph counts on these: the lower bottom axis takes its labels and 6 pixels
    // below the plot, the upper one none.
    EXPECT_EQ(out->BottomAxis().RoomSize(13, 13), out->BottomAxis().LabelsSize() + 6);
    EXPECT_EQ(in->BottomAxis().RoomSize(13, 13), 0);
}

namespace {
// The window with its series-click handler replaced by one that records its sender; the form's
// by-name binding finds the replacement as it finds the original.
class ClickRecordingForm : public TSnifferMainForm {
    Q_OBJECT
public:
    QStringList senders;
public slots:
    void ChartInClickSeries(QObject* Sender) { senders << Sender->objectName(); }
};
} // namespace

TEST_F(FormTest, BothChartsBindTheirSeriesClickToTheFormsHandler)
{
    ClickRecordingForm form;
    for (const char* name : { "ChartIn", "ChartOut" }) {
        TChart* chart = child<TChart>(form, name);
        EXPECT_EQ(chart->property("onClickSeries").toString(), "ChartInClickSeries");
        QMetaObject::invokeMethod(
            chart, "ClickSeries", Qt::DirectConnection, Q_ARG(TChartSeries*, nullptr), Q_ARG(int, 0));
    }
    EXPECT_EQ(form.senders, QStringList({ "ChartIn", "ChartOut" }));
}

TEST_F(FormTest, TheTableBandAndGraphFollowTheWindowAndTheSplitter)
{
    TSnifferMainForm form;
    form.show();
    form.resize(1200, 800);
    QWidget* grid = child<QWidget>(form, "StringGrid1");
    QWidget* panel3 = child<QWidget>(form, "Panel3");
    QWidget* bottom = child<QWidget>(form, "Splitter1");
    EXPECT_EQ(grid->geometry(), QRect(0, 65, 549, 800 - 65 - 3));
    EXPECT_EQ(bottom->geometry(), QRect(0, 797, 1200, 3));
    EXPECT_EQ(panel3->geometry(), QRect(552, 65, 1200 - 552, 732));
    // Panel2 fills Panel3 inside its 1-pixel bevel, below the caption band.
    EXPECT_EQ(child<QWidget>(form, "Panel2")->geometry(), QRect(1, 34, 1200 - 552 - 2, 732 - 33 - 2));

    QWidget* splitter = child<QWidget>(form, "Splitter2");
    auto drag = [&](int dx) {
        QPoint start = splitter->rect().center();
        QMouseEvent press(
            QEvent::MouseButtonPress, start, splitter->mapToGlobal(start), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(splitter, &press);
        QPoint end = start + QPoint(dx, 0);
        QMouseEvent move(QEvent::MouseMove, end, splitter->mapToGlobal(end), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(splitter, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, end, splitter->mapToGlobal(end), Qt::LeftButton, {}, {});
        QApplication::sendEvent(splitter, &release);
    };
    drag(-100);
    EXPECT_EQ(grid->width(), 449);
    EXPECT_EQ(splitter->x(), 449);
    EXPECT_EQ(panel3->x(), 452);
    EXPECT_EQ(panel3->width(), 1200 - 452);
    drag(-1000);
    EXPECT_EQ(grid->width(), 100);
    drag(1000);
    EXPECT_EQ(grid->width(), 560);
    EXPECT_EQ(panel3->x(), 563);
}

TEST_F(FormTest, CurrentSpeedOrderTicksAndLocksTheActiveMachinesOption)
{
    TSnifferMainForm form;
    auto* sortBy = child<TRadioGroup>(form, "RadioGroup1");
    auto* active = child<QCheckBox>(form, "cbActiveIPs");
    active->setChecked(false);
    sortBy->Button(1)->click();
    EXPECT_TRUE(active->isChecked());
    EXPECT_FALSE(active->isEnabled());
    sortBy->Button(0)->click();
    EXPECT_TRUE(active->isEnabled());
    EXPECT_TRUE(active->isChecked());
}

TEST_F(FormTest, SizesBoxListsNineLinesSeparatedByCarriageReturns)
{
    TSnifferMainForm form;
    child<QPushButton>(form, "Button1")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, "message");
    EXPECT_EQ(boxes[0].caption, "Quorvel Traffic Monitor");
    const QStringList lines = boxes[0].text.split('\r');
    ASSERT_EQ(lines.size(), 9);
    EXPECT_FALSE(boxes[0].text.contains('\n'));
    const char* prefixes[]
        = { "Panel2 ", "ChartIn ", "ChartOut ", "ChartIn.MarginTop ", "ChartIn.ChartHeight ", "ChartOut.MarginBottom ",
              "ChartOut.ChartHeight ", "ChartOut.BottomAxis.TickLength ", "ChartOut.BottomAxis.LabelsSize " };
    for (int i = 0; i < 9; ++i) {
        EXPECT_TRUE(lines[i].startsWith(prefixes[i])) << lines[i].toStdString();
        bool ok = false;
        lines[i].mid(int(strlen(prefixes[i]))).toInt(&ok);
        EXPECT_TRUE(ok) << lines[i].toStdString();
    }
    EXPECT_EQ(lines[0], "Panel2 488");
}

TEST_F(FormTest, ConfirmingTheSaveDialogWritesNoFile)
{
    TSnifferMainForm form;
    FormProbe probe { form };
    const QString target = QDir::tempPath() + "/qtm-save-test.csv";
    QFile::remove(target);
    QTimer::singleShot(0, [&] {
        QDialog* dialog = probe.SaveDialog1()->Dialog();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("FileName")->setText(target);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
    });
    child<QPushButton>(form, "SaveBtn")->click();
    EXPECT_EQ(probe.SaveDialog1()->FileName(), target);
    EXPECT_FALSE(QFile::exists(target));
    QTimer::singleShot(0, [&] { probe.SaveDialog1()->Dialog()->reject(); });
    child<QPushButton>(form, "SaveBtn")->click();
    EXPECT_TRUE(boxes.empty());
}

TEST(ErrorBox, FullStopAddedUnlessPresent)
{
    EXPECT_EQ(ErrorBoxText("Axis Maximum Value must be >= Minimum"), "Axis Maximum Value must be >= Minimum.");
    EXPECT_EQ(ErrorBoxText("Connect timed out."), "Connect timed out.");
    EXPECT_EQ(ErrorBoxText(""), ".");
}

TEST(ErrorBox, GuardedHandlerShowsTheErrorAndTheProgramGoesOn)
{
    std::vector<Recorded> boxes;
    SetMessageBoxSinkForTesting([&](const QString& k, const QString& c, const QString& t) {
        boxes.push_back({ k, c, t });
    });
    bool after = false;
    RunGuarded([] { throw std::runtime_error("List index out of bounds (3)"); });
    RunGuarded([&] { after = true; });
    SetMessageBoxSinkForTesting(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, "error");
    EXPECT_EQ(boxes[0].caption, "Quorvel Traffic Monitor");
    EXPECT_EQ(boxes[0].text, "List index out of bounds (3).");
    EXPECT_TRUE(after);
}

TEST(StartWithoutSettings, DefaultsApplyAndTheWindowStillStartsPolling)
{
    if (!qEnvironmentVariableIsSet("QTM_EXPECT_EMPTY_NETNS"))
        GTEST_SKIP() << "runs only inside an empty network namespace (see the CTest entry)";
    std::ifstream routes("/proc/net/route");
    std::string header, route;
    std::getline(routes, header);
    ASSERT_FALSE(std::getline(routes, route)) << "a route exists: this is not an empty network namespace";

    TSnifferMainForm form;
    FormProbe probe { form };
    EXPECT_EQ(probe.ServiceAddress(), SnifferSettings::DefaultService);
    EXPECT_EQ(probe.BoldCharCountValue(), 11);
    form.show();
    EXPECT_TRUE(probe.Timer1()->isActive());
    auto* grid = form.findChild<TStringGrid*>("StringGrid1");
    EXPECT_EQ(grid->RowCount(), 5);
    EXPECT_EQ(grid->Cell(1, 0), "HOST");
    EXPECT_EQ(form.findChild<TChart*>("ChartIn")->SeriesList().Count(), 0);
}

#include "FormTest.moc"

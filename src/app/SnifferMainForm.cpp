#include "app/SnifferMainForm.h"

#include "ui_SnifferMainForm.h"

#include "chart/ChartTypes.h"
#include "chart/TChart.h"
#include "controls/AlignLayout.h"
#include "controls/DisplayText.h"
#include "controls/EventBinding.h"
#include "controls/FormStyle.h"
#include "controls/MessageBoxes.h"
#include "controls/TSaveDialog.h"
#include "controls/TStringGrid.h"
#include "controls/TabOrder.h"
#include "graph/ChartDesign.h"
#include "service/ServiceLocations.h"
#include "settings/SnifferSettings.h"
#include "table/HostColors.h"
#include "table/QuickList.h"
#include "table/RegionalSettings.h"

#include <QProcess>
#include <QShowEvent>
#include <QTimer>

const char* const TSnifferMainForm::Caption = "Quorvel Traffic Monitor - V1.0.3";
const char* const TSnifferMainForm::MakerAddress = "https://www.quorvel.example/";

namespace {
constexpr int WindowFontHeight = 11;

QTimer* makeTimer(QObject* owner, const char* name, int interval, bool enabled)
{
    auto* t = new QTimer(owner);
    t->setObjectName(name);
    t->setInterval(interval);
    // Precise: a coarse timer may stray 5 % from its period, and the graph's 100 samples are meant
    // to cover 100 seconds. Overdue ticks still collapse into one.
    t->setTimerType(Qt::PreciseTimer);
    if (enabled)
        t->start();
    return t;
}
} // namespace

TSnifferMainForm::TSnifferMainForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::SnifferMainForm)
{
    // The logo's resource lives in the monitor library; without this reference the linker leaves
    // it out of the program and the picture is empty.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    setWindowTitle(Caption);

    Panel1 = ui->Panel1;
    StringGrid1 = ui->StringGrid1;
    Panel2 = ui->Panel2;
    TopPanel = ui->TopPanel;
    ChartIn = ui->ChartIn;
    ChartOut = ui->ChartOut;
    IRLabel = ui->IRLabel;
    ISLabel = ui->ISLabel;
    StartedLabel = ui->StartedLabel;
    lblKeepAlive = ui->lblKeepAlive;
    lblSeries = ui->lblSeries;
    StartBtn = ui->StartBtn;
    ClearBtn = ui->ClearBtn;
    cbCapacity = ui->cbCapacity;
    cbActiveIPs = ui->cbActiveIPs;
    cbAverage = ui->cbAverage;
    cbLegend = ui->cbLegend;
    RadioGroup1 = ui->RadioGroup1;
    rgSpeed = ui->rgSpeed;

    StringGrid1->SetColCount(7);
    StringGrid1->SetFixedCols(3);
    StringGrid1->SetFixedRows(1);
    StringGrid1->SetRowCount(5);
    StringGrid1->SetDefaultColWidth(70);
    StringGrid1->SetDefaultRowHeight(18);
    // A row is bold by its two rate texts as a whole, so a new rate that turns it bold or plain
    // repaints its row.
    StringGrid1->SetRowLook([this](int row) { return IsBoldRow(row) ? 1 : 0; });
    // The cell hook paints each cell whole, background and text.
    StringGrid1->SetDefaultDrawing(false);
    StringGrid1->OnDrawCell = [this](TGridCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state) {
        StringGrid1DrawCell(canvas, col, row, rect, state);
    };

    FormStyle::Apply(this, WindowFontHeight);
    ui->Image1->setPixmap(QPixmap(":/logo.png"));
    AlignLayout::Install(this);

    Timer1 = makeTimer(this, "Timer1", 1000, false);
    HostsTimer = makeTimer(this, "HostsTimer", 30000, true);
    connect(Timer1, &QTimer::timeout, this, [this] { EventBinding::Invoke(this, "Timer1Timer", Timer1); });
    connect(HostsTimer, &QTimer::timeout, this, [this] { EventBinding::Invoke(this, "HostsTimerTimer", HostsTimer); });
    namesRetry_ = new QTimer(this);
    namesRetry_->setSingleShot(true);
    connect(namesRetry_, &QTimer::timeout, this, [this] { EventBinding::Invoke(this, "HostsTimerTimer", HostsTimer); });

    SaveDialog1 = new TSaveDialog(this);
    SaveDialog1->setObjectName("SaveDialog1");
    SaveDialog1->SetDefaultExt("csv");
    SaveDialog1->SetFileName("traffic.csv");
    SaveDialog1->SetFilter("CSV files|*.csv|All files|*.*");

    ChartDesign::Apply(*ChartIn, false);
    ChartDesign::Apply(*ChartOut, true);
    service_.OnKeepAlive(
        [this](bool keptAlive) { lblKeepAlive->setText(keptAlive ? "KeepAlive ON" : "KeepAlive OFF"); });
    EventBinding::BindByName(this);
    TabOrder::Apply(this);
    StringGrid1->setFocus();

    FormCreate();
}

TSnifferMainForm::~TSnifferMainForm()
{
    FormDestroy();
}

void TSnifferMainForm::FormCreate()
{
    HostNames = new TQuickList();
    ChartIn->SeriesList().Clear();
    ChartOut->SeriesList().Clear();
    InitCharts();
    TIniFile ini = SnifferSettings::Open();
    ServiceAddress = SnifferSettings::SnifferService(ini);
    BoldCharCountValue = SnifferSettings::BoldCharCount(ini);
    TakeRegionalSettings();
}

void TSnifferMainForm::FormShow()
{
    // Each step stands alone: one that fails is reported and the start goes on, so a bad
    // setting never leaves the monitor without polling, column widths or header.
    RunGuarded([this] { rgSpeedClick(this); });
    RunGuarded([this] {
        StringGrid1->SetColWidth(0, 20);
        StringGrid1->SetColWidth(1, 120);
        StringGrid1->SetColWidth(2, 100);
    });
    RunGuarded([this] {
        const char* headers[] = { " ", "HOST", "IP", "Recv Speed", "Send Speed", "Recv Total", "Send Total" };
        for (int c = 0; c < 7; ++c)
            StringGrid1->SetCell(c, 0, headers[c]);
    });
    RunGuarded([this] { LoadHostNamesWhenServiceAllows(); });
    RunGuarded([this] { StartBtn->click(); });
    RunGuarded([this] { Timer1Timer(this); });
}

void TSnifferMainForm::FormDestroy()
{
    // Waiting rows look their names up in the directory.
    StringGrid1->WriteDeferredRows();
    delete HostNames;
    HostNames = nullptr;
    service_.Discard();
}

void TSnifferMainForm::LoadHostNames()
{
    // Rows still waiting to be written show the names of their poll.
    StringGrid1->WriteDeferredRows();
    HostNames->SetSorted(false);
    const std::string location
        = SnifferSettings::IPSource(SnifferSettings::Open(), ServiceLocations::NameList(ServiceAddress));
    FetchLines(location, *HostNames);
    NormalizeHostNames(*HostNames);
}

void TSnifferMainForm::TakeRegionalSettings()
{
    // The window's locale follows the user's regional settings unless it was given its own.
    FormatSettings() = RegionalFormatSettings(locale());
    // The graph's axis numbers read like the table's.
    TNumberSeparators axis;
    axis.thousands = DisplayThousandSeparator();
    axis.decimal = DisplayDecimalSeparator();
    ChartIn->SetNumberSeparators(axis);
    ChartOut->SetNumberSeparators(axis);
}

bool TSnifferMainForm::IsBoldRow(int row) const
{
    return row > 0 && RowStyle::IsBold(StringGrid1->Cell(3, row), StringGrid1->Cell(4, row), BoldCharCountValue);
}

void TSnifferMainForm::StringGrid1DrawCell(
    TGridCanvas& canvas, int ACol, int ARow, const QRect& Rect, const TGridDrawState&)
{
    if (IsBoldRow(ARow))
        canvas.Font.setBold(true);
    if (RowStyle::HasSwatch(ARow) && ACol == 0)
        canvas.BrushColor = ToQColor(RowStyle::SwatchColor(ARow));
    if (RowStyle::IsGrey(ARow))
        canvas.FontColor = QColor(QRgb(RowStyle::GreyText));
    canvas.FillRect(Rect);
    canvas.TextRect(Rect, Rect.left() + 2, Rect.top() + 2, DisplayText(StringGrid1->Cell(ACol, ARow)));
}

void TSnifferMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!shown_ && !event->spontaneous()) {
        shown_ = true;
        FormShow();
    }
}

void TSnifferMainForm::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        TakeRegionalSettings();
    QWidget::changeEvent(event);
}

void TSnifferMainForm::RadioGroup1Click(QObject*)
{
    if (RadioGroup1->ItemIndex() == 1) {
        cbActiveIPs->setChecked(true);
        cbActiveIPs->setEnabled(false);
    } else {
        cbActiveIPs->setEnabled(true);
    }
}

void TSnifferMainForm::Image1Click(QObject*)
{
    // The desktop's URL opener stands in for the browser; whether it starts is of no concern here.
    QProcess::startDetached("xdg-open", { MakerAddress });
}

void TSnifferMainForm::Button1Click(QObject*)
{
    const QRect inPlot = ChartIn->PlotRect();
    const QRect outPlot = ChartOut->PlotRect();
    QStringList lines;
    lines << "Panel2 " + QString::number(Panel2->height()) << "ChartIn " + QString::number(ChartIn->height())
          << "ChartOut " + QString::number(ChartOut->height())
          << "ChartIn.MarginTop " + QString::number(ChartIn->MarginTop())
          << "ChartIn.ChartHeight " + QString::number(inPlot.height())
          << "ChartOut.MarginBottom " + QString::number(ChartOut->MarginBottom())
          << "ChartOut.ChartHeight " + QString::number(outPlot.height())
          << "ChartOut.BottomAxis.TickLength " + QString::number(ChartOut->BottomAxis().TickLength())
          << "ChartOut.BottomAxis.LabelsSize " + QString::number(ChartOut->BottomAxis().LabelsSize());
    ShowMessage(lines.join('\r'));
}

void TSnifferMainForm::SaveBtnClick(QObject*)
{
    if (SaveDialog1->Execute(this))
        ExportTraffic(SaveDialog1->FileName());
}

void TSnifferMainForm::ExportTraffic(const QString&)
{
}

void TSnifferMainForm::TrackBar1Change(QObject*)
{
}

void TSnifferMainForm::ChartInClickSeries(QObject*)
{
}

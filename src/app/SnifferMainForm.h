#pragma once

#include "base/DateTime.h"
#include "poll/ServiceStaleness.h"
#include "service/FetchPace.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QTimer;
class QLabel;
class QCheckBox;
class QPushButton;
class TChart;
class TChartSeries;
class TPanel;
class TRadioGroup;
class TSaveDialog;
class TStringGrid;
class TStringList;
class TQuickList;
class TNetHTTP;
struct TGridCanvas;
struct TGridDrawState;

namespace Ui {
class SnifferMainForm;
}

// The monitor's one window. Its handlers are bound by name from the form description; its private
// operations belong to the subsystems and are defined in their folders: the declaration here is the
// table of contents.
class TSnifferMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TSnifferMainForm(QWidget* parent = nullptr);
    ~TSnifferMainForm() override;

    static const char* const Caption;
    static const char* const MakerAddress;

public slots:
    // Controls' handlers (src/app).
    void RadioGroup1Click(QObject* Sender);
    void Image1Click(QObject* Sender);
    void Button1Click(QObject* Sender);
    void SaveBtnClick(QObject* Sender);
    void TrackBar1Change(QObject* Sender);
    void ChartInClickSeries(QObject* Sender);
    // Graph options (src/graph).
    void rgSpeedClick(QObject* Sender);
    void cbCapacityClick(QObject* Sender);
    void cbLegendClick(QObject* Sender);
    void Panel2Resize(QObject* Sender);
    void ChartInMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    // Poll cycle (src/poll).
    void Timer1Timer(QObject* Sender);
    void HostsTimerTimer(QObject* Sender);
    void StartBtnClick(QObject* Sender);
    void Button2Click(QObject* Sender);
    void ClearBtnClick(QObject* Sender);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend struct FormProbe; // tests reach the private state through this

    // Lifecycle (src/app).
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void ExportTraffic(const QString& FileName);
    void TakeRegionalSettings();

    // Service access (src/service).
    void FetchLines(const std::string& location, TStringList& target);
    // Hands the resource's lines to the reader as they arrive, until it answers false; for the
    // history, which is too large to hold whole. Fetch failures are absorbed as in FetchLines.
    using TLineReader = std::function<bool(std::string_view line)>;
    void FetchLineStream(const std::string& location, const TLineReader& onLine);

    // Traffic table (src/table).
    void LoadHostNames();
    // Answers whether a snapshot was applied: false when the fetch failed or brought no lines.
    bool ProcessSnapshot(const TStringList* lines);
    std::string FormatSpeed(int64_t value) const;
    void StringGrid1DrawCell(TGridCanvas& canvas, int ACol, int ARow, const QRect& Rect, const TGridDrawState& State);

    // Host series (src/graph).
    int FindSeriesByAddress(TChart* chart, const std::string& address) const;
    void AddHostSample(TChart* chart, int position, const std::string& name, const std::string& address, double value);
    void PadSeries(TChart* chart);
    void ApplySeriesColors(TChart* chart);
    // Graph layout (src/graph).
    void ApplyChartDesign();
    void InitCharts();
    void InitChartAxes(TChart* chart);
    void ArrangeCharts();
    void PlaceLegend(TChart* chart);

    // Poll cycle (src/poll).
    // Answers whether a snapshot of the history was applied.
    bool LoadHistory();
    QString StartText() const;
    // Name loads that no user asked for wait while a slow service has just held the window.
    void LoadHostNamesWhenServiceAllows();
    void NoteServiceAnswer(bool answered, TDateTime askedAt);
    // Says on screen that the figures are stale, or leaves the window as a good poll wrote it.
    void ShowServiceState();

    void DiscardHttpClient();

    std::unique_ptr<Ui::SnifferMainForm> ui;

    // Controls by their form names.
    TPanel* Panel1;
    TStringGrid* StringGrid1;
    TPanel* Panel2;
    TPanel* TopPanel;
    TChart* ChartIn;
    TChart* ChartOut;
    QLabel* IRLabel;
    QLabel* ISLabel;
    QLabel* StartedLabel;
    QLabel* lblKeepAlive;
    QLabel* lblSeries;
    QPushButton* StartBtn;
    QPushButton* ClearBtn;
    QCheckBox* cbCapacity;
    QCheckBox* cbActiveIPs;
    QCheckBox* cbAverage;
    QCheckBox* cbLegend;
    TRadioGroup* RadioGroup1;
    TRadioGroup* rgSpeed;
    QTimer* Timer1;
    QTimer* HostsTimer;
    TSaveDialog* SaveDialog1;

    // Window state; all zero or empty at creation.
    double SampleIndex = 0;
    std::string ServiceAddress;
    int32_t BoldCharCountValue = 0;
    TNetHTTP* HttpClient = nullptr;
    TDateTime LastTick = 0;
    double SpeedScale = 0;
    TQuickList* HostNames = nullptr;

    bool shown_ = false;
    // A fetch that outlasts the poll period counts as slow; the window then gets a quarter second
    // to itself before the next poll or name load.
    TFetchPace fetchPace_ { std::chrono::milliseconds(1000), std::chrono::milliseconds(250) };
    TServiceStaleness staleness_;
    QTimer* namesRetry_ = nullptr;
};

#pragma once

#include "base/DateTime.h"
#include "poll/PollCycle.h"
#include "poll/ServiceStaleness.h"
#include "service/ServiceAccess.h"
#include "table/SnapshotModel.h"

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
struct TGridCanvas;
struct TGridDrawState;

namespace Ui {
class SnifferMainForm;
}

// The monitor's one window. Its handlers are bound by name from the form description; its
// operations ask the pieces below (service access, snapshot model, host series, graph layout, poll
// cycle) for results and apply them to the controls.
class TSnifferMainForm : public QWidget, private TPollSteps {
    Q_OBJECT
public:
    explicit TSnifferMainForm(QWidget* parent = nullptr);
    ~TSnifferMainForm() override;

    static const char* const Caption;
    static const char* const MakerAddress;

public slots:
    // Controls' handlers (SnifferMainForm.cpp).
    void RadioGroup1Click(QObject* Sender);
    void Image1Click(QObject* Sender);
    void Button1Click(QObject* Sender);
    void SaveBtnClick(QObject* Sender);
    void TrackBar1Change(QObject* Sender);
    void ChartInClickSeries(QObject* Sender);
    // Graph options (MainFormGraph.cpp).
    void rgSpeedClick(QObject* Sender);
    void cbCapacityClick(QObject* Sender);
    void cbLegendClick(QObject* Sender);
    void Panel2Resize(QObject* Sender);
    void ChartInMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    // Poll cycle (MainFormPoll.cpp).
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

    // Lifecycle (SnifferMainForm.cpp).
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void ExportTraffic(const QString& FileName);
    void TakeRegionalSettings();
    void LoadHostNames();
    bool IsBoldRow(int row) const;
    void StringGrid1DrawCell(TGridCanvas& canvas, int ACol, int ARow, const QRect& Rect, const TGridDrawState& State);

    // Poll cycle (MainFormPoll.cpp).
    bool FetchLines(const std::string& location, TStringList& target);
    // Live when lines is null: polls the service. Answers whether a snapshot was applied: false
    // when the fetch failed or brought no lines.
    bool ProcessSnapshot(const TStringList* lines);
    // Answers whether a snapshot of the history was applied.
    bool LoadHistory();
    // Applies the history blocks replay hands to its handler; answers replay's answer. Nothing is
    // painted between blocks, so the totals' labels, which size themselves to their texts, are
    // set once, to the last block's.
    using THistoryBlockHandler = std::function<bool(const TStringList& block)>;
    bool ApplyHistory(const std::function<bool(const THistoryBlockHandler& apply)>& replay);
    void ShowTotals(const std::string& sendTotals, const std::string& recvTotals);
    TSnapshotOptions SnapshotOptions(TSnapshotMode mode) const;
    void ShowSnapshot(const TSnapshot& snapshot);
    void WriteHostRow(TSnapshot& snapshot, int row, const TRowFormat& format);
    std::string FormatSpeed(int64_t value) const;
    void AddHostSample(TChart* chart, int position, const std::string& name, const std::string& address, double value);
    void PadSeries(TChart* chart);
    QString StartText() const;
    // Name loads that no user asked for wait while a slow service has just held the window.
    void LoadHostNamesWhenServiceAllows();
    // Says on screen that the figures are stale, or leaves the window as a good poll wrote it.
    void ShowServiceState();
    // The tick's steps, as the poll cycle calls them.
    void ClearGraph() override;
    bool ReplayHistory() override;
    bool PollSnapshot() override;
    void ServiceAnswered(bool answered, TDateTime askedAt) override;
    void FinishTick() override;

    // Graph (MainFormGraph.cpp).
    void InitCharts();
    void ArrangeCharts();

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
    double SpeedScale = 0;
    TQuickList* HostNames = nullptr;

    bool shown_ = false;
    // The window's HTTP client lives here, with the pace of its fetches.
    TServiceAccess service_;
    // Keeps the tick's time (LastTick).
    TPollCycle poll_ { service_.Pace() };
    TServiceStaleness staleness_;
    // Two live snapshots by turns: the table's waiting rows read the one shown last while the
    // next is computed. History blocks write no rows and have their own.
    TSnapshot liveSnapshots_[2];
    int shownLive_ = 0;
    TSnapshot historySnapshot_;
    THostRow hostRow_;
    THostRowTexts rowTexts_;
    bool replaying_ = false;
    bool totalsPending_ = false;
    std::string pendingSendTotals_, pendingRecvTotals_;
    QTimer* namesRetry_ = nullptr;
};

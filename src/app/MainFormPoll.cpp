#include "app/SnifferMainForm.h"

#include "base/StringList.h"
#include "chart/TChart.h"
#include "controls/AutoSizeLabel.h"
#include "controls/DisplayText.h"
#include "controls/TRadioGroup.h"
#include "controls/TStringGrid.h"
#include "graph/HostSeries.h"
#include "poll/HistoryReplay.h"
#include "service/ServiceLocations.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int RecvSpeedColumn = 3;
constexpr int SendSpeedColumn = 4;

int msUntil(TFetchPace::Clock::duration wait)
{
    return int(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}
} // namespace

void TSnifferMainForm::Timer1Timer(QObject*)
{
    poll_.Tick(*this);
}

void TSnifferMainForm::ClearGraph()
{
    ClearBtn->click();
}

bool TSnifferMainForm::ReplayHistory()
{
    return LoadHistory();
}

bool TSnifferMainForm::PollSnapshot()
{
    return ProcessSnapshot(nullptr);
}

void TSnifferMainForm::FinishTick()
{
    HostSeries::ApplySeriesColors(*ChartIn);
    HostSeries::ApplySeriesColors(*ChartOut);
    ArrangeCharts();
}

bool TSnifferMainForm::FetchLines(const std::string& location, TStringList& target)
{
    return service_.FetchLines(location, target);
}

TSnapshotOptions TSnifferMainForm::SnapshotOptions(TSnapshotMode mode) const
{
    TSnapshotOptions options;
    options.Mode = mode;
    options.Order = RadioGroup1->ItemIndex() == 1 ? THostOrder::CurrentSpeed : THostOrder::DataTransferred;
    options.ActiveOnly = cbActiveIPs->isChecked();
    options.RatesInBits = rgSpeed->ItemIndex() == 0;
    options.Separators = FormatSettings();
    return options;
}

bool TSnifferMainForm::ProcessSnapshot(const TStringList* lines)
{
    if (lines != nullptr) {
        if (!ComputeSnapshot(*lines, SnapshotOptions(TSnapshotMode::History), *HostNames, historySnapshot_))
            return false;
        ShowSnapshot(historySnapshot_);
        return true;
    }
    // Table rows still waiting to be written read the live snapshot shown last, so the next one
    // is computed beside it, its lines fetched over those of the one before; a failed fetch
    // leaves none, so the poll is not taken for an answer.
    TSnapshot& next = liveSnapshots_[1 - shownLive_];
    TStringList fetched = std::move(next.Lines);
    if (!FetchLines(ServiceLocations::Snapshot(ServiceAddress, cbAverage->isChecked()), fetched))
        fetched.Clear();
    if (!ComputeSnapshot(std::move(fetched), SnapshotOptions(TSnapshotMode::Live), *HostNames, next))
        return false;
    // The rows' texts are written as they come into view or are read; rows this snapshot does
    // not write keep what they showed, and are written now if they still wait for the last one.
    StringGrid1->DeferRows(1, next.WrittenRows,
        [this, live = &next, format = next.RowFormat](int row) { WriteHostRow(*live, row, format); });
    ShowSnapshot(next);
    shownLive_ = 1 - shownLive_;
    return true;
}

void TSnifferMainForm::ShowSnapshot(const TSnapshot& snapshot)
{
    if (snapshot.RowCountFirst)
        StringGrid1->SetRowCount(snapshot.RowCount);
    HostSeries::AddSamples(*ChartIn, *ChartOut, snapshot.Samples, SampleIndex, SpeedScale);
    if (!snapshot.RowCountFirst)
        StringGrid1->SetRowCount(snapshot.RowCount);
    SampleIndex += 1;
    PadSeries(ChartIn);
    PadSeries(ChartOut);
    if (replaying_) {
        // Only a block shown to its end counts as the last one shown.
        totalsPending_ = true;
        pendingSendTotals_.assign(snapshot.SendTotals);
        pendingRecvTotals_.assign(snapshot.RecvTotals);
    } else {
        ShowTotals(snapshot.SendTotals, snapshot.RecvTotals);
    }
}

void TSnifferMainForm::WriteHostRow(TSnapshot& snapshot, int row, const TRowFormat& format)
{
    ReadSnapshotRow(snapshot, row - 1, hostRow_);
    FormatRowTexts(hostRow_, format, rowTexts_);
    StringGrid1->SetCell(1, row, hostRow_.Name);
    StringGrid1->SetCell(2, row, hostRow_.Address);
    StringGrid1->SetCell(3, row, rowTexts_.RecvSpeed);
    StringGrid1->SetCell(4, row, rowTexts_.SendSpeed);
    StringGrid1->SetCell(5, row, rowTexts_.RecvTotal);
    StringGrid1->SetCell(6, row, rowTexts_.SendTotal);
}

void TSnifferMainForm::ShowTotals(const std::string& sendTotals, const std::string& recvTotals)
{
    SetLabelCaption(ISLabel, DisplayText(sendTotals));
    SetLabelCaption(IRLabel, DisplayText(recvTotals));
}

std::string TSnifferMainForm::FormatSpeed(int64_t value) const
{
    return FormatRate(value, rgSpeed->ItemIndex() == 0);
}

void TSnifferMainForm::AddHostSample(
    TChart* chart, int position, const std::string& name, const std::string& address, double value)
{
    HostSeries::AddHostSample(*chart, SampleIndex, position, name, address, value);
}

void TSnifferMainForm::PadSeries(TChart* chart)
{
    HostSeries::PadSeries(*chart, SampleIndex);
}

bool TSnifferMainForm::LoadHistory()
{
    service_.Discard();
    const std::string location = ServiceLocations::History(ServiceAddress);
    return ApplyHistory([&](const THistoryBlockHandler& apply) { return ::ReplayHistory(service_, location, apply); });
}

bool TSnifferMainForm::ApplyHistory(const std::function<bool(const THistoryBlockHandler& apply)>& replay)
{
    // The labels show the last block shown, also when the replay breaks off.
    struct TReplaying {
        TSnifferMainForm& form;
        explicit TReplaying(TSnifferMainForm& f)
            : form(f)
        {
            form.replaying_ = true;
            form.totalsPending_ = false;
        }
        ~TReplaying()
        {
            form.replaying_ = false;
            if (form.totalsPending_)
                form.ShowTotals(form.pendingSendTotals_, form.pendingRecvTotals_);
            form.totalsPending_ = false;
        }
    } replaying(*this);
    return replay([this](const TStringList& block) { return ProcessSnapshot(&block); });
}

void TSnifferMainForm::ServiceAnswered(bool answered, TDateTime askedAt)
{
    if (answered)
        staleness_.Answered();
    else
        staleness_.Unanswered(askedAt);
    ShowServiceState();
}

void TSnifferMainForm::ShowServiceState()
{
    if (!staleness_.Stale()) {
        setWindowTitle(Caption);
        return;
    }
    const TDateTime now = Now();
    setWindowTitle(QString(Caption) + " - " + staleness_.Notice(now));
    // The totals stay, as the last the service counted; rates of that moment are not today's.
    const QString notice = staleness_.ShortNotice(now);
    SetLabelCaption(IRLabel, notice);
    SetLabelCaption(ISLabel, notice);
    for (int row = 1; row < StringGrid1->RowCount(); ++row) {
        StringGrid1->SetCell(RecvSpeedColumn, row, "");
        StringGrid1->SetCell(SendSpeedColumn, row, "");
    }
}

QString TSnifferMainForm::StartText() const
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    QString text = "Started: " + locale.toString(now.date(), QLocale::ShortFormat);
    if (now.time().hour() != 0 || now.time().minute() != 0 || now.time().second() != 0)
        text += " " + locale.toString(now.time(), QLocale::LongFormat);
    return text;
}

void TSnifferMainForm::StartBtnClick(QObject*)
{
    StartedLabel->setText(StartText());
    if (!Timer1->isActive())
        Timer1->start();
}

void TSnifferMainForm::Button2Click(QObject*)
{
    Timer1->stop();
}

void TSnifferMainForm::ClearBtnClick(QObject*)
{
    StartedLabel->setText(StartText());
    ChartIn->SeriesList().Clear();
    ChartOut->SeriesList().Clear();
}

void TSnifferMainForm::HostsTimerTimer(QObject*)
{
    LoadHostNamesWhenServiceAllows();
}

void TSnifferMainForm::LoadHostNamesWhenServiceAllows()
{
    // Names are not refreshed every second as snapshots are, so a load put off is tried again
    // as soon as the window has had its moment, not 30 seconds later.
    const TFetchPace::Clock::duration wait = service_.Pace().WaitBefore(TFetchPace::Clock::now());
    if (wait > TFetchPace::Clock::duration::zero()) {
        namesRetry_->start(msUntil(wait));
        return;
    }
    namesRetry_->stop();
    LoadHostNames();
}

#include "app/SnifferMainForm.h"

#include "base/StringList.h"
#include "chart/TChart.h"
#include "controls/AutoSizeLabel.h"
#include "controls/TStringGrid.h"
#include "poll/HistoryBlocks.h"
#include "service/FetchLimits.h"
#include "service/ServiceLocations.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr double GapSeconds = 5;
constexpr int RecvSpeedColumn = 3;
constexpr int SendSpeedColumn = 4;

int msUntil(TFetchPace::Clock::duration wait)
{
    return int(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}
} // namespace

void TSnifferMainForm::Timer1Timer(QObject*)
{
    // Ticks that fell due during a slow fetch would follow it at once and keep the window from its
    // user; such a tick is left out, and a slow service costs polls, not the window.
    if (fetchPace_.WaitBefore(TFetchPace::Clock::now()) > TFetchPace::Clock::duration::zero())
        return;
    const TDateTime t0 = Now();
    try {
        TDateTime t;
        if (LastTick > 0 && DaysToSeconds(Now() - LastTick) > GapSeconds) {
            ClearBtn->click();
            // The replay stands in for this tick's poll: without a snapshot from it, what the
            // table and labels show is as old as before the gap.
            NoteServiceAnswer(LoadHistory(), t0);
            t = Now();
        } else {
            NoteServiceAnswer(ProcessSnapshot(nullptr), t0);
            t = t0;
        }
        ApplySeriesColors(ChartIn);
        ApplySeriesColors(ChartOut);
        ArrangeCharts();
        LastTick = t;
    } catch (const std::exception&) {
        // A failed tick shows nothing; the next one tries again, and a long run of failures
        // turns into a gap that rebuilds the graph from the history.
    }
}

bool TSnifferMainForm::LoadHistory()
{
    DiscardHttpClient();
    // The history of a large network runs to hundreds of megabytes: each block is replayed as soon
    // as it has arrived, and only that block is held.
    bool applied = false;
    THistoryBlocks blocks([&](const TStringList& block) { applied = ProcessSnapshot(&block) || applied; },
        FetchLimits().MaxHistoryBlockBytes);
    FetchLineStream(
        ServiceLocations::History(ServiceAddress), [&](std::string_view line) { return blocks.AddLine(line); });
    return applied;
}

void TSnifferMainForm::NoteServiceAnswer(bool answered, TDateTime askedAt)
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
    const TFetchPace::Clock::duration wait = fetchPace_.WaitBefore(TFetchPace::Clock::now());
    if (wait > TFetchPace::Clock::duration::zero()) {
        namesRetry_->start(msUntil(wait));
        return;
    }
    namesRetry_->stop();
    LoadHostNames();
}

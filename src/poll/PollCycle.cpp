#include "app/SnifferMainForm.h"

#include "base/StringList.h"
#include "graph/chart/TChart.h"
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
}

void TSnifferMainForm::Timer1Timer(QObject*)
{
    const TDateTime t0 = Now();
    try {
        TDateTime t;
        if (LastTick > 0 && DaysToSeconds(Now() - LastTick) > GapSeconds) {
            ClearBtn->click();
            LoadHistory();
            t = Now();
        } else {
            ProcessSnapshot(nullptr);
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

void TSnifferMainForm::LoadHistory()
{
    DiscardHttpClient();
    // The history of a large network runs to hundreds of megabytes: each block is replayed as soon
    // as it has arrived, and only that block is held.
    THistoryBlocks blocks(
        [this](const TStringList& block) { ProcessSnapshot(&block); }, FetchLimits().MaxHistoryBlockBytes);
    FetchLineStream(
        ServiceLocations::History(ServiceAddress), [&](std::string_view line) { return blocks.AddLine(line); });
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
    LoadHostNames();
}

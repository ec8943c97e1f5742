#include "poll/ServiceStaleness.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>

namespace {
// Date-times count days from 30 December 1899, the time of day as the fraction.
QDateTime toDateTime(TDateTime t)
{
    const double day = std::floor(t);
    const qint64 ms = std::llround((t - day) * 86400000.0);
    return QDateTime(QDate(1899, 12, 30).addDays(qint64(day)), QTime(0, 0)).addMSecs(ms);
}
} // namespace

void TServiceStaleness::Unanswered(TDateTime at)
{
    if (!stale_)
        since_ = at;
    stale_ = true;
}

QString TServiceStaleness::sinceText(TDateTime now) const
{
    const QDateTime since = toDateTime(since_);
    const QString time = since.time().toString("HH:mm:ss");
    if (since.date() == toDateTime(now).date())
        return time;
    return since.date().toString("yyyy-MM-dd") + " " + time;
}

QString TServiceStaleness::Notice(TDateTime now) const
{
    return "no answer from the service since " + sinceText(now);
}

QString TServiceStaleness::ShortNotice(TDateTime now) const
{
    return "no answer since " + sinceText(now);
}

#pragma once

#include "base/DateTime.h"

#include <QString>

// Whether the figures on screen are still the service's word: a poll left without a snapshot
// makes them stale from that poll's time on, and the next snapshot makes them current again.
class TServiceStaleness {
public:
    void Answered() { stale_ = false; }
    // The first unanswered poll of a run gives the time; later ones keep it.
    void Unanswered(TDateTime at);

    bool Stale() const { return stale_; }
    TDateTime Since() const { return since_; }

    // "no answer from the service since 14:02:31", for the caption; the date comes in front of the
    // time once the outage began on another day than now.
    QString Notice(TDateTime now) const;
    // The same, short enough for the Recv and Send labels.
    QString ShortNotice(TDateTime now) const;

private:
    QString sinceText(TDateTime now) const;

    bool stale_ = false;
    TDateTime since_ = 0;
};

#pragma once

#include <functional>

// Local wall-clock time as days (time of day as the fraction); only differences are used.
using TDateTime = double;

TDateTime Now();
double DaysToSeconds(TDateTime days);

// Lets tests drive the clock that the poll's gap test reads; an empty function restores the real one.
void SetClockForTesting(std::function<TDateTime()> clock);

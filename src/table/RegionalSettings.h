#pragma once

#include "table/Formatting.h"

#include <QChar>

class QLocale;

// The table's texts are bytes, one per character, so a separator outside Latin-1 (the narrow
// no-break space of fr_FR and fr_CH, the right single quote of de_CH) gets a single-byte stand-in:
// U+00A0 for any space, "'" for any apostrophe. Returns 0 for a separator with no stand-in.
char SeparatorStandIn(char32_t separator);

// The separators of a locale as the table writes them; one with no stand-in means no grouping, or
// "." for the decimal separator.
TFormatSettings RegionalFormatSettings(const QLocale& locale);

// The separators the table writes now, as characters to draw, so that other numbers on screen (the
// chart's axis labels) match the table. The thousands separator is a null QChar when the locale
// groups no digits.
QChar DisplayThousandSeparator();
QChar DisplayDecimalSeparator();

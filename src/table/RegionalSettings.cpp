#include "table/RegionalSettings.h"

#include <QLocale>
#include <QString>

namespace {

char32_t singleCharacter(const QString& text)
{
    if (text.size() == 1)
        return text[0].unicode();
    if (text.size() == 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[0], text[1]);
    return 0;
}

bool isSpaceSeparator(char32_t c)
{
    return c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isApostrophe(char32_t c)
{
    return c == 0x2019 || c == 0x2018 || c == 0x02BC || c == 0x2032 || c == 0xFF07;
}

} // namespace

char SeparatorStandIn(char32_t separator)
{
    if (separator < 0x100)
        return char(separator);
    if (isSpaceSeparator(separator))
        return char(0xA0);
    if (isApostrophe(separator))
        return '\'';
    return 0;
}

TFormatSettings RegionalFormatSettings(const QLocale& locale)
{
    TFormatSettings settings;
    settings.ThousandSeparator = SeparatorStandIn(singleCharacter(locale.groupSeparator()));
    const char decimal = SeparatorStandIn(singleCharacter(locale.decimalPoint()));
    settings.DecimalSeparator = decimal != 0 ? decimal : '.';
    return settings;
}

QChar DisplayThousandSeparator()
{
    const char c = FormatSettings().ThousandSeparator;
    return c != 0 ? QChar(char16_t(static_cast<unsigned char>(c))) : QChar();
}

QChar DisplayDecimalSeparator()
{
    const char c = FormatSettings().DecimalSeparator;
    return QChar(char16_t(static_cast<unsigned char>(c != 0 ? c : '.')));
}

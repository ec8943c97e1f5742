#include "controls/DisplayText.h"

#include "base/Utf8Text.h"

QString DisplayText(std::string_view bytes, qsizetype maxChars)
{
    const std::string_view shown = FirstChars(bytes, maxChars > 0 ? size_t(maxChars) : 0);
    size_t ascii = 0;
    while (ascii < shown.size() && static_cast<unsigned char>(shown[ascii]) < 0x80)
        ++ascii;
    if (ascii == shown.size())
        return QString::fromLatin1(shown.data(), qsizetype(shown.size()));

    QString text;
    text.reserve(qsizetype(shown.size()));
    text.append(QLatin1String(shown.data(), qsizetype(ascii)));
    for (size_t pos = ascii; pos < shown.size();) {
        const TTextChar c = TextCharAt(shown, pos);
        if (QChar::requiresSurrogates(c.code)) {
            text.append(QChar(QChar::highSurrogate(c.code)));
            text.append(QChar(QChar::lowSurrogate(c.code)));
        } else {
            text.append(QChar(char16_t(c.code)));
        }
        pos += c.length;
    }
    return text;
}

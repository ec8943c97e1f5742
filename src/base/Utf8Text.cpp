#include "base/Utf8Text.h"

namespace {

bool isContinuation(unsigned char b, unsigned char low = 0x80, unsigned char high = 0xBF)
{
    return b >= low && b <= high;
}

} // namespace

TTextChar TextCharAt(std::string_view text, size_t pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char b0 = byte(0);
    const size_t left = text.size() - pos;
    if (b0 < 0x80)
        return { b0, 1 };
    if (b0 >= 0xC2 && b0 <= 0xDF && left >= 2 && isContinuation(byte(1)))
        return { char32_t(b0 & 0x1F) << 6 | (byte(1) & 0x3F), 2 };
    if (b0 >= 0xE0 && b0 <= 0xEF && left >= 3) {
        // No overlong forms and no surrogates: those are not text in any encoding we read.
        const unsigned char low = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = b0 == 0xED ? 0x9F : 0xBF;
        if (isContinuation(byte(1), low, high) && isContinuation(byte(2)))
            return { char32_t(b0 & 0x0F) << 12 | char32_t(byte(1) & 0x3F) << 6 | (byte(2) & 0x3F), 3 };
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && left >= 4) {
        const unsigned char low = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = b0 == 0xF4 ? 0x8F : 0xBF;
        if (isContinuation(byte(1), low, high) && isContinuation(byte(2)) && isContinuation(byte(3)))
            return { char32_t(b0 & 0x07) << 18 | char32_t(byte(1) & 0x3F) << 12 | char32_t(byte(2) & 0x3F) << 6
                    | (byte(3) & 0x3F),
                4 };
    }
    return { b0, 1 };
}

std::string_view FirstChars(std::string_view text, size_t maxChars)
{
    size_t pos = 0;
    for (size_t n = 0; n < maxChars && pos < text.size(); ++n)
        pos += static_cast<unsigned char>(text[pos]) < 0x80 ? 1 : TextCharAt(text, pos).length;
    return text.substr(0, pos);
}

// The integer text rule, checked against the standard library's decimal reading and against
// itself at both widths, in both blank modes.
#include "FuzzSupport.h"

#include "base/IntegerText.h"

#include <charconv>

namespace {

template <typename T> std::optional<T> standardDecimal(std::string_view text, LeadingBlanks blanks)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (blanks == LeadingBlanks::SpacesAndTabs && text[i] == '\t')))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            number = "-";
        ++i;
    }
    std::string_view digits = text.substr(i);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    number += digits;
    T value {};
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return value;
}

bool isDecimalForm(std::string_view text, LeadingBlanks blanks)
{
    size_t i = text.find_first_not_of(blanks == LeadingBlanks::SpacesAndTabs ? " \t" : " ");
    if (i == std::string_view::npos)
        return false;
    if (text[i] == '+' || text[i] == '-')
        ++i;
    return i < text.size() && text.find_first_not_of("0123456789", i) == std::string_view::npos;
}

void check(std::string_view text, LeadingBlanks blanks)
{
    const std::optional<int32_t> narrow = TryParseInt32(text, blanks);
    const std::optional<int64_t> wide = TryParseInt64(text, blanks);
    if (isDecimalForm(text, blanks)) {
        if (narrow != standardDecimal<int32_t>(text, blanks))
            qtm_fuzz::BrokenPromise("a 32-bit decimal reads differently from the standard reading");
        if (wide != standardDecimal<int64_t>(text, blanks))
            qtm_fuzz::BrokenPromise("a 64-bit decimal reads differently from the standard reading");
        return;
    }
    if (narrow && !wide)
        qtm_fuzz::BrokenPromise("a text valid at 32 bits is refused at 64 bits");
    // Hexadecimal is a bit pattern of the width, so the narrow value is the wide one's low half.
    if (narrow && uint32_t(*narrow) != uint32_t(uint64_t(*wide)))
        qtm_fuzz::BrokenPromise("a hexadecimal text reads as different bits at the two widths");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text = qtm_fuzz::AsText(data, size);
    check(text, LeadingBlanks::SpacesOnly);
    check(text, LeadingBlanks::SpacesAndTabs);
    return 0;
}

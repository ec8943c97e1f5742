#include "table/HostLine.h"

#include "base/IntegerText.h"

namespace {
// Plain decimal digits, the service's usual form, are read right here, four times per host and
// poll; up to 18 of them cannot leave the range. Every other form (blanks, signs, hexadecimal,
// anything invalid or longer) goes through the full integer rule.
int64_t fieldNumber(std::string_view field)
{
    if (!field.empty() && field.size() <= 18) {
        uint64_t value = 0;
        size_t i = 0;
        for (; i < field.size(); ++i) {
            const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned('0');
            if (digit > 9)
                break;
            value = value * 10 + digit;
        }
        if (i == field.size())
            return static_cast<int64_t>(value);
    }
    return StrToInt64Def(field, 0);
}
} // namespace

THostLine::THostLine(std::string_view line)
{
    // Each field as the comma-field reader gives it, found in one pass rather than one per field.
    size_t start = 0;
    for (std::string_view& field : field_) {
        const size_t end = line.find(',', start);
        field = line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
}

int64_t THostLine::number(int i) const
{
    return fieldNumber(field_[i]);
}

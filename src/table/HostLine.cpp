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

THostNumbers ReadHostNumbers(std::string_view line)
{
    THostNumbers host;
    const char* const text = line.data();
    const size_t size = line.size();
    size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        host.AddressLength = size;
        return host;
    }
    host.AddressLength = comma;
    int64_t* const numbers[] = { &host.SendRate, &host.RecvRate, &host.Sent, &host.Received };
    for (int64_t* number : numbers) {
        const size_t start = comma + 1;
        // Plain digits up to the field's end are the usual case; the digits read so far tell
        // where a field that is anything else still has to be looked for.
        uint64_t value = 0;
        size_t i = start;
        while (i < size && i - start <= 18) {
            const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
            if (digit > 9)
                break;
            value = value * 10 + digit;
            ++i;
        }
        const bool ended = i == size || text[i] == ',';
        if (ended && i > start && i - start <= 18) {
            *number = static_cast<int64_t>(value);
        } else {
            const size_t end = ended ? i : line.find(',', i);
            *number
                = fieldNumber(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
            i = end;
        }
        if (i >= size)
            break;
        comma = i;
    }
    return host;
}

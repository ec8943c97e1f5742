#include "table/GetField.h"

std::string_view GetFieldView(std::string_view text, char separator, int n)
{
    if (n < 0)
        return {};
    size_t start = 0;
    for (int k = 0; k < n; ++k) {
        const size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos)
            return {};
        start = pos + 1;
    }
    const size_t end = text.find(separator, start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

#include "settings/IniFile.h"

#include "base/IntegerText.h"
#include "base/Utf8Text.h"

#include <fstream>
#include <optional>
#include <string_view>

namespace {

constexpr size_t MaxValueLength = 2047;
// The part of a line the reader holds; the rest of a longer line is passed over unread.
constexpr size_t MaxLineLength = 64 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = char(x - 32);
        if (y >= 'a' && y <= 'z')
            y = char(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

// Lines as editors on any system save them: a UTF-8 byte-order mark at the start is not part of
// the first line, and LF, CR LF and a lone CR all end a line.
class LineReader {
public:
    explicit LineReader(const std::string& path)
        : in_(path, std::ios::binary)
    {
        if (in_)
            skipByteOrderMark();
    }

    bool isOpen() const { return bool(in_); }

    // The next line without its end, cut to MaxLineLength bytes; false at the end of the file.
    bool next(std::string& line)
    {
        line.clear();
        std::streambuf* buf = in_.rdbuf();
        int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof())
            return false;
        for (; c != std::char_traits<char>::eof(); c = buf->sbumpc()) {
            if (c == '\n')
                break;
            if (c == '\r') {
                if (buf->sgetc() == '\n')
                    buf->sbumpc();
                break;
            }
            if (line.size() < MaxLineLength)
                line.push_back(char(c));
        }
        return true;
    }

private:
    void skipByteOrderMark()
    {
        static const char bom[] = "\xEF\xBB\xBF";
        char head[3] = {};
        in_.read(head, 3);
        if (in_.gcount() == 3 && std::string_view(head, 3) == std::string_view(bom, 3))
            return;
        in_.clear();
        in_.seekg(0);
    }

    std::ifstream in_;
};

std::optional<std::string> findValue(const std::string& path, const std::string& section, const std::string& key)
{
    LineReader reader(path);
    if (!reader.isOpen())
        return std::nullopt;
    bool inSection = false;
    std::string line;
    while (reader.next(line)) {
        std::string_view l = trim(line);
        if (l.empty() || l.front() == ';')
            continue;
        if (l.front() == '[') {
            size_t close = l.find(']');
            inSection = close != std::string_view::npos && equalsIgnoreCase(trim(l.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection)
            continue;
        size_t eq = l.find('=');
        if (eq == std::string_view::npos || !equalsIgnoreCase(trim(l.substr(0, eq)), key))
            continue;
        std::string_view value = trim(l.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(FirstChars(value, MaxValueLength));
    }
    return std::nullopt;
}

} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    auto v = findValue(path_, section, key);
    return v ? *v : def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const
{
    return StrToInt32Def(ReadString(section, key, ""), def, LeadingBlanks::SpacesAndTabs);
}

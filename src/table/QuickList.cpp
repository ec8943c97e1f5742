#include "table/QuickList.h"

#include "base/Utf8Text.h"
#include "table/GetField.h"

#include <cstring>

namespace {

constexpr size_t maxNameLength = 15;

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view trimBlanks(std::string_view s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string_view beforeMarkup(std::string_view line)
{
    return line.substr(0, line.find('<'));
}

// A short key as it is stored at the head of its slot: its length, then its bytes, zero-padded.
struct PackedKey {
    uint64_t words[2] = { 0, 0 };

    explicit PackedKey(std::string_view key)
    {
        // Only keys of up to 15 bytes are stored in slots; a longer key is cut here and never matches one.
        unsigned char bytes[16] = {};
        const size_t n = key.size() < sizeof bytes - 1 ? key.size() : sizeof bytes - 1;
        bytes[0] = static_cast<unsigned char>(key.size() < 0xFF ? key.size() : 0xFF);
        if (n > 0)
            std::memcpy(bytes + 1, key.data(), n);
        std::memcpy(words, bytes, sizeof words);
    }

    size_t hash() const
    {
        uint64_t h = words[0] * 0x9E3779B97F4A7C15ULL + words[1] * 0xC2B2AE3D27D4EB4FULL;
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 32;
        return static_cast<size_t>(h);
    }
};

// Where the binary search over n sorted entries stops when exactly positions first to last equal its text.
int firstProbeWithin(int first, int last, int n)
{
    if (first == last)
        return first;
    int low = 0;
    int high = n - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        if (middle < first)
            low = middle + 1;
        else if (middle > last)
            high = middle - 1;
        else
            return middle;
    }
    return first;
}

} // namespace

TQuickList::TQuickList()
{
    keyIndex_.SetCaseSensitive(true);
}

int TQuickList::Add(std::string s)
{
    keyIndex_.Clear();
    return TStringList::Add(std::move(s));
}

std::string_view TQuickList::KeyView(std::string_view line)
{
    return line.substr(0, line.find('='));
}

std::string_view TQuickList::ValueView(std::string_view line)
{
    const size_t pos = line.find('=');
    return pos == std::string_view::npos ? std::string_view() : line.substr(pos + 1);
}

std::string TQuickList::Lookup(std::string_view key)
{
    if (indexIsStale())
        RebuildIndex();
    if (key.size() > shortText)
        return searchIndex(key);
    static_assert(sizeof(AnswerSlot) == 2 * sizeof(PackedKey), "a slot's head must be a packed key");
    const PackedKey packed(key);
    const size_t mask = answers_.size() - 1;
    for (size_t i = packed.hash() & mask;; i = (i + 1) & mask) {
        const AnswerSlot& slot = answers_[i];
        if (slot.keyLength == freeSlot)
            return {};
        uint64_t head[2];
        std::memcpy(head, &slot, sizeof head);
        if (head[0] == packed.words[0] && head[1] == packed.words[1]) {
            if (slot.valueLength == longValue) {
                uint32_t index = 0;
                std::memcpy(&index, slot.value, sizeof index);
                return longAnswers_[index];
            }
            return std::string(slot.value, slot.valueLength);
        }
    }
}

void TQuickList::PrefetchLookup(std::string_view key) const
{
    if (answers_.empty() || key.size() > shortText)
        return;
    __builtin_prefetch(&answers_[PackedKey(key).hash() & (answers_.size() - 1)]);
}

void TQuickList::RebuildIndex()
{
    SetSorted(true);
    keyIndex_.Clear();
    keyIndex_.SetSorted(false);
    std::vector<ShortValue> values(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i) {
        const std::string_view line = Get(i);
        const size_t equals = line.find('=');
        const int k = keyIndex_.Add(std::string(line.substr(0, equals)));
        keyIndex_.SetTag(k, i);
        const std::string_view value = equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
        if (value.size() <= shortText) {
            values[i].length = static_cast<uint8_t>(value.size());
            if (!value.empty())
                std::memcpy(values[i].text, value.data(), value.size());
        }
    }
    const uint64_t extracted = keyIndex_.ChangeStamp();
    keyIndex_.SetSorted(true);
    // Keys that were in order already still stand beside the lines they came from.
    buildAnswers(keyIndex_.ChangeStamp() == extracted ? &values : nullptr);
    indexedStamp_ = ChangeStamp();
    keyIndexStamp_ = keyIndex_.ChangeStamp();
}

bool TQuickList::indexIsStale() const
{
    return keyIndex_.Count() != Count() || indexedStamp_ != ChangeStamp() || keyIndexStamp_ != keyIndex_.ChangeStamp()
        || answers_.empty();
}

// The name for the key found at this position of KeyIndex.
std::string TQuickList::answerAt(int i) const
{
    const std::string& key = keyIndex_[i];
    // For address keys the directory's order and the index's agree, so the line at the same position
    // holds the key; its value is the answer.
    const std::string_view line = Get(i);
    const size_t equals = line.find('=');
    if (line.substr(0, equals) == key)
        return std::string(equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1));
    // Keys that are not addresses (a key that is the start of another, keys differing in case) can
    // sort apart in the two lists; the tag still leads to the line the key was taken from.
    return std::string(ValueView(Get(static_cast<int>(keyIndex_.Tag(i)))));
}

std::string TQuickList::searchIndex(std::string_view key) const
{
    int i = 0;
    return keyIndex_.Find(key, i) ? answerAt(i) : std::string();
}

void TQuickList::buildAnswers(const std::vector<ShortValue>* valueAtPosition)
{
    size_t size = 16;
    while (size < 2 * static_cast<size_t>(keyIndex_.Count()))
        size *= 2;
    answers_.assign(size, AnswerSlot {});
    longAnswers_.clear();
    const int n = keyIndex_.Count();
    const size_t mask = size - 1;
    // The keys come in sorted order and land anywhere in the table: asking for the slot of a key a
    // little ahead lets the memory fetches overlap instead of waiting for each in turn.
    constexpr int prefetchDistance = 16;
    std::vector<size_t> homes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        homes[i] = PackedKey(keyIndex_[i]).hash() & mask;
        if (i < prefetchDistance)
            __builtin_prefetch(&answers_[homes[i]], 1);
    }
    for (int first = 0; first < n;) {
        if (first + prefetchDistance < n)
            __builtin_prefetch(&answers_[homes[first + prefetchDistance]], 1);
        int last = first;
        while (last + 1 < n && keyIndex_.CompareStrings(keyIndex_[last + 1], keyIndex_[first]) == 0)
            ++last;
        const std::string& key = keyIndex_[first];
        if (key.size() <= shortText) {
            // Among equal keys, the search answers with the first one its probes meet.
            const int position = firstProbeWithin(first, last, n);
            std::string found;
            std::string_view value;
            if (valueAtPosition && (*valueAtPosition)[position].length != longValue) {
                const ShortValue& v = (*valueAtPosition)[position];
                value = std::string_view(v.text, v.length);
            } else {
                found = answerAt(position);
                value = found;
            }
            size_t i = homes[first];
            while (answers_[i].keyLength != freeSlot)
                i = (i + 1) & mask;
            AnswerSlot& slot = answers_[i];
            slot.keyLength = static_cast<uint8_t>(key.size());
            std::memcpy(slot.key, key.data(), key.size());
            if (value.size() <= shortText) {
                slot.valueLength = static_cast<uint8_t>(value.size());
                if (!value.empty())
                    std::memcpy(slot.value, value.data(), value.size());
            } else {
                const auto index = static_cast<uint32_t>(longAnswers_.size());
                longAnswers_.emplace_back(value);
                slot.valueLength = longValue;
                std::memcpy(slot.value, &index, sizeof index);
            }
        }
        first = last + 1;
    }
}

void NormalizeHostNames(TQuickList& names)
{
    names.SetSorted(false);
    names.EditLines([](std::string& line) {
        const std::string_view s = beforeMarkup(line);
        const std::string_view key = trimBlanks(GetFieldView(s, '=', 0));
        const std::string_view value = FirstChars(trimBlanks(GetFieldView(s, '=', 1)), maxNameLength);
        if (value.empty())
            return false;
        // Already normalised lines (every refresh that brings the same list) are left untouched.
        const bool normal = key.data() == line.data() && value.data() == line.data() + key.size() + 1
            && line.size() == key.size() + 1 + value.size() && line[key.size()] == '=';
        if (!normal) {
            std::string text;
            text.reserve(key.size() + 1 + value.size());
            text.append(key).append(1, '=').append(value);
            line = std::move(text);
        }
        return true;
    });
    names.SetSorted(true);
}

#pragma once

#include "base/StringList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The host name directory: lines "address=name", compared with case ignored, and KeyIndex, the
// sorted addresses, which turns every lookup into one binary search. Since every poll looks up every
// host, the answers of those searches are also kept in a hash table built with the index, so a
// lookup costs one probe instead of a search through memory the cache does not hold.
class TQuickList : public TStringList {
public:
    TQuickList();

    TStringList& KeyIndex() { return keyIndex_; }
    const TStringList& KeyIndex() const { return keyIndex_; }

    // Every line loaded into the directory passes here, so a reload always invalidates the index.
    int Add(std::string s) override;

    // The text before the first "=", or the whole line.
    static std::string_view KeyView(std::string_view line);
    // The text after the first "=", or empty text.
    static std::string_view ValueView(std::string_view line);
    static std::string KeyOf(std::string_view line) { return std::string(KeyView(line)); }
    static std::string ValueOf(std::string_view line) { return std::string(ValueView(line)); }

    // The name stored for an address, or empty text. Rebuilds the index first when its size no
    // longer matches the directory's, or the lines changed since it was built.
    std::string Lookup(std::string_view key);
    // Starts fetching what a lookup of this key will read, so that the lookups of a whole snapshot,
    // each a cache miss in a large directory, overlap their waits. Changes nothing.
    void PrefetchLookup(std::string_view key) const;
    void RebuildIndex();

private:
    static constexpr size_t shortText = 15;
    static constexpr uint8_t freeSlot = 0xFF;
    static constexpr uint8_t longValue = 0xFF;

    // One address with its answer, both inline when they fit in 15 bytes: half a cache line. The
    // length and the zero-padded key form the first 16 bytes, compared as two words.
    struct AnswerSlot {
        uint8_t keyLength = freeSlot;
        char key[shortText];
        uint8_t valueLength = 0;
        char value[shortText];
    };

    // A name copied out of its line while the line is at hand, so the answers need not read it again.
    struct ShortValue {
        uint8_t length = longValue;
        char text[shortText];
    };

    bool indexIsStale() const;
    std::string answerAt(int keyIndexPosition) const;
    std::string searchIndex(std::string_view key) const;
    void buildAnswers(const std::vector<ShortValue>* valueAtPosition);

    TStringList keyIndex_;
    uint64_t indexedStamp_ = 0;
    uint64_t keyIndexStamp_ = 0;
    std::vector<AnswerSlot> answers_;
    std::vector<std::string> longAnswers_;
};

// Turns freshly loaded name-list lines into directory lines "key=value": markup cut off at the
// first "<", blanks (codes 0 to 32) trimmed around key and value, the value ends at a second "="
// and is cut to 15 characters; lines left without a value are dropped. Then sorts the directory.
void NormalizeHostNames(TQuickList& names);

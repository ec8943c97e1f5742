#include "base/Utf8Text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TTextChar at(const std::string& text, size_t pos = 0)
{
    return TextCharAt(text, pos);
}

} // namespace

TEST(Utf8TextTest, ValidSequencesAreOneCharacterEach)
{
    EXPECT_EQ(at("a").code, U'a');
    EXPECT_EQ(at("\xC3\xBC").code, U'\u00FC');
    EXPECT_EQ(at("\xC3\xBC").length, 2u);
    EXPECT_EQ(at("\xE2\x82\xAC").code, U'\u20AC');
    EXPECT_EQ(at("\xE2\x82\xAC").length, 3u);
    EXPECT_EQ(at("\xF0\x9F\x96\xA5").code, U'\U0001F5A5');
    EXPECT_EQ(at("\xF0\x9F\x96\xA5").length, 4u);
    EXPECT_EQ(at("\xF4\x8F\xBF\xBF").code, U'\U0010FFFF');
}

// Bytes that are not UTF-8 (Latin-1 text, overlong forms, surrogates, cut sequences, code points
// beyond U+10FFFF) are one Latin-1 character each, so nothing is ever lost or merged.
TEST(Utf8TextTest, AnyOtherByteIsItsOwnLatin1Character)
{
    const char* invalid[] = { "\xFC", "\xC3", "\xC3x", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80",
        "\xE2\x82", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xBC", "\xFF" };
    for (const std::string text : invalid) {
        EXPECT_EQ(at(text).length, 1u) << text;
        EXPECT_EQ(at(text).code, char32_t(static_cast<unsigned char>(text[0]))) << text;
    }
    // A sequence that would run past the end of the text is not read beyond it.
    const std::string cut = std::string("ab\xE2\x82\xAC").substr(0, 4);
    EXPECT_EQ(TextCharAt(cut, 2).length, 1u);
}

TEST(Utf8TextTest, FirstCharsCountsCharactersAndNeverSplitsOne)
{
    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty += "\xC3\xBC";
    std::string fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen += "\xC3\xBC";
    EXPECT_EQ(FirstChars(twenty, 15), fifteen);
    EXPECT_EQ(FirstChars("abcdefghijklmn\xE2\x82\xACxyz", 15), "abcdefghijklmn\xE2\x82\xAC");
    EXPECT_EQ(FirstChars("B\xFCro and more", 4), "B\xFCro");
    EXPECT_EQ(FirstChars("\xE2\x82", 1), "\xE2");
    EXPECT_EQ(FirstChars("short", 15), "short");
    EXPECT_EQ(FirstChars("", 15), "");
    EXPECT_EQ(FirstChars("abc", 0), "");
}

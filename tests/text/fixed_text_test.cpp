#include "text/fixed_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FixedText, StartsEmptyAndTerminated) {
    FixedText<8> t;
    EXPECT_TRUE(t.empty());
    EXPECT_STREQ(t.c_str(), "");
    FixedText<8> zero{};
    EXPECT_EQ(zero.buf[7], '\0');
}

TEST(FixedText, FormatCutsAtCapacityMinusOneAroundTheEdge) {
    // capacity 8 keeps at most 7 characters; check cap-2 .. cap+1
    struct Row {
        const char* source;
        const char* kept;
        std::size_t length;
    };
    const Row rows[] = {
        {"abcdef", "abcdef", 6},      // cap - 2
        {"abcdefg", "abcdefg", 7},    // cap - 1
        {"abcdefgh", "abcdefg", 7},   // cap
        {"abcdefghi", "abcdefg", 7},  // cap + 1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        FixedText<8> t;
        EXPECT_EQ(t.format("%s", row.source), row.length);
        EXPECT_STREQ(t.c_str(), row.kept);
        EXPECT_EQ(t.length(), row.length);
        EXPECT_EQ(t.assign(row.source), row.length);
        EXPECT_STREQ(t.c_str(), row.kept);
    }
}

TEST(FixedText, CutsNeverEndInsideACharacter) {
    // capacity 8 keeps at most 7 bytes
    struct Row {
        const char* source;
        const char* kept;
    } const rows[] = {
        {"abcde\xd0\x9f", "abcde\xd0\x9f"},        // 2 bytes, fits
        {"abcdef\xd0\x9f", "abcdef"},                // 2 bytes, split at 7
        {"abcde\xe6\xbc\xa2", "abcde"},             // 3 bytes, split after 2
        {"abcd\xe6\xbc\xa2", "abcd\xe6\xbc\xa2"},   // 3 bytes, fits
        {"abcd\xf0\x9f\x98\x80", "abcd"},          // 4 bytes, split after 3
        {"abc\xf0\x9f\x98\x80", "abc\xf0\x9f\x98\x80"},
        {"abcdef\xff\xfe", "abcdef\xff"},           // no character to split: bytes stay
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        FixedText<8> t;
        EXPECT_EQ(t.format("%s", row.source), std::strlen(row.kept));
        EXPECT_STREQ(t.c_str(), row.kept);
        EXPECT_EQ(t.assign(row.source), std::strlen(row.kept));
        EXPECT_STREQ(t.c_str(), row.kept);
        t.assign("a");
        EXPECT_EQ(t.append("%s", row.source + 1), std::strlen(row.kept));
        EXPECT_STREQ(t.c_str(), row.kept);
    }
}

TEST(FixedText, AppendNeverGrowsPastCapacity) {
    FixedText<10> t;
    EXPECT_EQ(t.format("%d", 12345), 5u);
    EXPECT_EQ(t.append("-%s", "ab"), 8u);
    EXPECT_EQ(t.append("%s", "xyz"), 9u);
    EXPECT_STREQ(t.c_str(), "12345-abx");
    EXPECT_EQ(t.append("%s", "more"), 9u);
    EXPECT_STREQ(t.c_str(), "12345-abx");
}

TEST(FixedText, CopyHandlesNullAndCounts) {
    char buf[6];
    EXPECT_EQ(text_copy(TextBuffer{buf, sizeof buf}, nullptr), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(text_copy_n(TextBuffer{buf, sizeof buf}, "abcdef", 3), 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(text_copy_n(TextBuffer{buf, sizeof buf}, "ab", 5), 2u);
    EXPECT_STREQ(buf, "ab");
    // a zero-capacity buffer is never written
    char untouched = 'x';
    EXPECT_EQ(text_format(TextBuffer{&untouched, 0}, "%s", "abc"), 0u);
    EXPECT_EQ(untouched, 'x');
}

TEST(FixedText, WideNamesBecomeUtf8CutAtAWholeCharacter) {
    // capacity 6 keeps at most 5 bytes; a character that does not fit whole is left out
    struct Row {
        const char* what;
        std::u16string units;
        const char* kept;
    };
    const Row rows[] = {
        {"ascii", u"abc", "abc"},
        {"two-byte characters", u"Gr\u00f6\u00dfe", "Gr\xc3\xb6"},  // "ß" would need bytes 5 and 6
        {"three-byte cut at cap - 1", u"ab\u20ac", "ab\xe2\x82\xac"},                  // 5 bytes
        {"three-byte cut at cap", u"abc\u20ac", "abc"},                               // 6 would not fit
        {"cyrillic", u"\u043f\u0430\u043f", "\xd0\xbf\xd0\xb0"},                    // 6 bytes: two fit
        {"surrogate pair", u"a\U0001F600", "a\xf0\x9f\x98\x80"},
        {"lone surrogates", u"\xd800x\xdc00", "\xef\xbf\xbdx"},                      // the second cut
        {"stops at a zero unit", std::u16string(u"ab\0cd", 5), "ab"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        char buf[6];
        EXPECT_EQ(text_copy_utf16(TextBuffer{buf, sizeof buf}, row.units.data(), row.units.size()),
                  std::strlen(row.kept));
        EXPECT_STREQ(buf, row.kept);
    }
}

TEST(FixedText, PrintsWideIntegersAndOneDecimal) {
    FixedText<64> t;
    t.format("%llu MB %.1f%% %zu", 18446744073709551615ULL, 89.46, std::size_t{7});
    EXPECT_STREQ(t.c_str(), "18446744073709551615 MB 89.5% 7");
}

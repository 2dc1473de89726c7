#include <gtest/gtest.h>

#include <string>

#include "config/notify_settings.h"

namespace {
std::string scramble(const std::string& plain) {
    FixedText<kScrambledCap> out;
    scramble_secret(plain.c_str(), out.out());
    return out.c_str();
}
std::string unscramble(const char* text, int* result, std::size_t cap = 256) {
    char out[512];
    *result = unscramble_secret(text, TextBuffer{out, cap}) ? 1 : 0;
    return out;
}
}  // namespace

TEST(SecretScramble, KnownVectorsWithTheBuiltInKey) {
    // XOR with "harbor_lantern_quill_mixkey", upper-case hex
    struct Row {
        const char* plain;
        const char* scrambled;
    };
    const Row rows[] = {
        {"secret", "encry(1B0411100A06)"},
        {"pass123456", "encry(180001115E406C585458)"},
        {"123456789:ABCdefGhIJKlmnoPQRstuVWXyz01234",
         "encry(595341565A44685458543527310A3A1732012526140104160435283A120617392507151B5E4557415A)"},
        {"", "encry()"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.plain);
        EXPECT_EQ(scramble(row.plain), row.scrambled);
        if (row.plain[0] != '\0') {
            int result = -1;
            EXPECT_EQ(unscramble(row.scrambled, &result), row.plain);
            EXPECT_EQ(result, 1);
        }
    }
}

TEST(SecretScramble, PlainInvalidAndLowerCaseForms) {
    struct Row {
        const char* text;
        int result;
        const char* plain;
    };
    const Row rows[] = {
        {"hunter2", 1, "hunter2"},
        {"encry()", 1, "encry()"},             // 7 characters: plain
        {"encry(1)", 0, ""},                   // odd digit count
        {"encry(1b0411100a06)", 1, "secret"},  // lower-case digits read too
        {"encry(1B04111G0A06)", 0, ""},        // not a hex digit
        {"ENCRY(1B0411100A06)", 1, "ENCRY(1B0411100A06)"},
        {"encry(1B0411100A06", 1, "encry(1B0411100A06"},
        {"xencry(1B04)", 1, "xencry(1B04)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        int result = -1;
        EXPECT_EQ(unscramble(row.text, &result), row.plain);
        EXPECT_EQ(result, row.result);
    }
    char out[4] = "xyz";
    EXPECT_FALSE(unscramble_secret(nullptr, TextBuffer{out, sizeof out}));
    EXPECT_STREQ(out, "");
}

TEST(SecretScramble, LengthLimitsOfTheScrambledForm) {
    // 510 digits decode, 512 are refused
    const std::string max_secret(255, 'q');
    const std::string max_form = scramble(max_secret);
    EXPECT_EQ(max_form.size(), 511u);  // "encry(" + 505 digits: cut at 511 characters, no ")"
    const std::string fits(252, 'q');
    const std::string fits_form = scramble(fits);
    ASSERT_EQ(fits_form.size(), 2 * 252 + 7u);
    int result = -1;
    EXPECT_EQ(unscramble(fits_form.c_str(), &result), fits);
    EXPECT_EQ(result, 1);

    const std::string digits510 = "encry(" + std::string(510, '0') + ")";
    EXPECT_EQ(unscramble(digits510.c_str(), &result, 512).size(), 255u);
    EXPECT_EQ(result, 1);
    const std::string digits512 = "encry(" + std::string(512, '0') + ")";
    EXPECT_EQ(unscramble(digits512.c_str(), &result, 512), "");
    EXPECT_EQ(result, 0);
    // the output is cut at its capacity less one
    EXPECT_EQ(unscramble(fits_form.c_str(), &result, 11), std::string(10, 'q'));
}

TEST(SecretScramble, RoundTripOfEveryByteValue) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (std::size_t start = 0; start < all.size(); start += 50) {
        const std::string plain = all.substr(start, 120);
        SCOPED_TRACE(start);
        int result = -1;
        const std::string back = unscramble(scramble(plain).c_str(), &result);
        // a byte equal to its key byte scrambles to 00 and back; a NUL cannot occur in plain text
        EXPECT_EQ(back, plain);
        EXPECT_EQ(result, 1);
    }
}

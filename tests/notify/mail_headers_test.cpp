#include "notify/mail_headers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string mail_date(const plat::LocalTime& at, std::int32_t offset) {
    FixedText<kMailDateCap> out;
    format_mail_date(at, offset, out.out());
    return out.c_str();
}

std::string encoded(const char* text, std::size_t cap = kEncodedSubjectCap) {
    std::string buf(cap, '\0');
    encode_header_text(text, TextBuffer{buf.data(), buf.size()});
    return buf.c_str();
}

// The bytes that base64 digits stand for.
std::string base64_decode(const std::string& digits) {
    static const std::string kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned int group = 0;
    int bits = 0;
    for (const char c : digits) {
        if (c == '=') break;
        group = (group << 6) | static_cast<unsigned int>(kDigits.find(c));
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return bytes;
}

}  // namespace

TEST(MailHeaders, DateInTheFormOfMailHeaders) {
    struct Row {
        plat::LocalTime at;
        std::int32_t offset;
        const char* expected;
    } const rows[] = {
        {{2026, 12, 8, 9, 9, 38}, 0, "Tue, 08 Dec 2026 09:09:38 +0000"},
        {{2026, 3, 7, 23, 59, 57}, 60, "Sat, 07 Mar 2026 23:59:57 +0100"},
        {{2024, 2, 29, 0, 0, 0}, -300, "Thu, 29 Feb 2024 00:00:00 -0500"},
        {{2000, 1, 1, 12, 30, 5}, 330, "Sat, 01 Jan 2000 12:30:05 +0530"},
        {{2026, 7, 4, 1, 2, 3}, -570, "Sat, 04 Jul 2026 01:02:03 -0930"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(mail_date(row.at, row.offset), row.expected);
    }
}

TEST(MailHeaders, MessageIdNamesTheSendersDomainOrTheComputer) {
    const plat::LocalTime at{2026, 12, 8, 9, 9, 38};
    struct Row {
        const char* from;
        const char* computer;
        const char* expected;
    } const rows[] = {
        {"alerts@example.com", "web1", "<20261208090938.4242.7@example.com>"},
        {"Load Hawk <alerts@mail.example.org>", "web1", "<20261208090938.4242.7@mail.example.org>"},
        {"no-domain", "web1", "<20261208090938.4242.7@web1>"},
        {"a@bad domain", "Büro", "<20261208090938.4242.7@localhost>"},
        {"a@.example", "", "<20261208090938.4242.7@localhost>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        FixedText<kMessageIdCap> id;
        format_message_id(at, 4242, 7, row.from, row.computer, id.out());
        EXPECT_STREQ(id.c_str(), row.expected);
    }
}

TEST(MailHeaders, SubjectBeyondAsciiBecomesEncodedWords) {
    EXPECT_EQ(encoded("2026-12-08 09:09:38 web1 CPU now 97.3% >= 90%"),
              "2026-12-08 09:09:38 web1 CPU now 97.3% >= 90%");
    EXPECT_EQ(encoded("B\xc3\xbcro-Server"), "=?UTF-8?B?QsO8cm8tU2VydmVy?=");
    EXPECT_EQ(encoded("tab\there"), "=?UTF-8?B?dGFiCWhlcmU=?=");
    EXPECT_EQ(encoded(nullptr), "");

    // a long subject: words of at most 75 characters on folded lines, no
    // character split between two words, the bytes all there
    std::string subject = "2026-12-08 09:09:38 ";
    for (int i = 0; i < 30; ++i) subject += "B\xc3\xbcro-\xe2\x82\xac ";
    const std::string text = encoded(subject.c_str());
    std::string bytes;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\n ", start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        SCOPED_TRACE(word);
        ASSERT_LE(word.size(), 75u);
        ASSERT_EQ(word.rfind("=?UTF-8?B?", 0), 0u);
        ASSERT_EQ(word.substr(word.size() - 2), "?=");
        const std::string part = base64_decode(word.substr(10, word.size() - 12));
        // every word starts on a character's first byte
        EXPECT_NE(static_cast<unsigned char>(part[0]) & 0xC0, 0x80);
        bytes += part;
        start = end + 2;
    }
    EXPECT_EQ(bytes, subject);

    // a buffer too small for every word keeps whole words only
    const std::string cut = encoded(subject.c_str(), 200);
    EXPECT_EQ(cut.substr(cut.size() - 2), "?=");
    EXPECT_LT(cut.size(), 200u);
}

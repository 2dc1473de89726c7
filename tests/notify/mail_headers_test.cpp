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
        {"a@example.", "web1", "<20261208090938.4242.7@web1>"},
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

    // 45 bytes to a word, 72 characters; a character is never split: the
    // first word ends before the "\xc3\xbc" that would straddle its end
    const std::string subject = std::string(44, 'a') + "\xc3\xbc\xe2\x82\xac";
    EXPECT_EQ(encoded(subject.c_str()),
              "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE=?=\n"
              " =?UTF-8?B?w7zigqw=?=");

    // a 3- and a 4-byte character straddling the end of the first word
    EXPECT_EQ(encoded((std::string(43, 'a') + "\xe2\x82\xac").c_str()),
              "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYQ==?=\n"
              " =?UTF-8?B?4oKs?=");
    EXPECT_EQ(encoded((std::string(42, 'a') + "\xf0\x9f\x98\x80").c_str()),
              "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFh?=\n"
              " =?UTF-8?B?8J+YgA==?=");

    // a buffer too small for every word keeps whole words only
    EXPECT_EQ(encoded(subject.c_str(), 80),
              "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE=?=");
}

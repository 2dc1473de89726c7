#include "text/text_cursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// One piece of a row: a byte, a run of it, or a formatted text.
struct Piece {
    char byte;
    std::size_t run;   // 0: put `byte` once
    const char* text;  // set: add("%s", text)
};

void apply(TextCursor* cursor, const Piece& piece) {
    if (piece.text != nullptr) {
        cursor->add("%s", piece.text);
    } else if (piece.run > 0) {
        cursor->repeat(piece.byte, piece.run);
    } else {
        cursor->put(piece.byte);
    }
}

}  // namespace

TEST(TextCursor, KeepsLengthAndCutsOrRefusesAtTheEnd) {
    using Fit = TextCursor::Fit;
    struct Row {
        const char* start;  // the buffer's text; null: fresh
        Fit fit;
        Piece pieces[3];
        const char* text;  // after finish()
        std::size_t length;
        bool fits;
    } const rows[] = {
        {nullptr, Fit::cut, {{'a', 0, nullptr}, {'b', 2, nullptr}, {0, 0, "cd"}}, "abbcd", 5, true},
        {"xy", Fit::cut, {{'a', 0, nullptr}, {0, 0, "bc"}, {0, 0, ""}}, "xyabc", 5, true},
        {"stale", Fit::cut, {{0, 0, "12"}, {0, 0, ""}, {0, 0, ""}}, "stale12", 7, true},
        // capacity 8 holds seven characters
        {nullptr, Fit::cut, {{0, 0, "abcdef"}, {0, 0, "ghij"}, {'k', 0, nullptr}}, "abcdefg", 7, false},
        {"abcdef", Fit::cut, {{'-', 4, nullptr}, {0, 0, ""}, {0, 0, ""}}, "abcdef-", 7, false},
        {"abcdefghij", Fit::cut, {{0, 0, ""}, {0, 0, ""}, {0, 0, ""}}, "abcdefg", 7, true},
        // a cut never ends inside a character
        {"abcd", Fit::cut, {{0, 0, "\xf0\x9f\x98\x80"}, {0, 0, ""}, {0, 0, ""}}, "abcd", 4, false},
        {nullptr, Fit::whole, {{0, 0, "abcdefg"}, {0, 0, ""}, {0, 0, ""}}, "abcdefg", 7, true},
        {nullptr, Fit::whole, {{0, 0, "abcd"}, {0, 0, "efgh"}, {'x', 0, nullptr}}, "", 0, false},
        {nullptr, Fit::whole, {{'a', 8, nullptr}, {0, 0, ""}, {0, 0, ""}}, "", 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.start != nullptr ? row.start : "(fresh)") + " -> " + row.text);
        char buf[8];
        std::memset(buf, '#', sizeof buf);
        if (row.start != nullptr) std::strncpy(buf, row.start, sizeof buf);  // may be unterminated
        const TextBuffer out{buf, sizeof buf};
        TextCursor cursor = row.start != nullptr ? TextCursor::at_end(out, row.fit)
                                                 : TextCursor::fresh(out, row.fit);
        for (const Piece& piece : row.pieces) apply(&cursor, piece);
        EXPECT_EQ(cursor.fits(), row.fits);
        EXPECT_EQ(cursor.finish(), row.length);
        EXPECT_EQ(std::strlen(buf), row.length);
        EXPECT_STREQ(buf, row.text);
    }
}

TEST(TextCursor, NoBufferTakesNothing) {
    TextCursor cursor = TextCursor::fresh(TextBuffer{nullptr, 0});
    cursor.put('a');
    cursor.add("%d", 42);
    EXPECT_FALSE(cursor.fits());
    EXPECT_EQ(cursor.finish(), 0u);
}

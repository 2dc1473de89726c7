// Writes into a caller's buffer from a known end: a byte, a run of one byte,
// a formatted piece. The length is kept, so the text is never scanned again.
#pragma once

#include <cstddef>

#include "text/fixed_text.h"

class TextCursor {
public:
    // What a piece that does not fit does: `cut` keeps what fits of it and
    // goes on adding what fits after it; `whole` refuses it and everything
    // after it, and finish() then empties the text.
    enum class Fit { cut, whole };

    // Starts at the end of the text `out` holds (cut at out.cap - 1).
    static TextCursor at_end(TextBuffer out, Fit fit = Fit::cut);
    // Starts with `out` emptied.
    static TextCursor fresh(TextBuffer out, Fit fit = Fit::cut);

    void put(char c);
    void repeat(char c, std::size_t count);
    void add(const char* fmt, ...) LH_PRINTF(2, 3);

    std::size_t length() const { return length_; }
    // False once a piece did not fit whole.
    bool fits() const { return fits_; }
    // The length; with Fit::whole, 0 and an empty text when a piece did
    // not fit.
    std::size_t finish();

private:
    TextCursor(TextBuffer out, std::size_t length, Fit fit)
        : out_(out), length_(length), fit_(fit) {}

    TextBuffer out_;
    std::size_t length_;
    Fit fit_;
    bool fits_ = true;
};

// Percent-encodes `source` after the text `out` holds: letters, digits and
// "-._~" stay, a blank becomes "+", every other byte "%XX". Stops before a
// character (a byte that is none counts as one) whose escapes would pass
// out.cap - 2 characters, so the result holds neither a cut escape nor a
// cut character. `out` starts empty.
void url_encode(const char* source, TextBuffer out);

#include "text/edit_distance.h"

#include <cstring>

namespace {

char folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t smallest(std::size_t x, std::size_t y) { return x < y ? x : y; }

}  // namespace

std::size_t edit_distance(const char* a, const char* b) {
    const std::size_t n = smallest(std::strlen(a), kEditWordCap - 1);
    const std::size_t m = smallest(std::strlen(b), kEditWordCap - 1);
    // three rows of the table: two rows back (for a swap), the last, this one
    std::size_t rows[3][kEditWordCap];
    std::size_t* before = rows[0];
    std::size_t* last = rows[1];
    std::size_t* now = rows[2];
    for (std::size_t j = 0; j <= m; ++j) last[j] = j;
    for (std::size_t i = 1; i <= n; ++i) {
        now[0] = i;
        for (std::size_t j = 1; j <= m; ++j) {
            const bool same = folded(a[i - 1]) == folded(b[j - 1]);
            std::size_t best = smallest(last[j] + 1, now[j - 1] + 1);
            best = smallest(best, last[j - 1] + (same ? 0 : 1));
            const bool swapped = i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) &&
                                 folded(a[i - 2]) == folded(b[j - 1]);
            if (swapped) best = smallest(best, before[j - 2] + 1);
            now[j] = best;
        }
        std::size_t* spare = before;
        before = last;
        last = now;
        now = spare;
    }
    return last[m];
}

// Scrambling round trip: every secret that fits reads back unchanged, and
// unscrambling arbitrary text never overruns its output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/notify_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const std::string plain = text.c_str();  // up to the first NUL, as a settings value

    char out[256];
    const bool result = unscramble_secret(text.c_str(), TextBuffer{out, sizeof out});
    if (!result && out[0] != '\0') std::abort();

    FixedText<kScrambledCap> scrambled;
    scramble_secret(plain.c_str(), scrambled.out());
    if (std::strncmp(scrambled.c_str(), "encry(", 6) != 0) std::abort();
    if (!plain.empty() && plain.size() <= 252) {
        char back[256];
        if (!unscramble_secret(scrambled.c_str(), TextBuffer{back, sizeof back})) std::abort();
        if (plain != back) std::abort();
    }
    return 0;
}

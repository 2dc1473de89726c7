// The scrambled form of the password and the token in the settings file:
// "encry(" + hex of the secret's bytes XOR a fixed key + ")". Anyone who has
// the key can reverse it: it keeps secrets from being read at a glance, it
// is not encryption.
#include <cstring>

#include "config/notify_settings.h"

namespace {

constexpr char kScrambleKey[] = "harbor_lantern_quill_mixkey";
constexpr std::size_t kScrambleKeyLength = sizeof kScrambleKey - 1;  // 27
constexpr char kPrefix[] = "encry(";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;  // 6
constexpr std::size_t kMaxSecretBytes = 255;
constexpr std::size_t kMaxHexDigits = 511;  // 512 or more digits are refused

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

unsigned char key_byte(std::size_t i) { return static_cast<unsigned char>(kScrambleKey[i % kScrambleKeyLength]); }

}  // namespace

bool unscramble_secret(const char* text, TextBuffer out) {
    const TextBuffer result = out;
    text_copy(result, "");
    if (text == nullptr) return false;
    const std::size_t length = std::strlen(text);
    const bool scrambled = length >= 8 && std::strncmp(text, kPrefix, kPrefixLength) == 0 && text[length - 1] == ')';
    if (!scrambled) {
        text_copy(result, text);
        return true;
    }
    const std::size_t digits = length - kPrefixLength - 1;
    if (digits > kMaxHexDigits || digits % 2 != 0) return false;

    char plain[kMaxSecretBytes + 1] = {};
    const char* hex = text + kPrefixLength;
    const std::size_t bytes = digits / 2;
    for (std::size_t i = 0; i < bytes; ++i) {
        const int high = hex_value(hex[2 * i]);
        const int low = hex_value(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        plain[i] = static_cast<char>(static_cast<unsigned>(high * 16 + low) ^ key_byte(i));
    }
    // a secret byte of 0 ends the text there, as it would in the file
    text_copy_n(result, plain, bytes);
    return true;
}

void scramble_secret(const char* plain, TextBuffer out) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char hex[2 * kMaxSecretBytes + 1] = {};
    std::size_t n = 0;
    for (std::size_t i = 0; plain != nullptr && plain[i] != '\0' && i < kMaxSecretBytes; ++i) {
        const unsigned byte = static_cast<unsigned char>(plain[i]) ^ key_byte(i);
        hex[n++] = kDigits[byte >> 4];
        hex[n++] = kDigits[byte & 0x0F];
    }
    hex[n] = '\0';
    text_format(out, "encry(%s)", hex);
}

// Writing the scrambled form of a secret back into the settings file.
#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "config/notify_settings.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t kRewriteLineCap = 4096;

}  // namespace

bool rewrite_secret_line(const char* key, const char* plain) {
    std::FILE* in = std::fopen(kNotifySettingsFile, "rb");
    if (in == nullptr) return false;
    if (key == nullptr || plain == nullptr || plain[0] == '\0') {
        std::fclose(in);
        return false;
    }
    std::FILE* temp = std::fopen(kNotifyTempFile, "wb");
    if (temp == nullptr) {
        std::fclose(in);
        return false;
    }

    FixedText<kScrambledCap> scrambled;
    scramble_secret(plain, scrambled.out());

    FixedText<kRewriteLineCap> line;
    ConfigKey line_key;
    ConfigValue line_value;
    bool disabled = false;
    bool replaced = false;
    bool written = true;
    std::size_t length = 0;
    while ((length = read_config_line(in, line.out())) > 0) {
        if (!replaced && parse_config_line(line.c_str(), &line_key, &line_value, &disabled) &&
            !disabled && std::strcmp(line_key.c_str(), key) == 0) {
            written = std::fprintf(temp, "%s : \"%s\"\n", key, scrambled.c_str()) > 0 && written;
            replaced = true;
        } else {
            // byte for byte, NUL bytes included
            written = std::fwrite(line.c_str(), 1, length, temp) == length && written;
        }
    }
    const bool read_ok = std::ferror(in) == 0;
    std::fclose(in);
    written = plat::flush_to_disk(temp) && written;
    written = std::fclose(temp) == 0 && written;

    // the settings file is replaced in one step, and only by a complete copy
    if (!read_ok || !written || !plat::replace_file(kNotifyTempFile, kNotifySettingsFile)) {
        (void)plat::delete_file(kNotifyTempFile);
        return false;
    }
    return true;
}

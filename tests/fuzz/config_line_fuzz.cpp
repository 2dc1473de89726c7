// The line parser over arbitrary bytes: never reads past its input, and
// what it returns obeys the grammar's invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/config_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // an exact-size heap copy lets the address sanitizer catch any over-read
    std::string line(reinterpret_cast<const char*>(data), size);
    ConfigKey key;
    ConfigValue value;
    bool disabled = false;
    const bool result = parse_config_line(line.c_str(), &key, &value, &disabled);
    if (key.length() >= kConfigKeyCap || value.length() >= kConfigValueCap) std::abort();
    if (std::strchr(value.c_str(), '"') != nullptr) std::abort();
    if (result) {
        if (key.empty()) std::abort();
        // keys and values come out trimmed
        const char* k = key.c_str();
        if (is_config_space(k[0]) || is_config_space(k[key.length() - 1])) std::abort();
        if (!value.empty() && (is_config_space(value.c_str()[0]) || is_config_space(value.c_str()[value.length() - 1])))
            std::abort();
    }
    (void)parse_config_number(value.c_str());
    return 0;
}

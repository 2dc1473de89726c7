#include "config/config_line.h"

#include <gtest/gtest.h>

#include <string>

TEST(ConfigLine, GrammarTable) {
    struct Row {
        const char* line;
        int result;
        const char* key;
        const char* value;
        int disabled;
    };
    const Row rows[] = {
        {"hostid : \"NoHostName\"", 1, "hostid", "NoHostName", 0},
        {"   hostid   :   \"  NoHostName  \"   ", 1, "hostid", "NoHostName", 0},
        {"hostid = \"web01\"", 1, "hostid", "web01", 0},
        {"server = \"a:b\"", 0, "server = \"a", "", 0},
        {"*cpuhighnum : \"5\"", 1, "cpuhighnum", "5", 1},
        {"  *   cpuhighnum : \"5\"", 1, "cpuhighnum", "5", 1},
        {"*", 0, "", "", 1},
        {"* \t \r\n", 0, "", "", 1},
        {"**key : \"5\"", 1, "*key", "5", 1},
        {"*#key : \"5\"", 1, "#key", "5", 1},
        {"# interval : \"60\"", 0, "", "", 0},
        {"", 0, "", "", 0},
        {" \t\v\f\r\n", 0, "", "", 0},
        {"interval : 60", 0, "interval", "", 0},
        {"interval : \"60", 0, "interval", "", 0},
        {"interval \"60\"", 0, "", "", 0},
        {" : \"60\"", 0, "", "", 0},
        {"interval : \"\"", 1, "interval", "", 0},
        {"interval : \"   \"", 1, "interval", "", 0},
        {"interval : \"60\" \"90\"", 1, "interval", "60", 0},
        {"interval : \"60\" # note", 1, "interval", "60", 0},
        {"cpu high : \"1\"", 1, "cpu high", "1", 0},
        {"to : \"a@x, b@y\"\r\n", 1, "to", "a@x, b@y", 0},
        {"\xEF\xBB\xBFhostid : \"h\"", 1, "\xEF\xBB\xBFhostid", "h", 0},
        {"key\xA0 : \"\xA0v\xA0\"", 1, "key\xA0", "\xA0v\xA0", 0},
        {"a : b : \"c\"", 1, "a", "c", 0},
        {"x:\"a=b\"", 1, "x", "a=b", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ConfigKey key;
        ConfigValue value;
        bool disabled = row.disabled == 0;  // the opposite of what must come out
        EXPECT_EQ(parse_config_line(row.line, &key, &value, &disabled), row.result != 0);
        EXPECT_STREQ(key.c_str(), row.key);
        EXPECT_STREQ(value.c_str(), row.value);
        EXPECT_EQ(disabled, row.disabled != 0);
    }
}

TEST(ConfigLine, AbsentArgumentsAndOptionalFlag) {
    ConfigKey key;
    ConfigValue value;
    key.assign("stale");
    value.assign("stale");
    bool disabled = true;
    EXPECT_FALSE(parse_config_line(nullptr, &key, &value, &disabled));
    EXPECT_TRUE(key.empty());
    EXPECT_TRUE(value.empty());
    EXPECT_FALSE(disabled);
    EXPECT_FALSE(parse_config_line("a : \"b\"", nullptr, &value, nullptr));
    EXPECT_FALSE(parse_config_line("a : \"b\"", &key, nullptr, nullptr));
    EXPECT_TRUE(parse_config_line("*a : \"b\"", &key, &value, nullptr));
    EXPECT_STREQ(key.c_str(), "a");
}

TEST(ConfigLine, LongKeysAndValuesAreCutBeforeTrimming) {
    struct Row {
        std::size_t key_length;
        std::size_t value_length;
        std::size_t key_kept;
        std::size_t value_kept;
    };
    const Row rows[] = {
        {126, 1022, 126, 1022}, {127, 1023, 127, 1023}, {128, 1024, 127, 1023},
        {129, 1025, 127, 1023}, {200, 2000, 127, 1023},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key_length);
        const std::string line = std::string(row.key_length, 'k') + " : \"" + std::string(row.value_length, 'v') + "\"";
        ConfigKey key;
        ConfigValue value;
        ASSERT_EQ(parse_config_line(line.c_str(), &key, &value, nullptr), 1);
        EXPECT_EQ(key.length(), row.key_kept);
        EXPECT_EQ(value.length(), row.value_kept);
    }
    // the cut falls before trimming: blanks at the cut are trimmed away
    const std::string spaced = "k : \"" + std::string(1020, 'v') + "      x\"";
    ConfigKey key;
    ConfigValue value;
    ASSERT_EQ(parse_config_line(spaced.c_str(), &key, &value, nullptr), 1);
    EXPECT_EQ(value.length(), 1020u);
}

TEST(ConfigNumber, SignDigitsAndSaturation) {
    struct Row {
        const char* text;
        std::int32_t number;
        NumberForm form;
    };
    const NumberForm whole = NumberForm::number;
    const NumberForm beyond = NumberForm::beyond_range;
    const NumberForm other = NumberForm::not_a_number;
    const Row rows[] = {
        {"85", 85, whole},
        {"85%", 85, other},
        {"abc", 0, other},
        {"", 0, other},
        {"-5", -5, whole},
        {"+7", 7, whole},
        {"-", 0, other},
        {"- 5", 0, other},
        {"007", 7, whole},
        {"-0", 0, whole},
        {"2147483647", 2147483647, whole},
        {"2147483648", 2147483647, beyond},
        {"0002147483647", 2147483647, whole},
        {"99999999999999999999999", 2147483647, beyond},
        {"-2147483648", -2147483647 - 1, whole},
        {"-2147483649", -2147483647 - 1, beyond},
        {"-99999999999999999999999", -2147483647 - 1, beyond},
        {"1e3", 1, other},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(parse_config_number(row.text), row.number);
        EXPECT_EQ(config_number_form(row.text), row.form);
    }
    EXPECT_EQ(parse_config_number(nullptr), 0);
}

#include "control/config_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "support/test_support.h"

using ConfigCheck = InTempDir;

namespace {

const char kGoodSetup[] =
    "hostid : \"h\"\ninterval : \"60\"\ncpuhighthreshold : \"85\"\ncpuhighnum : \"5\"\n"
    "memhighthreshold : \"85\"\nmemhighnum : \"5\"\n";
const char kGoodEmail[] = "server : \"smtp://x\"\nemail : \"e\"\npassword : \"p\"\nto : \"t\"\n";

std::string check(const char* contents, int kind, int* result) {
    const char* path = kind == 0 ? kMonitorSettingsFile : kNotifySettingsFile;
    write_file(path, contents);
    ConsoleCapture console;
    *result = validate_config_file(path, kind == 0 ? SettingsFile::monitor : SettingsFile::notify) ? 1 : 0;
    return console.out();
}

}  // namespace

TEST_F(ConfigCheck, MonitorFileMessages) {
    struct Row {
        std::string file;
        int result;
        const char* output;
    };
    const std::string good = kGoodSetup;
    const Row rows[] = {
        {good, 1, ""},
        {good + "cpulowthreshold : \"5\"\ncpulownum : \"9\"\n", 1, ""},
        {good + "cpuhighrecover : \"3\"\nmemlowrecover : \"1000\"\nremind : \"1\"\n", 1, ""},
        {good + "memlowrecover : \"0\"\ncpulowrecover : \"1001\"\nremind : \"1x\"\nremind : \"10081\"\n", 0,
         "Line 7: memlowrecover must be a whole number of cycles from 1 to 1000\n"
         "Line 8: cpulowrecover must be a whole number of cycles from 1 to 1000\n"
         "Line 9: remind must be a whole number of minutes from 1 to 10080\n"
         "Line 10: remind must be a whole number of minutes from 1 to 10080\n"},
        {good + "cpulowthreshold : \"5\"\n", 0, "CPU LOW config incomplete: cpulownum missing\n"},
        {good + "cpulownum : \"5\"\n", 0, "CPU LOW config incomplete: cpulowthreshold missing\n"},
        {good + "memlowthreshold : \"5\"\n", 0, "MEM LOW config incomplete: memlownum missing\n"},
        {good + "memlownum : \"5\"\n", 0, "MEM LOW config incomplete: memlowthreshold missing\n"},
        {"hostid : \"h\"\n# c\n\ninterval = \"60\"\ncputhreshold : \"1\"\ncpu_highnum : \"1\"\n"
         "mem_threshold : \"1\"\nmem_highnum : \"1\"\n",
         0, "Line 4: '=' is not supported, use ':' instead\nMissing key: interval\n"},
        {good + "server : \"a=b\"\n", 1, ""},
        {good + "interval \"60\"\ninterval : 60\n", 0,
         "Line 7: invalid format, expected key : \"value\"\nLine 8: invalid format, expected key : \"value\"\n"},
        {"*cpuhighthreshold : \"85\"\n*junk = x\nhostid : \"h\"\ninterval : \"1\"\ncpuhighnum : \"5\"\n"
         "memthreshold : \"85\"\nmemhighnum : \"5\"\n",
         0, "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\n"},
        {"# only\n# comments\n", 0,
         "Missing key: hostid\nMissing key: interval\n"
         "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\nMissing key: cpuhighnum\n"
         "Missing key: memhighthreshold (or old mem_threshold / memthreshold)\nMissing key: memhighnum\n"},
        {good + "hostid : \"\"\ninterval : \"abc\"\n", 1, ""},
        {"  hostid : \"h\"  \r\n" + good, 1, ""},
        // a value longer than its field; a metrics file that is one of ours
        {good + "hostid : \"" + std::string(100, 'h') + "\"\n", 0, "Line 7: hostid longer than 99 characters\n"},
        {good + "hostid : \"" + std::string(99, 'h') + "\"\n", 1, ""},
        {good + "metricsfile : \"loadhawk_email.txt\"\n", 0,
         "Line 7: metricsfile loadhawk_email.txt is one of loadhawk's own files\n"},
        {good + "metricsfile : \"./loadhawk.pid\"\n", 0,
         "Line 7: metricsfile ./loadhawk.pid is one of loadhawk's own files\n"},
        {good + "metricsfile : \"metrics.txt\"\n", 0, "Line 7: metricsfile metrics.txt must end in .prom\n"},
        {good + "metricsfile : \"loadhawk.prom\"\n", 1, ""},
        {std::string(1500, 'x') + "\n" + good, 0,
         "Line 1: invalid format, expected key : \"value\"\nLine 2: invalid format, expected key : \"value\"\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        int result = -1;
        EXPECT_EQ(check(row.file.c_str(), 0, &result), row.output);
        EXPECT_EQ(result, row.result);
    }
}

TEST_F(ConfigCheck, NotifyFileMessages) {
    struct Row {
        std::string file;
        int result;
        const char* output;
    };
    const std::string good = kGoodEmail;
    const Row rows[] = {
        {good, 1, ""},
        {good + "token : \"1:a\"\nchat_id : \"2\"\nfrom : \"f\"\niamalive : \"i\"\n"
                "telegram_api : \"http://127.0.0.1:1\"\nsendtimeout : \"9\"\nsmtptls : \"try\"\n", 1, ""},
        {good + "token : \"1:a\"\n", 0, "Telegram config incomplete: chat_id missing\n"},
        {good + "chat_id : \"2\"\n", 0, "Telegram config incomplete: token missing\n"},
        {"", 0, "Missing key: server\nMissing key: email\nMissing key: password\nMissing key: to\n"},
        {"*server : \"s\"\nemail : \"e\"\npassword : \"p\"\nto : \"t\"\n", 0, "Missing key: server\n"},
        {"hostid : \"h\"\n" + good, 1, ""},
        // values that cannot reach curl safely fail the check on their own line
        {"server : \"smtp://h;touch PWNED\"\nemail : \"e\"\npassword : \"p\"\nto : \"t\"\n"
         "server : \"file:///etc/passwd\"\n", 0,
         "Line 1: server must be smtp://host[:port] or smtps://host[:port] and nothing else\n"
         "Line 5: server must be smtp://host[:port] or smtps://host[:port] and nothing else\n"},
        {good + "smtptls : \"always\"\n", 0, "Line 5: smtptls must be \"try\" or left out\n"},
        {good + "telegram_api : \"-o/tmp/x\"\n", 0, "Line 5: telegram_api must begin with http:// or https://\n"},
        // the password reaches curl in its configuration file: any bytes pass
        {good + "*server : \"a;b\"\npassword : \"p\t$(touch PWNED)w\"\nfrom : \"`id`\"\n", 1, ""},
        {good + "telegram_api : \"\"\n", 1, ""},
        // a value longer than its field, a secret counted in plain
        {good + "password : \"" + std::string(201, 'p') + "\"\n", 0, "Line 5: password longer than 127 characters\n"},
        {good + "password : \"encry(" + std::string(256, '0') + ")\"\n", 0,
         "Line 5: password longer than 127 characters\n"},
        {good + "password : \"encry(" + std::string(254, '0') + ")\"\n", 1, ""},
        {good + "to : \"" + std::string(800, 't') + "\"\n", 0, "Line 5: to longer than 799 characters\n"},
        {good + "webhookformat : \"" + std::string(20, 'j') + "\"\n", 0,
         "Line 5: webhookformat longer than 15 characters\n"},
        // a control character in an address, on every platform
        {good + "from : \"a@b.example\rBcc: x@evil.example\"\n", 0,
         "Line 5: from holds a control character, which would start a line of its own in the message\n"},
        {good + "iamalive : \"a@b,\rc@d\"\n", 0,
         "Line 5: iamalive holds a control character, which would start a line of its own in the message\n"},
        {good + "webhook : \"https://hooks.example.com/T/B/x\"\nwebhookformat : \"Teams\"\n"
                "webhook : \"http://127.0.0.1:8080/x\"\n", 1, ""},
        // a scrambled address is checked as the plain one it stands for
        {good + "webhook : \"encry(00150612555D70044F0B0C041F1E33145A11)\"\n", 0,
         "Line 5: webhook must be https:// for a host that is not this machine (http:// only to localhost)\n"},
        {good + "webhook : \"hooks.example.com/x\"\nwebhookformat : \"xml\"\n", 0,
         "Line 5: webhook must be https:// and a host, an optional :port and a path\n"
         "Line 6: webhookformat must be one of slack, discord, teams, ntfy, json\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        int result = -1;
        EXPECT_EQ(check(row.file.c_str(), 1, &result), row.output);
        EXPECT_EQ(result, row.result);
    }
}

TEST_F(ConfigCheck, ReportAndExitCode) {
    const std::string header =
        "loadhawk from the loadhawk authors\n\n"
        "Important: use ':' as separator. '=' is not supported.\n"
        "Leading '*' means disable that config item.\n\n";
    {
        write_file(kMonitorSettingsFile, kGoodSetup);
        write_file(kNotifySettingsFile, kGoodEmail);
        ConsoleCapture console;
        EXPECT_EQ(run_config_check(), 0);
        EXPECT_EQ(console.out(), header +
                                     "Checking loadhawk_setup.txt ...\nOK\n\n"
                                     "Checking loadhawk_email.txt ...\nOK\n\n"
                                     "Result: OK\n");
    }
    {
        std::remove(kMonitorSettingsFile);
        ConsoleCapture console;
        EXPECT_EQ(run_config_check(), 1);
        EXPECT_EQ(console.out(), header +
                                     "Checking loadhawk_setup.txt ...\nFile not found: loadhawk_setup.txt\nFAILED\n\n"
                                     "Checking loadhawk_email.txt ...\nOK\n\n"
                                     "Result: FAILED\n");
    }
    {
        // no curl to send with: said, and the settings still pass
        const std::string saved_path = std::getenv("PATH");
        setenv("PATH", "bin:.", 1);  // relative folders only
        write_file("curl", "#!/bin/sh\n");
        chmod("curl", 0755);
        write_file(kMonitorSettingsFile, kGoodSetup);
        ConsoleCapture console;
        EXPECT_EQ(run_config_check(), 0);
        setenv("PATH", saved_path.c_str(), 1);
        EXPECT_EQ(console.out(), header +
                                     "Checking loadhawk_setup.txt ...\nOK\n\n"
                                     "Checking loadhawk_email.txt ...\nOK\n\n"
                                     "Warning: curl not found in an absolute PATH folder: notices cannot be sent\n\n"
                                     "Result: OK\n");
    }
    // the check never rewrites a secret
    EXPECT_EQ(read_file(kNotifySettingsFile), kGoodEmail);
}

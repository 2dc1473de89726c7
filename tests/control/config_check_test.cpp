#include "control/config_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "support/test_support.h"
#include "text/fixed_text.h"

using ConfigCheck = InTempDir;

namespace {

const char kGoodSetup[] =
    "hostid : \"h\"\ninterval : \"60\"\ncpuhighthreshold : \"85\"\ncpuhighnum : \"5\"\n"
    "memhighthreshold : \"85\"\nmemhighnum : \"5\"\n*cpulowthreshold : \"10\"\n*memlownum : \"50\"\n";
const char kLowMonitorsOn[] =
    "Warning: CPU LOW monitor is on (10%, 50 cycles) only because its lines are missing; "
    "add *cpulowthreshold : \"10\" to switch it off\n"
    "Warning: MEM LOW monitor is on (10%, 50 cycles) only because its lines are missing; "
    "add *memlowthreshold : \"10\" to switch it off\n";
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
        std::string output;
    };
    const std::string good = kGoodSetup;
    const std::string low_on = kLowMonitorsOn;
    const Row rows[] = {
        {good, 1, ""},
        {good + "cpulowthreshold : \"5\"\ncpulownum : \"9\"\n", 1, ""},
        {good + "cpuhighthreshold : \"90%\"\n", 1, ""},  // reads as 90
        {good + "cpuhighrecover : \"3\"\nmemlowrecover : \"1000\"\nremind : \"1\"\n", 1, ""},
        {good + "memlowrecover : \"0\"\ncpulowrecover : \"1001\"\nremind : \"1x\"\nremind : \"10081\"\n", 0,
         "Line 9: memlowrecover must be a whole number of cycles from 1 to 1000\n"
         "Line 10: cpulowrecover must be a whole number of cycles from 1 to 1000\n"
         "Line 11: remind must be a whole number of minutes from 1 to 10080\n"
         "Line 12: remind must be a whole number of minutes from 1 to 10080\n"},
        {good + "cpulowthreshold : \"5\"\n", 0, "CPU LOW config incomplete: cpulownum missing\n"},
        {good + "cpulownum : \"5\"\n", 0, "CPU LOW config incomplete: cpulowthreshold missing\n"},
        {good + "memlowthreshold : \"5\"\n", 0, "MEM LOW config incomplete: memlownum missing\n"},
        {good + "memlownum : \"5\"\n", 0, "MEM LOW config incomplete: memlowthreshold missing\n"},
        {"hostid : \"h\"\n# c\n\ninterval = \"60\"\ncputhreshold : \"1\"\ncpu_highnum : \"1\"\n"
         "mem_threshold : \"1\"\nmem_highnum : \"1\"\n",
         0, "Line 4: '=' is not supported, use ':' instead\nMissing key: interval\n" + low_on},
        {good + "hostid : \"a=b\"\n", 1, ""},
        {good + "interval \"60\"\ninterval : 60\n", 0,
         "Line 9: invalid format, expected key : \"value\"\nLine 10: invalid format, expected key : \"value\"\n"},
        {"*cpuhighthreshold : \"85\"\n*junk = x\nhostid : \"h\"\ninterval : \"1\"\ncpuhighnum : \"5\"\n"
         "memthreshold : \"85\"\nmemhighnum : \"5\"\n",
         0, "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\n" + low_on},
        {"# only\n# comments\n", 0,
         "Missing key: hostid\nMissing key: interval\n"
         "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\nMissing key: cpuhighnum\n"
         "Missing key: memhighthreshold (or old mem_threshold / memthreshold)\nMissing key: memhighnum\n" +
             low_on},
        // numbers the monitor cannot use as written: what it uses instead
        {good + "hostid : \"\"\ninterval : \"abc\"\n", 0,
         "Line 10: interval \"abc\" is not a number; the monitor uses 60\n"},
        {good + "interval : \"0\"\ninterval : \"5x\"\ncpuhighnum : \"abc\"\n", 0,
         "Line 9: interval \"0\" is not a positive number; the monitor uses 60\n"
         "Line 10: interval \"5x\" is not a number; the monitor uses 5\n"
         "Line 11: cpuhighnum \"abc\" is not a number; the monitor uses 5\n"},
        {good + "memhighthreshold : \"-5\"\ncpuhighthreshold : \"0\"\nmemlownum : \"99999999999\"\n"
                "memlowthreshold : \"-1\"\n", 0,
         "Line 9: memhighthreshold \"-5\" is negative; the monitor uses 85\n"
         "Line 10: cpuhighthreshold \"0\" is not a positive number; the monitor uses 85\n"
         "Line 11: memlownum \"99999999999\" is out of range; the monitor uses 2147483647\n"
         "Line 12: memlowthreshold \"-1\" is negative; the monitor uses 10\n"},
        // a percentage beyond what a reading reaches
        {good + "cpuhighthreshold : \"190\"\n", 0,
         "Line 9: cpuhighthreshold \"190\" is above 100%; CPU HIGH can never fire\n"},
        {good + "cpulowthreshold : \"100\"\ncpulownum : \"3\"\n", 1,
         "Warning: line 9: cpulowthreshold \"100\" is 100% or more; CPU LOW fires whatever the load\n"},
        {good + "memhighthreshold : \"100\"\ncpulowthreshold : \"0\"\ncpulownum : \"+3\"\ninterval : \"007\"\n",
         1, ""},
        // unknown keys, with the nearest known one
        {good + "cpuhighthreshhold : \"90\"\nIntervall : \"5\"\nmemhighnum_x : \"5\"\nfoo : \"1\"\n", 0,
         "Line 9: unknown key cpuhighthreshhold is ignored; did you mean cpuhighthreshold?\n"
         "Line 10: unknown key Intervall is ignored; did you mean interval?\n"
         "Line 11: unknown key memhighnum_x is ignored; did you mean memhighnum?\n"
         "Line 12: unknown key foo is ignored\n"},
        // a file saved with a byte order mark; bytes the console may not show
        {"\xef\xbb\xbf" + good + "cpu\x1b[2Jnum : \"x\x1b[2J\"\ninterval : \"6\x1b[2J\"\n", 0,
         "Line 1: hostid begins with a byte order mark and is ignored; save the file as UTF-8 without BOM\n"
         "Line 9: unknown key cpu?[2Jnum is ignored\n"
         "Line 10: interval \"6?[2J\" is not a number; the monitor uses 6\n"
         "Missing key: hostid\n"},
        {good + "server : \"smtp://x\"\n", 0, "Line 9: server is ignored here: it belongs in loadhawk_email.txt\n"},
        // the example's label: a warning only
        {good + "hostid : \"my-server\"\n", 1,
         "Warning: line 9: hostid \"my-server\" is left from the example file; put your own\n"},
        // a low monitor on only because no line of it is there, even a switched-off one
        {"hostid : \"h\"\ninterval : \"60\"\ncpuhighthreshold : \"85\"\ncpuhighnum : \"5\"\n"
         "memhighthreshold : \"85\"\nmemhighnum : \"5\"\n*cpulownum : \"50\"\n",
         1, low_on.substr(low_on.find("Warning: MEM"))},
        {"  hostid : \"h\"  \r\n" + good, 1, ""},
        // a value longer than its field; a metrics file that is one of ours
        {good + "hostid : \"" + std::string(100, 'h') + "\"\n", 0, "Line 9: hostid longer than 99 characters\n"},
        {good + "hostid : \"" + std::string(99, 'h') + "\"\n", 1, ""},
        {good + "metricsfile : \"loadhawk_email.txt\"\n", 0,
         "Line 9: metricsfile loadhawk_email.txt is one of loadhawk's own files\n"},
        {good + "metricsfile : \"./loadhawk.pid\"\n", 0,
         "Line 9: metricsfile ./loadhawk.pid is one of loadhawk's own files\n"},
        {good + "metricsfile : \"metrics.txt\"\n", 0, "Line 9: metricsfile metrics.txt must end in .prom\n"},
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
        std::string output;
    };
    const std::string good = kGoodEmail;
    FixedText<kScrambledCap> scrambled;
    scramble_secret("change-me", scrambled.out());
    const Row rows[] = {
        {good, 1, ""},
        {good + "token : \"1:a\"\nchat_id : \"2\"\nfrom : \"f\"\niamalive : \"i\"\n"
                "telegram_api : \"http://127.0.0.1:1\"\nsendtimeout : \"9\"\nsmtptls : \"try\"\n", 1, ""},
        {good + "token : \"1:a\"\n", 0, "Telegram config incomplete: chat_id missing\n"},
        {good + "chat_id : \"2\"\n", 0, "Telegram config incomplete: token missing\n"},
        {"", 0, "Missing key: server\nMissing key: email\nMissing key: password\nMissing key: to\n"},
        {"*server : \"s\"\nemail : \"e\"\npassword : \"p\"\nto : \"t\"\n", 0, "Missing key: server\n"},
        {"hostid : \"h\"\n" + good, 0, "Line 1: hostid is ignored here: it belongs in loadhawk_setup.txt\n"},
        {good + "sendtimeout : \"0\"\nsendtimeout : \"2m\"\nchatid : \"1\"\n", 0,
         "Line 5: sendtimeout \"0\" is not a positive number; the monitor uses 120\n"
         "Line 6: sendtimeout \"2m\" is not a number; the monitor uses 2\n"
         "Line 7: unknown key chatid is ignored; did you mean chat_id?\n"},
        // values left from the example file: warnings, a scrambled secret read in plain
        {"server : \"smtp://mail.example.invalid:587\"\nemail : \"e\"\npassword : \"" + std::string(scrambled.c_str()) +
             "\"\nto : \"ops@example.invalid, me@x\"\ntoken : \"123456789:replace-with-your-bot-token\"\n"
             "chat_id : \"-1001234567890\"\npassword : \"change-me-too\"\n",
         1,
         "Warning: line 1: server \"smtp://mail.example.invalid:587\" is left from the example file; put your own\n"
         "Warning: line 3: password \"change-me\" is left from the example file; put your own\n"
         "Warning: line 4: to \"ops@example.invalid, me@x\" is left from the example file; put your own\n"
         "Warning: line 5: token \"123456789:replace-with-your-bot-token\" is left from the example file; "
         "put your own\n"
         "Warning: line 6: chat_id \"-1001234567890\" is left from the example file; put your own\n"},
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
    const std::string files =
        "Checking the files loadhawk writes ...\nloadhawk_log.txt can be written\n"
        "loadhawk.pid can be written\nloadhawk_run.lock can be written\nOK\n\n";
    {
        write_file(kMonitorSettingsFile, kGoodSetup);
        write_file(kNotifySettingsFile, kGoodEmail);
        ConsoleCapture console;
        EXPECT_EQ(run_config_check(), 0);
        EXPECT_EQ(console.out(), header +
                                     "Checking loadhawk_setup.txt ...\nOK\n\n"
                                     "Checking loadhawk_email.txt ...\nOK\n\n" + files +
                                     "Result: OK\n");
    }
    {
        std::remove(kMonitorSettingsFile);
        ConsoleCapture console;
        EXPECT_EQ(run_config_check(), 1);
        EXPECT_EQ(console.out(), header +
                                     "Checking loadhawk_setup.txt ...\nFile not found: loadhawk_setup.txt\nFAILED\n\n"
                                     "Checking loadhawk_email.txt ...\nOK\n\n" + files +
                                     "Result: FAILED\n");
    }
    {
        // a file the monitor could not open fails the check; nothing is made
        write_file(kMonitorSettingsFile, kGoodSetup);
        ASSERT_EQ(mkdir("loadhawk.pid", 0700), 0);
        ConsoleCapture console;
        EXPECT_EQ(run_config_check(), 1);
        EXPECT_NE(console.out().find("Checking the files loadhawk writes ...\nloadhawk_log.txt can be written\n"
                                     "loadhawk.pid is not a regular file: not used\n"
                                     "loadhawk_run.lock can be written\nFAILED\n\nResult: FAILED\n"),
                  std::string::npos)
            << console.out();
    }
    EXPECT_FALSE(file_exists("loadhawk_log.txt"));
    EXPECT_FALSE(file_exists("loadhawk_run.lock"));
    {
        ASSERT_EQ(rmdir("loadhawk.pid"), 0);
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
                                     "Checking loadhawk_email.txt ...\nOK\n\n" + files +
                                     "Warning: curl not found in an absolute PATH folder: notices cannot be sent\n\n"
                                     "Result: OK\n");
    }
    // the check never rewrites a secret
    EXPECT_EQ(read_file(kNotifySettingsFile), kGoodEmail);
}

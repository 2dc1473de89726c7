// One send through curl, whatever the channel: the lock that makes the
// working-directory files ours, the curl configuration file that carries
// the secrets (so that no secret stands on any command line), an optional
// file the command reads (the mail message), the run, the clean-up and the
// outcome line. The channels only build their texts and requests.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/locks.h"

// curl reads the SMTP login ("user") and the Bot API address with the
// token ("url") from this file, named on its command line by -K.
constexpr const char* kCurlConfigFile = "cpucurlconf.txt";
// The mail message that curl uploads (-T).
constexpr const char* kMailMessageFile = "cpumailtext.txt";
// The lock file that keeps two copies of the program in one directory from
// using each other's message or configuration file.
constexpr const char* kSendLockFile = "loadhawk_mail.lock";

// How long a send waits for another copy of the program in this directory
// to finish its own: its command is bounded by the send timeout.
constexpr std::uint32_t kSendLockGraceSeconds = 30;

// Why a send did not run, after the key of the "not sent" line.
constexpr const char* kSendLockBusy = "is held by another loadhawk in this directory";
constexpr const char* kNotWrittenCompletely = "could not be written completely";

// Holds the send lock: the in-process lock and the lock file of the working
// directory together, from before the first file of a send is written until
// the last is deleted. Waits at most `wait_seconds` for another copy.
class SendLock {
public:
    explicit SendLock(std::uint32_t wait_seconds);
    ~SendLock();
    SendLock(const SendLock&) = delete;
    SendLock& operator=(const SendLock&) = delete;

    // False when another copy of the program kept the lock for the whole
    // wait. A lock file that cannot be made (a directory we may not write)
    // cannot hold our files either: the send goes on and fails there.
    bool usable() const { return result_ != plat::FileLockResult::busy; }

private:
    plat::LockGuard inside_;
    plat::FileLock file_;
    plat::FileLockResult result_;
};

// A file the command reads besides the configuration file: written under
// the lock before it, removed after the run.
struct SendFile {
    const char* path;  // null: none
    const char* what;  // its name in the "not sent" line, "message file"
    bool (*write)(const char* path, const void* context);
    const void* context;
};

// One send of a channel.
struct CurlRequest {
    const char* channel;        // "Email": first word of its console notes and log lines
    const char* command;        // the whole curl command line
    const char* config_option;  // "user", "url"
    const char* config_value;   // the secret curl reads from its configuration file
    SendFile file;
    const char* sent_to;        // "a@x, b@y", "chat_id 42": after "<channel> sent to "
    std::uint32_t timeout_seconds;
};

// "<channel> not sent: <key> <reason>" as a console note and a log line.
void report_not_sent(const char* channel, const char* key, const char* reason);

// Under the send lock writes the file and the configuration file, runs the
// command ("<channel> command rc=%d" as a note) and removes both; then logs
// "<channel> sent to <sent_to>" or why not. True when curl ended with 0.
bool send_with_curl(const CurlRequest& request);

// Closes a transient file written through `file` (may be null: it could not
// be created). True when every write and the close succeeded; otherwise the
// file is removed and the result is false.
bool finish_transient_file(std::FILE* file, const char* path);

// Writes `option = "value"` and a line feed into a new transient file
// `path`, `value` quoted by curl's config-file rules: `\` and `"` get a
// backslash, tab, line feed, carriage return and vertical tab are written
// \t \n \r \v, every other byte stands as it is. False, with no file left,
// when it cannot be written completely.
bool write_curl_config(const char* path, const char* option, const char* value);

// Removes a message or configuration file that a crashed copy left behind,
// unless another copy in this directory holds the send lock for all of
// `lock_wait_ms`.
void remove_leftover_send_files(std::uint32_t lock_wait_ms = 0);

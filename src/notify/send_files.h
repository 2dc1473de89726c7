// The working-directory files of one send, and the lock that makes them
// ours: the mail message (email.h) and the curl configuration file that
// carries the secrets, so that no secret stands on any command line.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/locks.h"

// curl reads the SMTP login ("user") and the Bot API address with the
// token ("url") from this file, named on its command line by -K.
constexpr const char* kCurlConfigFile = "cpucurlconf.txt";
// The lock file that keeps two copies of the program in one directory from
// using each other's message or configuration file.
constexpr const char* kMailLockFile = "loadhawk_mail.lock";

// How long a send waits for another copy of the program in this directory
// to finish its own: its command is bounded by the send timeout.
constexpr std::uint32_t kMailLockGraceSeconds = 30;

// Why a send did not run, after the key of the "not sent" line.
constexpr const char* kMailLockBusy = "is held by another loadhawk in this directory";
constexpr const char* kNotWrittenCompletely = "could not be written completely";

// Holds the mail lock: the in-process lock and the lock file of the working
// directory together, from before the first file of a send is written until
// the last is deleted. Waits at most `wait_seconds` for another copy.
class MailLockHold {
public:
    explicit MailLockHold(std::uint32_t wait_seconds);
    ~MailLockHold();
    MailLockHold(const MailLockHold&) = delete;
    MailLockHold& operator=(const MailLockHold&) = delete;

    // False when another copy of the program kept the lock for the whole
    // wait. A lock file that cannot be made (a directory we may not write)
    // cannot hold our files either: the send goes on and fails there.
    bool usable() const { return result_ != plat::FileLockResult::busy; }

private:
    plat::LockGuard inside_;
    plat::FileLock file_;
    plat::FileLockResult result_;
};

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
// unless another copy in this directory holds the mail lock for all of
// `lock_wait_ms`.
void remove_leftover_send_files(std::uint32_t lock_wait_ms = 0);

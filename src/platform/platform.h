// What loadhawk needs of an operating system, and nothing more.
// Each backend folder (posix/, win32/) defines every function below; the
// build compiles exactly one of them. Nothing outside src/platform/ includes
// an operating-system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "text/fixed_text.h"

namespace plat {

// ---------------------------------------------------------------- time

struct LocalTime {
    int year;    // four digits
    int month;   // 1..12
    int day;     // day of the month, 1..31
    int hour;
    int minute;
    int second;
};

// The current local time. Always fills *out (all zero if the clock cannot be read).
void local_time(LocalTime* out);

// Minutes east of UTC of the local time now (60 for CET, -300 for EST,
// daylight saving included); 0 when the zone cannot be read.
std::int32_t local_utc_offset_minutes();

void sleep_ms(std::uint32_t milliseconds);

// Seconds since 1970-01-01 00:00:00 UTC (0 if the clock cannot be read).
std::int64_t unix_time();

// ---------------------------------------------------------------- system figures

// Cumulative system times in 100-ns units; kernel time includes idle time.
struct SystemTimes {
    std::uint64_t idle;
    std::uint64_t kernel;
    std::uint64_t user;
};
[[nodiscard]] bool system_times(SystemTimes* out);

struct MemoryStatus {
    std::uint32_t load_percent;  // physical-memory load, 0..100
    std::uint64_t total_bytes;
    std::uint64_t avail_bytes;
};
[[nodiscard]] bool memory_status(MemoryStatus* out);

// ---------------------------------------------------------------- process walk

constexpr std::size_t kImageNameCap = 260;

// What a walk reads of every process besides its pid and image name.
enum class ProcessMeasure { working_set, cpu_time };

struct ProcessEntry {
    std::uint32_t pid;
    char name[kImageNameCap];  // image name without a path, UTF-8, cut to 259 bytes
    std::uint64_t working_set;  // bytes; filled by a working_set walk
    std::uint64_t cpu_time;     // kernel + user time in 100-ns units; filled by a cpu_time walk
};

// Room inside a walk for a backend's own state, so a walk needs no heap:
// the POSIX backend keeps its /proc directory descriptor and a block of
// directory entries here; the Win32 backend its place in the process list.
constexpr std::size_t kProcessWalkStateCap = 8192;

// One walk over a fresh list of all processes (the system's process
// information, a /proc directory stream). Open it with process_walk_begin,
// read with process_walk_next until it returns false, close it with
// process_walk_end. A walk that failed to begin yields no process and may
// still be ended.
struct ProcessWalk {
    void* handle;
    ProcessMeasure measure;
    bool started;
    // processes listed whose measure this walk was refused so far (another
    // account's, a protected one); a process that ended meanwhile is no
    // refusal
    std::uint32_t unreadable;
    alignas(16) unsigned char state[kProcessWalkStateCap];
};

// What every backend's process_walk_begin does first: a walk with nothing
// opened, nothing read and nothing refused yet.
inline void reset_process_walk(ProcessWalk* walk, ProcessMeasure measure) {
    walk->handle = nullptr;
    walk->measure = measure;
    walk->started = false;
    walk->unreadable = 0;
}
// What every backend's process_walk_next does first: an entry of pid 0,
// empty name and zero measures, which is what the caller sees at the end.
inline void clear_process_entry(ProcessEntry* out) {
    out->pid = 0;
    out->name[0] = '\0';
    out->working_set = 0;
    out->cpu_time = 0;
}

[[nodiscard]] bool process_walk_begin(ProcessWalk* walk, ProcessMeasure measure);
// The next process, in list order, whose measure could be read; names are
// UTF-8. A process that cannot be read is skipped (and counted in
// `unreadable` when it was refused), asking no more of any process than
// its measure needs. Returns false after the last one.
[[nodiscard]] bool process_walk_next(ProcessWalk* walk, ProcessEntry* out);
void process_walk_end(ProcessWalk* walk);

// ---------------------------------------------------------------- processes

std::uint32_t own_pid();

// The name of the system this build runs on: "Windows", "Linux".
const char* system_name();

// Full path of this program's executable file.
[[nodiscard]] bool own_path(TextBuffer out);

// What a pid names, as far as this process may see it.
enum class ProcessCheck {
    gone,           // no such process, or one that has ended
    other_program,  // runs another program file (a pid reused since)
    elsewhere,      // runs this program file, in another working directory
    same_program,   // runs this program file (POSIX: in our working directory)
    denied,         // alive, but the system does not let us look at it
};
// The program file is compared by identity, not by name (Linux: the file
// /proc/PID/exe names; Windows: the full image path), so a renamed or
// linked copy of the binary is still this program. Where the working
// directory of another process cannot be read (Windows), a live process of
// this program file is `same_program`: the run lock decides.
[[nodiscard]] ProcessCheck check_process(std::uint32_t pid);

// Terminates the process. False when it cannot be opened for termination
// (for example another user's process).
[[nodiscard]] bool terminate_process(std::uint32_t pid);

// Starts a hidden, detached copy of this program with the argument "-s",
// in the current working directory, surviving the console that started it
// (on Windows outside the caller's job where that job allows it). *pid is
// the copy's pid (0 when it did not start).
[[nodiscard]] bool start_detached_copy(std::uint32_t* pid);

// ---------------------------------------------------------------- termination requests

// Handles termination requests from now on (POSIX: SIGTERM, SIGINT and
// SIGHUP; Windows: the console's Ctrl-C, Ctrl-Break, close, log-off and
// shut-down events). A request ends the running notification command and
// everything it started at once, cuts a sleep short, and keeps any new
// command from starting; `stop` then runs on the program's own thread at the
// next wait (a sleep, or the end of a command), with the signal number (or
// the console event), and must not return.
using StopAction = void (*)(int request);
void handle_termination_requests(StopAction stop);

// The pending termination request (a signal number or a console event), or
// -1 when there is none.
int termination_request();

// What the number of a request is: "signal" (POSIX), "console event" (Windows).
const char* termination_request_kind();

// The command interpreter that runs notification commands.
enum class Interpreter { cmd, posix_sh };
Interpreter interpreter();

// The interpreter invocation placed before a command ("cmd.exe /D /V:OFF
// /S /C ", "/bin/sh -c "); its length counts toward the command-line capacity.
const char* interpreter_prefix();

// The null device as the interpreter names it ("nul", "/dev/null").
const char* null_device();

// Runs `command` through the interpreter: hidden, no handles inherited, in the
// current directory and environment, nothing it writes reaching our console.
// The interpreter is started by its full path; on Windows the program the
// command starts with is looked up along PATH and never in the current
// directory (cmd.exe would look there first), and cmd.exe reads at most
// 8191 characters of the command.
// Waits at most `timeout_seconds` (0 = no limit); on overrun the interpreter
// and everything it started are ended and the result is 124.
// Result: the exit code; -1 when the interpreter cannot be started; 1 when
// the exit code cannot be read.
int run_hidden_command(const char* command, std::uint32_t timeout_seconds);

// ---------------------------------------------------------------- files and names

// Why a kept file was not opened.
enum class FileRefusal {
    none,
    missing,       // no such file (reading)
    not_regular,   // a directory, FIFO, device or socket: never opened
    foreign_link,  // a link that neither root nor we own: never followed
    failed,        // any other failure (permissions, a read-only directory)
};
enum class KeptFileMode {
    read,     // binary reading
    append,   // text appending, created when missing
    rewrite,  // text writing from the start, created when missing
};
// Opens a file that loadhawk keeps (a settings file, the log, the pid file)
// without blocking: a link is followed only when root or this process's
// user owns it, and anything that is not a regular file is refused. Null,
// with the reason in *why, when it is not opened.
[[nodiscard]] std::FILE* open_kept_file(const char* path, KeptFileMode mode, FileRefusal* why);

// The file a kept name stands for: the target of a link that root or we
// own (so a settings file kept elsewhere is rewritten where it lies), the
// name itself otherwise. False when a link cannot be resolved or is not
// ours to follow.
[[nodiscard]] bool kept_file_target(const char* path, TextBuffer out);

[[nodiscard]] bool delete_file(const char* path);

// What stops this process from writing the kept file `path`, and the fix,
// for a message after the file's name: on POSIX "owner root, loadhawk runs
// as nobody; fix: chown nobody: /abs/path" (the folder's owner and the
// folder when the file is missing); on Windows the account and the file.
void write_access_advice(const char* path, TextBuffer out);

// Makes written data of `file` durable (fflush, then fsync / _commit).
[[nodiscard]] bool flush_to_disk(std::FILE* file);

// Replaces `target` by `source` in one step: `target` is always either the
// old or the new file, never missing or partial. The new file keeps the
// permissions of the old one.
enum class ReplaceResult {
    replaced,    // `target` is the new file; `source` is gone
    kept,        // `target` is the old file, whole; `source` is still there
    source_kept, // `target` could not be restored or replaced: `source` is
                 // the only complete copy and must not be deleted
};
[[nodiscard]] ReplaceResult replace_file(const char* source, const char* target);

// The path of the file `name` in the directory of `file` (`name` alone when
// `file` has no directory part).
void path_beside(const char* file, const char* name, TextBuffer out);

// ---------------------------------------------------------------- transient files

// Files that loadhawk creates and deletes again (the mail message, the
// temporary copy of a settings file, the curl configuration, the metrics
// copy) are made only here: created exclusively, owner-only from the first
// byte (POSIX mode 0600; Windows: the folder's inherited ACL), never through
// a link, and recorded until removed or released, so that a termination
// request can remove every one of them. Paths are UTF-8.
constexpr std::size_t kTransientFilesMax = 4;
constexpr std::size_t kTransientPathCap = 1024;

// Opens a new file `path` for writing in binary mode. Whatever stands at
// that name already (a leftover of a crash, a planted link or FIFO) is
// removed first, never opened: the caller holds the lock that makes the
// name its own. Null when the file cannot be created, the path is too long
// or the registry is full.
[[nodiscard]] std::FILE* create_transient_file(const char* path);

// Who may read a transient file once it is in place.
enum class FileAccess {
    owner_only,       // POSIX mode 0600
    readable_by_all,  // POSIX mode 0644, whatever the umask: figures, never secrets
};

// Writes `size` bytes of `data` to a new transient file `path`, created as
// create_transient_file does, and closes it: no C library stream, so no
// heap. On Windows the file takes the folder's inherited ACL for either
// access. False (and the file removed) when it cannot be created or
// written whole.
[[nodiscard]] bool write_transient_file(const char* path, const char* data, std::size_t size,
                                        FileAccess access);

// Renames `source` onto `target` in one step, replacing `target`: a reader
// sees the old or the new file. Unlike replace_file it keeps the new
// file's own permissions and does not wait for the disk.
[[nodiscard]] bool rename_file(const char* source, const char* target);

// Deletes `path` and forgets it.
void remove_transient_file(const char* path);

// Forgets `path` without deleting it (it was renamed into place).
void release_transient_file(const char* path);

// Deletes every recorded transient file. Safe to call from a signal handler
// on POSIX (it only calls unlink).
void remove_transient_files();

// The computer's name; false (and empty text) when it cannot be read.
[[nodiscard]] bool computer_name(TextBuffer out);

// ---------------------------------------------------------------- console

// Lets the console show the UTF-8 text the program writes: on Windows the
// console's output code page becomes UTF-8 until the program exits; other
// terminals take UTF-8 as it comes.
void prepare_console();

// ---------------------------------------------------------------- locks

// A mutual-exclusion lock within this process (critical section, mutex).
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void enter();
    void leave();

private:
    alignas(16) unsigned char storage_[64];
};

// An exclusive lock that every copy of the program working in the same
// directory sees: a lock on the file `path` (created when missing and left
// in place), taken with flock / LockFileEx. It ends with file_lock_release,
// or with the process.
struct FileLock {
    std::intptr_t handle;  // descriptor or HANDLE; -1 when not held
};
enum class FileLockResult {
    held,         // the lock is ours
    busy,         // another holder kept it for the whole wait
    unavailable,  // the lock file cannot be opened or locked
};
// Waits at most `timeout_ms` for the lock. *out is not held unless the
// result is `held`. The lock file is a kept file (see open_kept_file).
[[nodiscard]] FileLockResult file_lock_acquire(const char* path, std::uint32_t timeout_ms,
                                               FileLock* out);
void file_lock_release(FileLock* lock);

// Whether some process holds the lock of `path` now, without creating the
// file: `free` when it is missing or nobody holds it, `unknown` when it
// cannot be opened (another user's private file).
enum class LockProbe { free, held, unknown };
[[nodiscard]] LockProbe file_lock_probe(const char* path);

class LockGuard {
public:
    explicit LockGuard(Lock& lock) : lock_(lock) { lock_.enter(); }
    ~LockGuard() { lock_.leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Lock& lock_;
};

}  // namespace plat

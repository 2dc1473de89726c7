// Running a notification command on Windows: the cmd.exe of the system
// folder, by its full path, with /D (no AutoRun commands from the registry),
// /V:OFF (no !NAME! expansion, whatever the registry says) and /S (the
// command stands between one pair of quotes), without a window and without
// inherited handles, inside a job object so that an overrun ends the
// interpreter and everything it started.
//
// cmd.exe looks for a program in the current directory before PATH, so a
// curl.exe planted in the working directory would run instead of the real
// one. The program the command starts with is therefore looked up along
// PATH here, never in the current directory, and named by its full path;
// and NoDefaultCurrentDirectoryInExePath in the environment keeps cmd.exe's
// own search out of the current directory as well.
#include <windows.h>

#include "platform/command.h"
#include "platform/backend.h"
#include "platform/win32/hidden_process.h"
#include "platform/win32/termination.h"
#include "platform/win32/win_handle.h"

namespace plat {

Interpreter interpreter() { return Interpreter::cmd; }

const char* interpreter_prefix() { return "cmd.exe /D /V:OFF /S /C "; }

const char* null_device() { return "nul"; }

namespace {

constexpr int kOverrunCode = 124;
// what cmd.exe reads after /C, and the command handed to us (both at most
// 8191 characters); the interpreter's path and switches come before it
constexpr std::size_t kCmdTextLimit = 8191;
constexpr std::size_t kWideCommandCap = 8192;
constexpr std::size_t kWideLineCap = kWidePathCap + 32 + kCmdTextLimit + 1;
constexpr std::size_t kPathVariableCap = 32767;  // the longest environment value

// Makes *job a job whose processes all end when its last handle is closed;
// false (and no job) when it cannot be made.
bool make_kill_on_close_job(WinHandle* job) {
    job->h = CreateJobObjectW(nullptr, nullptr);
    if (job->h == nullptr) return false;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job->h, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        job->close();
        return false;
    }
    return true;
}

DWORD wait_limit_ms(std::uint32_t timeout_seconds) {
    if (timeout_seconds == 0) return INFINITE;
    const std::uint64_t ms = std::uint64_t{timeout_seconds} * 1000u;
    return ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
}

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// A program name cmd.exe would look up along its search path: letters,
// digits, '-', '_' and '.', no path.
bool is_plain_program_name(const wchar_t* word, std::size_t length) {
    if (length == 0) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const wchar_t c = word[i];
        const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                           (c >= L'0' && c <= L'9') || c == L'-' || c == L'_' || c == L'.';
        if (!plain) return false;
    }
    return true;
}

// A folder that does not depend on the current directory: "X:\..." or "\\server\...".
bool is_absolute_folder(const wchar_t* folder, std::size_t length) {
    if (length >= 3 && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/')) return true;
    return length >= 2 && folder[0] == L'\\' && folder[1] == L'\\';
}

// The full path of the program `word` (with ".exe" added when it names no
// extension) in the first absolute PATH folder that holds it. Relative
// PATH entries (".", "bin") are passed over: they mean the current directory.
bool find_on_path(const wchar_t* word, std::size_t word_length, WideLine* found) {
    static wchar_t path[kPathVariableCap + 1];  // one command at a time
    const DWORD length = GetEnvironmentVariableW(L"PATH", path, kPathVariableCap + 1);
    if (length == 0 || length > kPathVariableCap) return false;
    bool has_extension = false;
    for (std::size_t i = 0; i < word_length; ++i) has_extension = has_extension || word[i] == L'.';

    std::size_t start = 0;
    while (start < length) {
        std::size_t end = start;
        while (end < length && path[end] != L';') ++end;
        const wchar_t* folder = path + start;
        std::size_t folder_length = end - start;
        start = end + 1;
        if (folder_length >= 2 && folder[0] == L'"' && folder[folder_length - 1] == L'"') {
            ++folder;
            folder_length -= 2;
        }
        if (!is_absolute_folder(folder, folder_length)) continue;
        found->length = 0;
        found->ok = true;
        found->append(folder, folder_length);
        if (folder[folder_length - 1] != L'\\' && folder[folder_length - 1] != L'/') found->append(L"\\");
        found->append(word, word_length);
        if (!has_extension) found->append(L".exe");
        if (!found->ok) continue;
        const DWORD attributes = GetFileAttributesW(found->data);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return true;
        }
    }
    return false;
}

// The interpreter's command line: "<system>\cmd.exe" /D /V:OFF /S /C "<command>",
// the command's program named by its full path when PATH holds it. cmd.exe
// reads at most 8191 characters after /C: a longer command loses its tail.
bool build_command_line(const wchar_t* interpreter_path, const wchar_t* command, WideLine* line) {
    line->append(L"\"");
    line->append(interpreter_path);
    line->append(L"\" /D /V:OFF /S /C ");
    const std::size_t text_start = line->length;
    line->append(L"\"");
    std::size_t word = 0;
    while (command[word] != L'\0' && !is_blank(command[word])) ++word;
    wchar_t program[kWidePathCap];
    WideLine found(program, kWidePathCap);
    if (is_plain_program_name(command, word) && find_on_path(command, word, &found)) {
        line->append(L"\"");
        line->append(found.data, found.length);
        line->append(L"\"");
        command += word;
    }
    // (a word PATH does not hold stays as it is: a command of cmd.exe's own)
    const std::size_t used = line->length - text_start;
    if (used + 1 > kCmdTextLimit) return false;
    const std::size_t room = kCmdTextLimit - used - 1;  // the closing quote stays
    const std::size_t length = wcslen(command);
    line->append(command, length < room ? length : room);
    line->append(L"\"");
    return line->ok;
}

}  // namespace

int run_hidden_command(const char* command, std::uint32_t timeout_seconds) {
    if (command == nullptr || command[0] == '\0') return -1;
    // the command's bytes in the ANSI code page, as CreateProcessA would take them
    wchar_t wide_command[kWideCommandCap];
    const int converted = MultiByteToWideChar(CP_ACP, 0, command, -1, wide_command,
                                              static_cast<int>(kWideCommandCap));
    if (converted <= 0) return -1;

    wchar_t system_folder[kWidePathCap];
    const UINT folder = GetSystemDirectoryW(system_folder, static_cast<UINT>(kWidePathCap));
    if (folder == 0 || folder >= kWidePathCap) return -1;
    wchar_t interpreter_path[kWidePathCap];
    WideLine interpreter(interpreter_path, kWidePathCap);
    interpreter.append(system_folder, folder);
    interpreter.append(L"\\cmd.exe");
    if (!interpreter.ok) return -1;

    static wchar_t line_buffer[kWideLineCap];  // one command at a time
    WideLine line(line_buffer, kWideLineCap);
    if (!build_command_line(interpreter_path, wide_command, &line)) return -1;

    // inherited by cmd.exe: its own search leaves out the current directory
    SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");

    // a command never starts once a termination request is pending
    termination_checkpoint();
    WinHandle job;
    if (!make_kill_on_close_job(&job)) return -1;
    PROCESS_INFORMATION info{};
    // started suspended so that it is in the job before it can start anything
    if (!start_hidden(interpreter_path, line.data, CREATE_NO_WINDOW | CREATE_SUSPENDED, &info)) {
        return -1;
    }
    // declared thread first: the process handle is closed first, then the thread's
    WinHandle thread(info.hThread);
    WinHandle process(info.hProcess);
    if (!AssignProcessToJobObject(job.h, process.h)) {
        // unbounded it would not be: it never runs
        TerminateProcess(process.h, 1);
        return -1;
    }
    // a termination request from here on ends the job (and so the command)
    termination_track_job(job.h);
    ResumeThread(thread.h);

    const DWORD waited = WaitForSingleObject(process.h, wait_limit_ms(timeout_seconds));
    termination_track_job(nullptr);
    if (waited == WAIT_OBJECT_0) {
        DWORD code = 1;
        // when the code cannot be read it stays 1
        GetExitCodeProcess(process.h, &code);
        // closing the job ends anything the command left running
        job.close();
        termination_checkpoint();
        return static_cast<int>(code);
    }
    // overrun, or a wait that failed: end the interpreter and all it started
    TerminateJobObject(job.h, static_cast<UINT>(kOverrunCode));
    WaitForSingleObject(process.h, 5000);
    return waited == WAIT_TIMEOUT ? kOverrunCode : 1;
}

}  // namespace plat

// Running a notification command on Windows: the cmd.exe of the system
// folder, by its full path, with /D (no AutoRun commands from the registry),
// /V:OFF (no !NAME! expansion, whatever the registry says) and /S (the
// command stands between one pair of quotes), without a window and without
// inherited handles, inside a job object so that an overrun ends the
// interpreter and everything it started.
// NoDefaultCurrentDirectoryInExePath in its environment keeps cmd.exe's
// own program search out of the current directory (see command_line.cpp).
#include <windows.h>

#include "platform/backend.h"
#include "platform/command.h"
#include "platform/win32/command_line.h"
#include "platform/win32/convert.h"
#include "platform/win32/hidden_process.h"
#include "platform/win32/termination.h"
#include "platform/win32/win_handle.h"

namespace plat {

Interpreter interpreter() { return Interpreter::cmd; }

const char* interpreter_prefix() { return "cmd.exe /D /V:OFF /S /C "; }

const char* null_device() { return "nul"; }

namespace {

// the command handed to us (at most 8191 characters, as cmd.exe reads);
// the interpreter's path and switches come before it on the line
constexpr std::size_t kWideCommandCap = 8192;
constexpr std::size_t kWideLineCap = kWidePathCap + 32 + kCmdTextLimit + 1;
// cmd.exe's exit code for a program it cannot find
constexpr int kNotRecognized = 9009;

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

// How long an ended job's processes may take to go, and the look between.
constexpr std::uint32_t kJobEndWaitMs = 5000;
constexpr std::uint32_t kJobEndPollMs = 20;

std::uint32_t job_processes(void* job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(static_cast<HANDLE>(job), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr)) {
        return 0;  // nothing more to learn by waiting
    }
    return static_cast<std::uint32_t>(accounting.ActiveProcesses);
}

void pause_ms(std::uint32_t ms) { Sleep(ms); }

// Ends every process of the job and waits until they are gone: a process
// ends after TerminateJobObject returns, and until then holds its files
// (curl the message it sends, opened without delete sharing).
void end_job(HANDLE job, UINT code) {
    TerminateJobObject(job, code);
    static constexpr CommandWatch kJobWatch{job_processes, pause_ms};
    (void)wait_until_no_process(kJobWatch, job, kJobEndWaitMs, kJobEndPollMs);
}

DWORD wait_limit_ms(std::uint32_t timeout_seconds) {
    if (timeout_seconds == 0) return INFINITE;
    const std::uint64_t ms = std::uint64_t{timeout_seconds} * 1000u;
    return ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
}

}  // namespace

bool program_on_path(const char* name) {
    wchar_t wide_name[kWidePathCap];
    if (name == nullptr || !ansi_to_wide(name, wide_name, kWidePathCap)) return false;
    wchar_t buffer[kWidePathCap];
    WideLine found(buffer, kWidePathCap);
    return find_on_path(wide_name, wcslen(wide_name), &found);
}

int run_hidden_command(const char* command, std::uint32_t timeout_seconds) {
    if (command == nullptr || command[0] == '\0') return -1;
    // the command's bytes in the ANSI code page, as CreateProcessA would take them
    wchar_t wide_command[kWideCommandCap];
    if (!ansi_to_wide(command, wide_command, kWideCommandCap)) return -1;

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
    switch (build_command_line(interpreter_path, wide_command, &line)) {
        case CommandLineResult::built:
            break;
        case CommandLineResult::too_long:
            return -1;
        case CommandLineResult::not_found:
            return kNotRecognized;
    }

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
        // anything the command left running (or a termination request
        // ended) goes before its files are cleaned up
        end_job(job.h, 1);
        termination_checkpoint();
        return static_cast<int>(code);
    }
    // overrun, or a wait that failed: end the interpreter and all it started
    end_job(job.h, static_cast<UINT>(kCommandOverrun));
    termination_checkpoint();
    return waited == WAIT_TIMEOUT ? kCommandOverrun : 1;
}

}  // namespace plat

// Running a notification command on Windows: "cmd.exe /C %s" without a
// window and without inherited handles, inside a job object so that an
// overrun ends the interpreter and everything it started.
#include <windows.h>

#include "platform/platform.h"
#include "platform/termination_state.h"
#include "platform/win32/termination.h"
#include "platform/win32/win_handle.h"

namespace plat {

Interpreter interpreter() { return Interpreter::cmd; }

const char* interpreter_prefix() { return "cmd.exe /C "; }

const char* null_device() { return "nul"; }

namespace {

constexpr int kOverrunCode = 124;

// A job whose processes all end when its last handle is closed.
HANDLE make_kill_on_close_job() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

DWORD wait_limit_ms(std::uint32_t timeout_seconds) {
    if (timeout_seconds == 0) return INFINITE;
    const std::uint64_t ms = std::uint64_t{timeout_seconds} * 1000u;
    return ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
}

}  // namespace

int run_hidden_command(const char* command, std::uint32_t timeout_seconds) {
    if (command == nullptr || command[0] == '\0') return -1;
    char line[8192];
    text_format(TextBuffer{line, sizeof line}, "cmd.exe /C %s", command);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};

    // a command never starts once a termination request is pending
    termination_checkpoint();
    WinHandle job(make_kill_on_close_job());
    // started suspended so that it is in the job before it can start anything
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &info)) {
        return -1;
    }
    // declared thread first: the process handle is closed first, then the thread's
    WinHandle thread(info.hThread);
    WinHandle process(info.hProcess);
    if (job.h != nullptr && !AssignProcessToJobObject(job.h, process.h)) {
        // (a job the system does not let us nest) the interpreter alone can be ended
        job.close();
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
    if (job.h != nullptr) {
        TerminateJobObject(job.h, static_cast<UINT>(kOverrunCode));
    } else {
        TerminateProcess(process.h, static_cast<UINT>(kOverrunCode));
    }
    WaitForSingleObject(process.h, 5000);
    return waited == WAIT_TIMEOUT ? kOverrunCode : 1;
}

}  // namespace plat

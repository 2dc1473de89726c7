// Starting processes of ours on Windows: by full path, hidden, inheriting
// no handle. The command runner and the detached copy both start this way.
#pragma once

#include <windows.h>

#include <cstddef>

namespace plat {

// The longest path we start a program from or look a program up in.
constexpr std::size_t kWidePathCap = 1024;

// A wide-character command line built in a caller's buffer; `ok` turns
// false (and stays so) when a part does not fit.
struct WideLine {
    wchar_t* data;
    std::size_t cap;
    std::size_t length = 0;
    bool ok = true;

    WideLine(wchar_t* buffer, std::size_t capacity) : data(buffer), cap(capacity) {
        if (cap > 0) data[0] = L'\0';
        ok = cap > 0;
    }
    void append(const wchar_t* text, std::size_t count) {
        if (!ok || count >= cap - length) {
            ok = false;
            return;
        }
        for (std::size_t i = 0; i < count; ++i) data[length + i] = text[i];
        length += count;
        data[length] = L'\0';
    }
    void append(const wchar_t* text) { append(text, wcslen(text)); }
};

// Starts `program` (a full path; no search of any folder) with
// `command_line`, which CreateProcessW may change, hidden and inheriting
// no handle, in our working directory and environment, with the creation
// `flags`. False when it could not be started.
[[nodiscard]] bool start_hidden(const wchar_t* program, wchar_t* command_line, DWORD flags,
                                PROCESS_INFORMATION* info);

}  // namespace plat

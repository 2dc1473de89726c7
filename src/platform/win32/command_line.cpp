// The interpreter's command line on Windows.
//
// cmd.exe looks for a program in the current directory before PATH, so a
// curl.exe planted in the working directory would run instead of the real
// one. The program the command starts with is therefore looked up along
// PATH here, never in the current directory, and named by its full path.
#include "platform/win32/command_line.h"

namespace plat {

namespace {

constexpr std::size_t kPathVariableCap = 32767;  // the longest environment value

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

}  // namespace

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

}  // namespace plat

// The interpreter's command line on Windows.
//
// cmd.exe looks for a program in the current directory before PATH, so a
// curl.exe planted in the working directory would run instead of the real
// one. The program the command starts with is therefore looked up along
// PATH here, never in the current directory, and named by its full path.
#include "platform/win32/command_line.h"

#include <cwchar>

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

// cmd.exe's commands of its own, which it never looks up along PATH.
bool is_builtin(const wchar_t* word, std::size_t length) {
    static const wchar_t* const kBuiltins[] = {
        L"assoc", L"break", L"call", L"cd",   L"chdir",  L"cls",    L"color",    L"copy",  L"date",
        L"del",   L"dir",   L"echo", L"endlocal", L"erase", L"exit", L"for",    L"ftype", L"goto",
        L"if",    L"md",    L"mkdir", L"mklink", L"move", L"path",  L"pause",    L"popd",  L"prompt",
        L"pushd", L"rd",    L"rem",  L"ren",  L"rename", L"rmdir",  L"set",      L"setlocal", L"shift",
        L"start", L"time",  L"title", L"type", L"ver",   L"verify", L"vol"};
    for (const wchar_t* builtin : kBuiltins) {
        const std::size_t size = wcslen(builtin);
        // "echo." is echo too
        if (length >= size && _wcsnicmp(word, builtin, size) == 0 && (length == size || word[size] == L'.')) {
            return true;
        }
    }
    return false;
}

// Whether `found` names a file (not a folder).
bool names_file(const WideLine& found) {
    const DWORD attributes = GetFileAttributesW(found.data);
    return found.ok && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

// The full path of the program `word` in the first absolute PATH folder
// that holds it, as cmd.exe finds it: the word as it is when it names an
// extension, else with each extension of PATHEXT in turn. Relative PATH
// entries (".", "bin") are passed over: they mean the current directory.
bool find_on_path(const wchar_t* word, std::size_t word_length, WideLine* found) {
    static wchar_t path[kPathVariableCap + 1];  // one command at a time
    const DWORD length = GetEnvironmentVariableW(L"PATH", path, kPathVariableCap + 1);
    if (length == 0 || length > kPathVariableCap) return false;
    static wchar_t extensions[kPathVariableCap + 1];
    DWORD extensions_length = GetEnvironmentVariableW(L"PATHEXT", extensions, kPathVariableCap + 1);
    if (extensions_length == 0 || extensions_length > kPathVariableCap) {
        wcscpy(extensions, L".COM;.EXE;.BAT;.CMD");
        extensions_length = static_cast<DWORD>(wcslen(extensions));
    }
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
        if (has_extension && names_file(*found)) return true;
        const std::size_t stem = found->length;
        for (std::size_t e = 0; e < extensions_length;) {
            std::size_t e_end = e;
            while (e_end < extensions_length && extensions[e_end] != L';') ++e_end;
            found->length = stem;
            found->ok = true;
            found->append(extensions + e, e_end - e);
            if (e_end > e && names_file(*found)) return true;
            e = e_end + 1;
        }
    }
    return false;
}

// The interpreter's command line: "<system>\cmd.exe" /D /V:OFF /S /C "<command>",
// the command's program named by its full path when PATH holds it. cmd.exe
// reads at most 8191 characters after /C: a longer command loses its tail.
CommandLineResult build_command_line(const wchar_t* interpreter_path, const wchar_t* command, WideLine* line) {
    line->append(L"\"");
    line->append(interpreter_path);
    line->append(L"\" /D /V:OFF /S /C ");
    const std::size_t text_start = line->length;
    line->append(L"\"");
    std::size_t word = 0;
    while (command[word] != L'\0' && !is_blank(command[word])) ++word;
    wchar_t program[kWidePathCap];
    WideLine found(program, kWidePathCap);
    if (is_plain_program_name(command, word) && !is_builtin(command, word)) {
        if (!find_on_path(command, word, &found)) return CommandLineResult::not_found;
        line->append(L"\"");
        line->append(found.data, found.length);
        line->append(L"\"");
        command += word;
    }
    // (a path, or a command of cmd.exe's own, stays as it is)
    const std::size_t used = line->length - text_start;
    if (used + 1 > kCmdTextLimit) return CommandLineResult::too_long;
    const std::size_t room = kCmdTextLimit - used - 1;  // the closing quote stays
    const std::size_t length = wcslen(command);
    line->append(command, length < room ? length : room);
    line->append(L"\"");
    return line->ok ? CommandLineResult::built : CommandLineResult::too_long;
}

}  // namespace plat

// Names beside a file, and the replace fallback both systems share.
#include "platform/files.h"

#include "platform/command.h"
#include "platform/replace_steps.h"
#include "platform/time.h"

namespace plat {

void path_beside(const char* file, const char* name, TextBuffer out) {
    text_copy(out, "");
    if (file == nullptr || name == nullptr) return;
    // Windows takes both separators; a POSIX name may hold a backslash
    const bool backslash = interpreter() == Interpreter::cmd;
    const char* last = nullptr;
    for (const char* p = file; *p != '\0'; ++p) {
        if (*p == '/' || (backslash && *p == '\\')) last = p;
    }
    if (last == nullptr) {
        text_copy(out, name);
        return;
    }
    text_copy_n(out, file, static_cast<std::size_t>(last - file) + 1);
    text_append(out, "%s", name);
}

namespace {

// Another program (a virus scanner, a backup agent) may hold the file for a
// moment: a rename that must succeed is tried this often, a pause between.
constexpr int kMoveTries = 5;
constexpr std::uint32_t kMovePauseMs = 100;

bool move_with_retries(const ReplaceSteps& steps, const char* source, const char* target, bool overwrite) {
    for (int attempt = 0; attempt < kMoveTries; ++attempt) {
        if (attempt > 0) sleep_ms(kMovePauseMs);
        if (steps.move(source, target, overwrite)) return true;
    }
    return false;
}

}  // namespace

ReplaceResult replace_with_steps(const ReplaceSteps& steps, const char* source, const char* target) {
    if (source == nullptr || target == nullptr) return ReplaceResult::kept;
    if (steps.replace(source, target)) return ReplaceResult::replaced;
    if (steps.exists(target)) {
        // the old file is whole at its name: the copy may be dropped if the
        // fallback rename fails too
        (void)steps.copy_security(target, source);
        return steps.move(source, target, true) ? ReplaceResult::replaced : ReplaceResult::kept;
    }
    // the replace failed after the old file left its name: the copy is the
    // only complete one and takes its place
    return move_with_retries(steps, source, target, false) ? ReplaceResult::replaced : ReplaceResult::source_kept;
}

}  // namespace plat

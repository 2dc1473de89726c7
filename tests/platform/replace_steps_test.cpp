#include "platform/replace_steps.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

using ReplaceSteps = InTempDir;

namespace {

// Stand-ins that fail the way Windows' ReplaceFile does: at once, or after
// the old file has left its name (ERROR_UNABLE_TO_MOVE_REPLACEMENT without a
// backup name); and a rename that a virus scanner keeps failing.
bool g_move_works = true;
int g_security_copies = 0;

bool replace_works(const char* source, const char* target) { return std::rename(source, target) == 0; }
bool replace_fails(const char*, const char*) { return false; }
bool replace_fails_after_removing_target(const char*, const char* target) {
    (void)std::remove(target);
    return false;
}
bool exists(const char* path) { return file_exists(path); }
bool move(const char* source, const char* target, bool overwrite) {
    if (!g_move_works || (!overwrite && file_exists(target))) return false;
    return std::rename(source, target) == 0;
}
bool copy_security(const char*, const char*) {
    ++g_security_copies;
    return true;
}

}  // namespace

// The complete copy is never lost, and the old file is given up only for it.
TEST_F(ReplaceSteps, TheSettingsSurviveEveryFailure) {
    struct Row {
        const char* why;
        bool (*replace)(const char*, const char*);
        bool move_works;
        plat::ReplaceResult result;
        const char* target;  // content afterwards; "" when missing
        bool source_left;
        int security_copies;
    };
    const Row rows[] = {
        {"replace works", replace_works, true, plat::ReplaceResult::replaced, "new", false, 0},
        {"replace fails, rename keeps the descriptor", replace_fails, true, plat::ReplaceResult::replaced, "new",
         false, 1},
        {"replace and rename fail: the old file stays", replace_fails, false, plat::ReplaceResult::kept, "old",
         true, 1},
        {"replace removed the old file: the copy takes its place", replace_fails_after_removing_target, true,
         plat::ReplaceResult::replaced, "new", false, 0},
        {"replace removed the old file, renames fail: the copy stays", replace_fails_after_removing_target, false,
         plat::ReplaceResult::source_kept, "", true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        write_file("settings.txt", "old");
        write_file("copy.tmp", "new");
        g_move_works = row.move_works;
        g_security_copies = 0;
        const plat::ReplaceSteps steps{row.replace, exists, move, copy_security};
        EXPECT_EQ(plat::replace_with_steps(steps, "copy.tmp", "settings.txt"), row.result);
        EXPECT_EQ(file_exists("settings.txt") ? read_file("settings.txt") : "", row.target);
        EXPECT_EQ(file_exists("copy.tmp"), row.source_left);
        if (row.source_left) {
            EXPECT_EQ(read_file("copy.tmp"), "new");
        }
        EXPECT_EQ(g_security_copies, row.security_copies);
        (void)std::remove("settings.txt");
        (void)std::remove("copy.tmp");
    }
}

#include "platform/replace_steps.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/test_support.h"

using ReplaceSteps = InTempDir;

namespace {

// Stand-ins that act on the names they are given and fail the way Windows'
// ReplaceFile documents: at once with both files at their names (the
// replaced file not removable, the replacement not movable with a backup
// name, any other error); with the old file moved to the backup name
// (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2); or with the old file gone (no
// backup name). Renames fail a set number of times first, as while a virus
// scanner or backup agent holds a file (a sharing violation).
int g_move_failures = 0;  // -1: every rename fails
std::uint32_t g_descriptor_size = 100;
std::string g_security_copy;  // "from>to" of the descriptor copied
int g_pauses = 0;

bool replace_works(const char* source, const char* target, const char* backup) {
    return std::rename(target, backup) == 0 && std::rename(source, target) == 0;
}
bool replace_fails(const char*, const char*, const char*) { return false; }
bool replace_fails_old_at_backup(const char*, const char* target, const char* backup) {
    (void)std::rename(target, backup);
    return false;
}
bool replace_fails_old_gone(const char*, const char* target, const char*) {
    (void)std::remove(target);
    return false;
}
bool exists(const char* path) { return file_exists(path); }
bool move(const char* source, const char* target, bool overwrite) {
    if (g_move_failures != 0) {
        if (g_move_failures > 0) --g_move_failures;
        return false;
    }
    if (!overwrite && file_exists(target)) return false;
    return std::rename(source, target) == 0;
}
bool remove_file(const char* path) { return std::remove(path) == 0; }
bool read_security(const char* path, void* buffer, std::uint32_t size, std::uint32_t* needed) {
    *needed = g_descriptor_size;
    if (size < g_descriptor_size || std::strlen(path) >= size) return false;
    std::strcpy(static_cast<char*>(buffer), path);
    return true;
}
bool write_security(const char* path, const void* descriptor) {
    g_security_copy = std::string(static_cast<const char*>(descriptor)) + ">" + path;
    return true;
}
void pause(std::uint32_t) { ++g_pauses; }

}  // namespace

// The complete copy is never lost, the old file never stays under another
// name, and the new file never takes the old one's place without its
// security descriptor.
TEST_F(ReplaceSteps, TheSettingsSurviveEveryFailure) {
    using plat::ReplaceResult;
    const std::uint32_t too_large = 70000;  // beyond what an ACL may hold
    const std::string copied = "settings.txt>copy.tmp";
    struct Row {
        const char* why;
        bool (*replace)(const char*, const char*, const char*);
        int move_failures;
        std::uint32_t descriptor_size;
        ReplaceResult result;
        const char* target;  // content afterwards; "" when missing
        bool source_left;
        std::string security_copy;
    };
    const Row rows[] = {
        {"replace works", replace_works, 0, 100, ReplaceResult::replaced, "new", false, ""},
        {"replace fails, rename keeps the descriptor", replace_fails, 0, 100, ReplaceResult::replaced, "new",
         false, copied},
        {"the descriptor needs more than the first buffer", replace_fails, 0, 6000, ReplaceResult::replaced,
         "new", false, copied},
        {"the descriptor cannot be read: no rename without it", replace_fails, 0, too_large,
         ReplaceResult::kept, "old", true, ""},
        {"a rename meets a sharing violation twice", replace_fails, 2, 100, ReplaceResult::replaced, "new",
         false, copied},
        {"replace and renames fail: the old file stays", replace_fails, -1, 100, ReplaceResult::kept, "old",
         true, copied},
        {"old file at the backup name: the copy takes its place", replace_fails_old_at_backup, 2, 100,
         ReplaceResult::replaced, "new", false, ""},
        {"old file at the backup name, renames fail: the copy stays", replace_fails_old_at_backup, -1, 100,
         ReplaceResult::source_kept, "", true, ""},
        {"old file gone: the copy takes its place", replace_fails_old_gone, 0, 100, ReplaceResult::replaced,
         "new", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        write_file("settings.txt", "old");
        write_file("copy.tmp", "new");
        // what an interrupted replace left: never kept, never in the way
        write_file("settings.txt.rewrite-backup", "older");
        g_move_failures = row.move_failures;
        g_descriptor_size = row.descriptor_size;
        g_security_copy.clear();
        g_pauses = 0;
        const plat::ReplaceSteps steps{row.replace, exists, move, remove_file, read_security, write_security, pause};
        EXPECT_EQ(plat::replace_with_steps(steps, "copy.tmp", "settings.txt"), row.result);
        EXPECT_EQ(file_exists("settings.txt") ? read_file("settings.txt") : "", row.target);
        EXPECT_EQ(file_exists("copy.tmp"), row.source_left);
        if (row.source_left) {
            EXPECT_EQ(read_file("copy.tmp"), "new");
        }
        EXPECT_FALSE(file_exists("settings.txt.rewrite-backup"));
        EXPECT_EQ(g_security_copy, row.security_copy);
        EXPECT_EQ(g_pauses > 0, row.move_failures != 0);
        (void)std::remove("settings.txt");
        (void)std::remove("copy.tmp");
    }
}

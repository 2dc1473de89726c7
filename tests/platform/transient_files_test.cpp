#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/transient_files.h"
#include "support/test_support.h"

using TransientFiles = InTempDir;

namespace {

bool exists(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0;
}

}  // namespace

// Whatever stands at the name is removed, never opened or followed: the new
// file is a fresh regular file, owner-only, and a link's target is untouched.
TEST_F(TransientFiles, WhatStandsAtTheNameIsReplacedNeverFollowed) {
    struct Planted {
        const char* what;
        void (*plant)();
    };
    const Planted cases[] = {
        {"nothing", [] {}},
        {"leftover file", [] { write_file("work.tmp", "old secret"); }},
        {"link to another file", [] { ASSERT_EQ(symlink("victim.txt", "work.tmp"), 0); }},
        {"dangling link", [] { ASSERT_EQ(symlink("nowhere/x", "work.tmp"), 0); }},
        {"fifo", [] { ASSERT_EQ(mkfifo("work.tmp", 0666), 0); }},
    };
    for (const Planted& c : cases) {
        SCOPED_TRACE(c.what);
        write_file("victim.txt", "victim");
        c.plant();
        const mode_t old_mask = umask(0);
        std::FILE* file = plat::create_transient_file("work.tmp");
        umask(old_mask);
        ASSERT_NE(file, nullptr);
        EXPECT_GE(std::fputs("new", file), 0);
        std::fclose(file);
        struct stat st {};
        ASSERT_EQ(lstat("work.tmp", &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(read_file("victim.txt"), "victim");
        plat::remove_transient_file("work.tmp");
        EXPECT_FALSE(exists("work.tmp"));
    }
}

TEST_F(TransientFiles, ADirectoryAtTheNameFails) {
    ASSERT_EQ(mkdir("work.tmp", 0700), 0);
    EXPECT_EQ(plat::create_transient_file("work.tmp"), nullptr);
    EXPECT_TRUE(exists("work.tmp"));
}

// A termination request removes what is recorded; a released file stays.
TEST_F(TransientFiles, RemoveAllTakesRecordedFilesOnly) {
    std::FILE* a = plat::create_transient_file("a.tmp");
    std::FILE* b = plat::create_transient_file("b.tmp");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    std::fclose(a);
    std::fclose(b);
    plat::release_transient_file("b.tmp");
    plat::remove_transient_files();
    EXPECT_FALSE(exists("a.tmp"));
    EXPECT_TRUE(exists("b.tmp"));
}

// The registry is fixed: once it is full a new file is refused, and removal
// makes room again.
TEST_F(TransientFiles, AFullRegistryRefusesAndRemovalFreesASlot) {
    char names[plat::kTransientFilesMax + 1][16];
    for (std::size_t i = 0; i < plat::kTransientFilesMax; ++i) {
        std::snprintf(names[i], sizeof names[i], "f%zu.tmp", i);
        std::FILE* f = plat::create_transient_file(names[i]);
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    EXPECT_EQ(plat::create_transient_file("one-more.tmp"), nullptr);
    EXPECT_FALSE(exists("one-more.tmp"));
    plat::remove_transient_file(names[0]);
    std::FILE* f = plat::create_transient_file("one-more.tmp");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    plat::remove_transient_files();
    EXPECT_FALSE(exists("one-more.tmp"));
}

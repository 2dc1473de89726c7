#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/locks.h"
#include "support/test_support.h"

using FileLockTest = InTempDir;

namespace {

// A child process that takes the lock, reports it through a pipe and holds
// it until the parent closes the other pipe.
struct LockHolder {
    pid_t pid = -1;
    int release_fd = -1;

    bool start(const char* path) {
        int ready[2];
        int release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) return false;
        pid = fork();
        if (pid == 0) {
            close(ready[0]);
            close(release[1]);
            plat::FileLock lock{};
            if (plat::file_lock_acquire(path, 5000, &lock) != plat::FileLockResult::held) _exit(2);
            char c = 'y';
            if (write(ready[1], &c, 1) != 1) _exit(3);
            (void)read(release[0], &c, 1);  // returns when the parent closes its end
            plat::file_lock_release(&lock);
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_fd = release[1];
        char c = 0;
        const bool ok = read(ready[0], &c, 1) == 1;
        close(ready[0]);
        return ok;
    }
    int finish() {
        if (release_fd >= 0) close(release_fd);
        release_fd = -1;
        int status = 0;
        if (pid > 0) waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~LockHolder() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            finish();
        }
    }
};

}  // namespace

TEST_F(FileLockTest, AnotherProcessWaitsUntilTheHolderReleases) {
    LockHolder holder;
    ASSERT_TRUE(holder.start("test.lock"));
    plat::FileLock lock{};
    EXPECT_EQ(plat::file_lock_acquire("test.lock", 100, &lock), plat::FileLockResult::busy);
    EXPECT_EQ(lock.handle, -1);
    EXPECT_EQ(holder.finish(), 0);
    ASSERT_EQ(plat::file_lock_acquire("test.lock", 100, &lock), plat::FileLockResult::held);
    plat::file_lock_release(&lock);
    EXPECT_EQ(lock.handle, -1);
    EXPECT_TRUE(file_exists("test.lock"));
}

TEST_F(FileLockTest, TwoHoldsInOneProcessExcludeEachOther) {
    plat::FileLock first{};
    plat::FileLock second{};
    ASSERT_EQ(plat::file_lock_acquire("test.lock", 0, &first), plat::FileLockResult::held);
    EXPECT_EQ(plat::file_lock_acquire("test.lock", 0, &second), plat::FileLockResult::busy);
    plat::file_lock_release(&first);
    EXPECT_EQ(plat::file_lock_acquire("test.lock", 0, &second), plat::FileLockResult::held);
    plat::file_lock_release(&second);
}

TEST_F(FileLockTest, UnopenableLockFileIsReportedAsUnavailable) {
    plat::FileLock lock{};
    EXPECT_EQ(plat::file_lock_acquire("no-such-dir/test.lock", 0, &lock),
              plat::FileLockResult::unavailable);
    EXPECT_EQ(lock.handle, -1);
}

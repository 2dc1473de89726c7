// Child processes for the liveness tests, each ended by pid when the test
// ends, also when an assertion fails.
#pragma once

#include <sys/types.h>

class Child {
public:
    enum class Kind {
        twin,    // a copy of this test program (same process name) that waits
        sleep,   // the sleep program, another process name
        zombie,  // a copy that ends at once and is not reaped
    };
    explicit Child(Kind kind);
    ~Child() { end(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // Kills and reaps the child (nothing when it was ended already).
    void end();
    // Reaps a child that ended by other means; true when it had ended.
    bool reap();

private:
    pid_t pid_;
};

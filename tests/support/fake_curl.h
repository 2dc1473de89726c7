// The curl stand-in (tests/peers/curl_standin.c) for the sender tests,
// copied into the test's directory as bin/curl and put first on PATH. Each
// call appends a record to "curl_standin.log" there: its arguments, the
// configuration file named by -K and the message file named by -T.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

class FakeCurl {
public:
    // One call's record.
    struct Call {
        std::vector<std::string> args;  // without the program name
        std::string config;             // the -K file, empty when none
        std::string message;            // the -T file, empty when none
        bool marked = false;            // the mark file existed when it ran
    };

    // `dir`: the test's temporary directory; nothing is written or put on
    // PATH (and the test fails) when dir/bin lies outside it.
    explicit FakeCurl(const std::string& dir);
    ~FakeCurl();
    FakeCurl(const FakeCurl&) = delete;
    FakeCurl& operator=(const FakeCurl&) = delete;

    // The exit code of every later call.
    void set_rc(int rc);
    // Later calls note whether the file `path` exists when they run.
    void mark_when_exists(const std::string& path);
    // Forgets the calls so far.
    void reset();

    std::vector<Call> records() const;
    // The arguments of the last call.
    std::vector<std::string> argv() const;
    // One line per call: "call", or "marked" when the mark file existed.
    std::string calls() const;
    // The last message file and configuration file that a call read.
    std::string message() const;
    std::string config() const;

private:
    std::string bin_;
    std::string log_;
    std::string old_path_;
    bool installed_ = false;
};

// A fresh working directory with the curl stand-in first on PATH.
class InTempDirWithCurl : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        if (HasFatalFailure()) return;
        curl_ = std::make_unique<FakeCurl>(dir());
    }
    void TearDown() override {
        curl_.reset();
        InTempDir::TearDown();
    }
    std::unique_ptr<FakeCurl> curl_;
};

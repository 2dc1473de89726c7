// A curl stand-in for the sender tests: a shell script named "curl" put
// first on PATH. It records the arguments it received (NUL-separated, in
// "curl_argv.bin"), copies the message file named by -T ("curl_message.bin")
// and the configuration file named by -K ("curl_config.bin"), counts its
// calls ("curl_calls.txt") and ends with $FAKE_CURL_RC.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

class FakeCurl {
public:
    // `dir`: the test's temporary directory; the script goes into dir/bin,
    // and nothing is written or put on PATH when dir/bin lies outside it.
    explicit FakeCurl(const std::string& dir) : bin_(dir.empty() ? "" : dir + "/bin") {
        if (!inside_test_dir(bin_)) return;
        installed_ = true;
        mkdir(bin_.c_str(), 0700);
        write_file(bin_ + "/curl",
                   "#!/bin/sh\n"
                   ": > curl_argv.bin\n"
                   "for a in \"$@\"; do printf '%s\\0' \"$a\" >> curl_argv.bin; done\n"
                   "prev=\n"
                   "for a in \"$@\"; do\n"
                   "  if [ \"$prev\" = \"-T\" ]; then cp \"$a\" curl_message.bin; fi\n"
                   "  if [ \"$prev\" = \"-K\" ]; then cp \"$a\" curl_config.bin; fi\n"
                   "  prev=$a\n"
                   "done\n"
                   "if [ -n \"$FAKE_CURL_MARK\" ] && [ -e \"$FAKE_CURL_MARK\" ]; then\n"
                   "  echo marked >> curl_calls.txt\n"
                   "else\n"
                   "  echo call >> curl_calls.txt\n"
                   "fi\n"
                   "exit ${FAKE_CURL_RC:-0}\n");
        chmod((bin_ + "/curl").c_str(), 0755);
        const char* path = std::getenv("PATH");
        old_path_ = path != nullptr ? path : "";
        setenv("PATH", (bin_ + ":" + old_path_).c_str(), 1);
        set_rc(0);
    }
    ~FakeCurl() {
        if (!installed_) return;
        setenv("PATH", old_path_.c_str(), 1);
        unsetenv("FAKE_CURL_RC");
        unsetenv("FAKE_CURL_MARK");
    }
    FakeCurl(const FakeCurl&) = delete;
    FakeCurl& operator=(const FakeCurl&) = delete;

    void set_rc(int rc) { setenv("FAKE_CURL_RC", std::to_string(rc).c_str(), 1); }

    // The arguments of the last call, without the program name.
    std::vector<std::string> argv() const {
        std::vector<std::string> args;
        const std::string all = read_file("curl_argv.bin");
        std::size_t start = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i] == '\0') {
                args.push_back(all.substr(start, i - start));
                start = i + 1;
            }
        }
        return args;
    }
    std::string calls() const { return read_file("curl_calls.txt"); }
    std::string message() const { return read_file("curl_message.bin"); }
    std::string config() const { return read_file("curl_config.bin"); }

private:
    std::string bin_;
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

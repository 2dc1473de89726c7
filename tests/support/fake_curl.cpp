#include "support/fake_curl.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

std::string from_hex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace

FakeCurl::FakeCurl(const std::string& dir) : bin_(dir.empty() ? "" : dir + "/bin") {
    if (!inside_test_dir(bin_)) return;
    log_ = dir + "/curl_standin.log";
    std::error_code error;
    std::filesystem::create_directory(bin_, error);
    std::filesystem::copy_file(LOADHAWK_CURL_STANDIN, bin_ + "/curl", error);
    if (error) {
        ADD_FAILURE() << "the curl stand-in could not be copied: " << error.message();
        return;
    }
    chmod((bin_ + "/curl").c_str(), 0755);
    const char* path = std::getenv("PATH");
    old_path_ = path != nullptr ? path : "";
    setenv("PATH", (bin_ + ":" + old_path_).c_str(), 1);
    setenv("CURL_STANDIN_LOG", log_.c_str(), 1);
    installed_ = true;
    set_rc(0);
}

FakeCurl::~FakeCurl() {
    if (!installed_) return;
    setenv("PATH", old_path_.c_str(), 1);
    unsetenv("CURL_STANDIN_LOG");
    unsetenv("CURL_STANDIN_RC");
    unsetenv("CURL_STANDIN_MARK");
}

void FakeCurl::set_rc(int rc) { setenv("CURL_STANDIN_RC", std::to_string(rc).c_str(), 1); }

void FakeCurl::mark_when_exists(const std::string& path) { setenv("CURL_STANDIN_MARK", path.c_str(), 1); }

void FakeCurl::reset() {
    if (installed_) (void)std::remove(log_.c_str());
}

std::vector<FakeCurl::Call> FakeCurl::records() const {
    std::vector<Call> calls;
    if (!installed_) return calls;
    std::istringstream log(read_file(log_));
    std::string line;
    while (std::getline(log, line)) {
        const std::size_t space = line.find(' ');
        const std::string tag = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : from_hex(line.substr(space + 1));
        if (tag == "CALL") {
            calls.emplace_back();
        } else if (calls.empty()) {
            continue;
        } else if (tag == "ARG") {
            calls.back().args.push_back(value);
        } else if (tag == "CONFIG") {
            calls.back().config = value;
        } else if (tag == "FILE") {
            calls.back().message = value;
        } else if (tag == "MARKED") {
            calls.back().marked = true;
        }
    }
    return calls;
}

std::vector<std::string> FakeCurl::argv() const {
    const std::vector<Call> calls = records();
    return calls.empty() ? std::vector<std::string>{} : calls.back().args;
}

std::string FakeCurl::calls() const {
    std::string lines;
    for (const Call& call : records()) lines += call.marked ? "marked\n" : "call\n";
    return lines;
}

std::string FakeCurl::message() const {
    std::string last;
    for (const Call& call : records()) {
        if (!call.message.empty()) last = call.message;
    }
    return last;
}

std::string FakeCurl::config() const {
    std::string last;
    for (const Call& call : records()) {
        if (!call.config.empty()) last = call.config;
    }
    return last;
}

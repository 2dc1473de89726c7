#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "output/console.h"
#include "output/silent_mode.h"
#include "support/whole_file.h"

void InTempDir::SetUp() {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previous_ = cwd;
    char pattern[] = "/tmp/loadhawk-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
}

void InTempDir::TearDown() {
    ASSERT_EQ(chdir(previous_.c_str()), 0);
    std::error_code ignored;
    // a test may have made the directory read-only; give it back first
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
}

ConsoleCapture::ConsoleCapture() : out_(std::tmpfile()), err_(std::tmpfile()) {
    console_redirect(out_, err_);
}

ConsoleCapture::~ConsoleCapture() {
    console_redirect(nullptr, nullptr);
    std::fclose(out_);
    std::fclose(err_);
}

namespace {
std::string slurp(std::FILE* f) {
    std::fflush(f);
    std::string text;
    const long end = std::ftell(f);
    std::rewind(f);
    text.resize(static_cast<std::size_t>(end));
    if (end > 0) {
        const std::size_t got = std::fread(text.data(), 1, text.size(), f);
        text.resize(got);
    }
    std::fseek(f, 0, SEEK_END);
    return text;
}
}  // namespace

std::string ConsoleCapture::out() const { return slurp(out_); }
std::string ConsoleCapture::err() const { return slurp(err_); }

std::string read_file(const std::string& path) { return read_whole_file(path.c_str()); }

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

SilentMode::SilentMode(bool on) { set_silent_mode(on); }

SilentMode::~SilentMode() { set_silent_mode(false); }

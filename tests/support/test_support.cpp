#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "output/console.h"
#include "output/silent_mode.h"
#include "support/whole_file.h"

namespace {
// The temporary directory of the running test; empty between tests and
// when its set-up failed, so that nothing can be written then.
std::string g_test_dir;
}  // namespace

void InTempDir::SetUp() {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previous_ = cwd;
    char pattern[] = "/tmp/loadhawk-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    ASSERT_EQ(chdir(pattern), 0);
    dir_ = pattern;
    g_test_dir = dir_;
}

void InTempDir::TearDown() {
    g_test_dir.clear();
    if (dir_.empty()) return;
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

bool inside_test_dir(const std::string& path) {
    if (g_test_dir.empty() || path.empty()) {
        ADD_FAILURE() << "no test directory to write \"" << path << "\" in";
        return false;
    }
    std::error_code error;
    const std::filesystem::path root = std::filesystem::weakly_canonical(g_test_dir, error);
    const std::filesystem::path full =
        std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    const std::string prefix = root.string() + "/";
    if (error || full.string().compare(0, prefix.size(), prefix) != 0) {
        ADD_FAILURE() << "refused to write \"" << path << "\" outside " << g_test_dir;
        return false;
    }
    return true;
}

void write_file(const std::string& path, const std::string& bytes) {
    if (!inside_test_dir(path)) return;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

SilentMode::SilentMode(bool on) { set_silent_mode(on); }

SilentMode::~SilentMode() { set_silent_mode(false); }

// Helpers shared by the unit tests: a fresh working directory per test and
// a capture of everything the program prints.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// Runs each test in a new temporary directory (the program reads and writes
// its files in the working directory) and removes it afterwards. A fixture
// built on it returns from its own SetUp when HasFatalFailure() is true
// after calling this one: dir() is empty until the directory exists.
class InTempDir : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
    std::string previous_;
};

// Points console_out / console_err at temporary files while it lives.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    std::string out() const;
    std::string err() const;

private:
    std::FILE* out_;
    std::FILE* err_;
};

// Silent mode on or off while it lives, as "-s" sets it; off afterwards.
class SilentMode {
public:
    explicit SilentMode(bool on);
    ~SilentMode();
    SilentMode(const SilentMode&) = delete;
    SilentMode& operator=(const SilentMode&) = delete;
};

// True when `path` (relative paths are taken from the working directory)
// lies inside the running test's temporary directory; false, with a test
// failure, otherwise and when no such directory exists.
bool inside_test_dir(const std::string& path);

// Whole-file helpers, byte for byte. write_file writes nothing (and fails the
// test) outside the running test's temporary directory.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

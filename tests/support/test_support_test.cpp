// The test support writes only inside the running test's own directory.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/fake_curl.h"
#include "support/test_support.h"

namespace {

class TestSupportWrites : public InTempDir {};

TEST_F(TestSupportWrites, RefusesEveryPathOutsideTheTestDirectory) {
    const std::string outside[] = {"", "/bin/curl", dir(), dir() + "/../escape",
                                   "../escape", dir() + "-sibling/file"};
    for (const std::string& path : outside) {
        SCOPED_TRACE(path);
        EXPECT_NONFATAL_FAILURE(write_file(path, "x"), "");
    }
    EXPECT_FALSE(file_exists(dir() + "/../escape"));
    write_file("inside", "x");
    EXPECT_EQ(read_file(dir() + "/inside"), "x");
}

TEST_F(TestSupportWrites, CurlStandInWithoutADirectoryWritesNothing) {
    const std::string before = std::getenv("PATH");
    EXPECT_NONFATAL_FAILURE(FakeCurl curl(""), "no test directory");
    EXPECT_EQ(std::getenv("PATH"), before);
}

}  // namespace

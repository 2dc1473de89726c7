#include <gtest/gtest.h>

#include <string>

#include "platform/backend.h"

// A link's final target as the system names it becomes a path that names
// the same file from any working directory.
TEST(FinalPath, NamesTheSameFileFromAnywhere) {
    struct Row {
        const char* final_path;
        const char* plain;
    };
    const Row rows[] = {
        {"\\\\?\\C:\\cfg\\settings.txt", "C:\\cfg\\settings.txt"},
        {"\\\\?\\UNC\\srv\\share\\settings.txt", "\\\\srv\\share\\settings.txt"},
        {"C:\\cfg\\settings.txt", "C:\\cfg\\settings.txt"},
        {"\\\\srv\\share\\settings.txt", "\\\\srv\\share\\settings.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.final_path);
        FixedText<256> out;
        plat::plain_final_path(row.final_path, out.out());
        EXPECT_EQ(std::string(out.c_str()), row.plain);
    }
}

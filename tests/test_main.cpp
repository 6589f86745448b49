// Shared main of the test programs: each process works in a temporary folder of its own, so test
// cases that ctest runs side by side never write the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::string templ = (std::filesystem::temp_directory_path() / "tarquil-test-XXXXXX").string();
    const char* dir = ::mkdtemp(templ.data());
    if (dir) ::setenv("TEST_TMPDIR", dir, 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (dir) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return result;
}

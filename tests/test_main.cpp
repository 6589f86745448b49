// Shared main of the test programs: each process works in a temporary folder of its own, so test
// cases that ctest runs side by side never write the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::string templ = (std::filesystem::temp_directory_path() / "tarquil-test-XXXXXX").string();
    const char* dir = ::mkdtemp(templ.data());
    if (dir) {
        ::setenv("TEST_TMPDIR", dir, 1);
        // Settings, recent files and desktop files that the code under test writes go to this
        // folder, never into the user's own configuration.
        const std::string config = std::string(dir) + "/config", data = std::string(dir) + "/data";
        std::filesystem::create_directories(config);
        std::filesystem::create_directories(data);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (dir) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return result;
}

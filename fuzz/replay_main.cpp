// Runs a fuzz target over every file of a corpus folder, so that `make test` replays the seeds
// without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int files = 0;
    for (int a = 1; a < argc; ++a) {
        std::error_code ec;
        if (!std::filesystem::is_directory(argv[a], ec)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[a])) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++files;
        }
    }
    std::printf("replayed %d corpus files\n", files);
    return 0;
}

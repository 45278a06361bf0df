// Runs a fuzz target over saved inputs without libFuzzer, so that the saved corpus is replayed as
// an ordinary test in every native build. Arguments: files, or folders whose files are replayed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& input) {
    std::ifstream file(input, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "replay: cannot open %s\n", input.string().c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    std::printf("replay: %s (%zu bytes)\n", input.string().c_str(), bytes.size());
    std::fflush(stdout);  // the name shows even if the target aborts on this input
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path argument(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(argument, error)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(argument, error)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                if (replay(file)) {
                    ++replayed;
                }
            }
        } else if (replay(argument)) {
            ++replayed;
        } else {
            return 1;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "replay: no input found; give corpus files or folders\n");
        return 1;
    }
    std::printf("replay: %zu input(s), no fault\n", replayed);
    return 0;
}

// Replays fuzz inputs without libFuzzer: each file named, or each file of each folder named, goes
// once through the target's LLVMFuzzerTestOneInput, whose invariants abort on a violation. Built
// with the target under the sanitizers of the tree that runs the tests, so that the committed
// corpus is checked without a fuzzing toolchain.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        } else {
            files.push_back(path);
        }
        for (const auto& file : files) {
            if (!Replay(file)) return 1;
            ++inputs;
        }
    }
    std::printf("%zu inputs replayed\n", inputs);
    // A corpus that is not there replays nothing, which must not pass for a replay.
    return inputs == 0 ? 1 : 0;
}

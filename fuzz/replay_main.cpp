// The replay program: runs a harness over the files and folders named on its command line
// (a folder: every file in it, in name order), as CTest does over the committed corpus.
// Built with any compiler, without libFuzzer; a violated property aborts the program.
#include "fuzzcheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A harness without its own set-up gets this one.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path p(argv[i]);
        if (fs::is_directory(p)) {
            for (const auto &e : fs::directory_iterator(p))
                if (e.is_regular_file())
                    files.push_back(e.path());
        } else {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "replay: no input files\n");
        return 1;
    }
    for (const fs::path &f : files) {
        std::ifstream in(f, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "replay: cannot read %s\n", f.c_str());
            return 1;
        }
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", f.filename().c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::printf("replay: %zu inputs, every property held\n", files.size());
    return 0;
}

// Stands in for libFuzzer's main in ordinary builds: runs every file named on the command line,
// and every file inside a named folder, through the target once.
#include "fuzz/fuzzcheck.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
bool replay(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return false;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    // An empty input is a valid case too; give the target a non-null pointer all the same.
    static const unsigned char none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        std::error_code error;
        if (fs::is_directory(path, error)) {
            for (const fs::directory_entry &entry : fs::directory_iterator(path, error)) {
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            }
        } else {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());

    int replayed = 0;
    for (const fs::path &file : files) {
        if (!replay(file))
            return 1;
        ++replayed;
    }
    std::printf("%d inputs replayed\n", replayed);
    // No input at all means a wrong path, not a pass.
    return replayed > 0 ? 0 : 1;
}

// main() for replaying a fuzz target without libFuzzer: runs LLVMFuzzerTestOneInput once over each
// file named on the command line, so the regression test needs neither clang nor a fuzzing run.
// A failing input aborts, as it does under libFuzzer; the last name printed is the one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        std::fprintf(stderr, "Running: %s\n", argv[i]);
        std::ifstream file(argv[i], std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (!file.is_open() || file.bad()) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        // A block of exactly the input's size, as libFuzzer gives, so that AddressSanitizer
        // catches a read one byte past the end.
        const auto input = std::make_unique<uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), input.get());
        LLVMFuzzerTestOneInput(input.get(), bytes.size());
    }
    std::fprintf(stderr, "%d inputs run\n", argc - 1);
    return 0;
}

// A driver for LLVMFuzzerTestOneInput when libFuzzer is not available: feeds the files given on the
// command line, then --runs inputs made from a fixed --seed (random bytes, and mutations of
// printable seeds so text parsers see near-valid input). Deterministic for a given seed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) const char* const* VtFuzzSeeds();  // optional null-terminated list

int main(int argc, char** argv) {
    long runs = 10000;
    unsigned seed = 1;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::atol(argv[i] + 7);
        else if (std::strncmp(argv[i], "--seed=", 7) == 0) seed = static_cast<unsigned>(std::atol(argv[i] + 7));
        else files.emplace_back(argv[i]);
    }
    for (const std::string& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::vector<std::string> seeds;
    if (VtFuzzSeeds) {
        for (const char* const* s = VtFuzzSeeds(); s && *s; ++s) seeds.emplace_back(*s);
    }
    std::mt19937 rng(seed);
    const char alphabet[] = "0123456789.,-+ :;NSEW'\"dms{}[]()xyz/\\|eE\t\n\xB0\xA1";
    for (long r = 0; r < runs; ++r) {
        std::string input;
        const unsigned mode = rng() % 4;
        if (mode == 0 || seeds.empty()) {
            input.resize(rng() % 512);
            for (char& c : input) c = static_cast<char>(rng());
        } else if (mode == 1) {
            input.resize(rng() % 256);
            for (char& c : input) c = alphabet[rng() % (sizeof alphabet - 1)];
        } else {
            input = seeds[rng() % seeds.size()];
            const unsigned edits = 1 + rng() % 8;
            for (unsigned e = 0; e < edits; ++e) {
                const size_t pos = input.empty() ? 0 : rng() % (input.size() + 1);
                switch (rng() % 4) {
                case 0: input.insert(pos, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
                case 1: if (pos < input.size()) input.erase(pos, 1); break;
                case 2: if (pos < input.size()) input[pos] = static_cast<char>(rng()); break;
                default: input.insert(pos, input.substr(0, rng() % (input.size() + 1))); break;
                }
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    }
    std::printf("fuzz driver: %ld generated inputs, %zu files, seed %u: no crash\n", runs, files.size(), seed);
    return 0;
}

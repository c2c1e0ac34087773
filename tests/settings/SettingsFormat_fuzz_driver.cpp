// A small stand-in for libFuzzer's driver, for compilers without it: runs the fuzz target on the
// hostile corpus and then on seeded random mutations of it, bounded by a number of runs and a
// time limit. Same seed, same inputs. Files named on the command line are run instead (to
// replay a crash), and --save-corpus DIR writes the corpus out as seed files for libFuzzer.
//   settings_format_fuzz [--runs N] [--max-seconds S] [--seed X] [--save-corpus DIR] [FILE...]

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "SettingsCorpus.h"
#include "TestSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 200;
    double maxSeconds = 60;
    unsigned seed = 1;
    std::string saveDir;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = strtol(argv[++i], nullptr, 10);
        } else if (arg == "--max-seconds" && i + 1 < argc) {
            maxSeconds = strtod(argv[++i], nullptr);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = static_cast<unsigned>(strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--save-corpus" && i + 1 < argc) {
            saveDir = argv[++i];
        } else {
            files.push_back(arg);
        }
    }
    if (!files.empty()) {
        for (const std::string& file : files) {
            Run(ReadFileBytes(file));
        }
        printf("ran %zu file(s)\n", files.size());
        return 0;
    }

    // Items that are sound apart from what the corpus breaks take the settings file itself as
    // their icon: it exists beside the executable whenever a load runs.
    const std::vector<std::string> corpus = HostileSettingsCorpus("setting.ini");
    if (!saveDir.empty()) {
        MakeDir(saveDir);
        for (size_t n = 0; n < corpus.size(); ++n) {
            if (!WriteFileBytes(saveDir + "/seed" + std::to_string(n) + ".ini", corpus[n])) {
                fprintf(stderr, "cannot write to %s\n", saveDir.c_str());
                return 1;
            }
        }
        printf("wrote %zu seed files to %s\n", corpus.size(), saveDir.c_str());
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (const std::string& input : corpus) {
        Run(input);
    }
    std::mt19937 random(seed);
    long done = 0;
    for (; done < runs && elapsed() < maxSeconds; ++done) {
        Run(MutateSettingsFile(corpus[random() % corpus.size()], corpus, random));
    }
    printf("%zu corpus files and %ld mutations (seed %u) in %.1f s, no fault\n", corpus.size(), done, seed,
           elapsed());
    return 0;
}

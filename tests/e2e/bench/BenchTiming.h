#pragma once
// Timing for the in-process benchmarks under Wine: a microsecond clock, a sample of timed rounds,
// and one JSON line of order statistics per sample for bench_ring.py to read.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

inline long long NowMicroseconds() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency.QuadPart * 1000000 +
           now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

// One JSON line of order statistics of a sample, in microseconds, under `name`; `extra` is appended
// as it is (",\"key\":value").
inline void EmitStats(const char* name, std::vector<long long> sample, const std::string& extra = "") {
    printf("{\"stats\":\"%s\",\"count\":%zu", name, sample.size());
    if (!sample.empty()) {
        std::sort(sample.begin(), sample.end());
        long long sum = 0;
        for (long long value : sample) {
            sum += value;
        }
        auto at = [&sample](double share) {
            return sample[static_cast<size_t>(share * static_cast<double>(sample.size() - 1) + 0.5)];
        };
        printf(
            ",\"min_us\":%lld,\"p50_us\":%lld,\"p90_us\":%lld,\"p99_us\":%lld,"
            "\"max_us\":%lld,\"mean_us\":%lld",
            sample.front(), at(0.5), at(0.9), at(0.99), sample.back(),
            sum / static_cast<long long>(sample.size()));
    }
    printf("%s}\n", extra.c_str());
    fflush(stdout);
}

// Times `rounds` calls of `step` (given the round's number), each after an untimed `setup`.
template <typename Setup, typename Step>
std::vector<long long> Measure(int rounds, Setup setup, Step step) {
    std::vector<long long> sample;
    sample.reserve(static_cast<size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        setup(i);
        const long long start = NowMicroseconds();
        step(i);
        sample.push_back(NowMicroseconds() - start);
    }
    return sample;
}

// Times `first` and `second` in turns, `rounds` times each, every call after an untimed setup
// (given the call's number, 0 to 2 * rounds - 1), so that both meet the same conditions.
template <typename Setup, typename First, typename Second>
std::pair<std::vector<long long>, std::vector<long long>> MeasureInTurns(int rounds, Setup setup, First first,
                                                                         Second second) {
    std::vector<long long> firsts = Measure(rounds * 2, setup, [&](int j) {
        if (j % 2 == 0) {
            first(j);
        } else {
            second(j);
        }
    });
    std::pair<std::vector<long long>, std::vector<long long>> samples;
    for (size_t j = 0; j < firsts.size(); ++j) {
        (j % 2 == 0 ? samples.first : samples.second).push_back(firsts[j]);
    }
    return samples;
}

template <typename Step>
std::vector<long long> Measure(int rounds, Step step) {
    return Measure(
        rounds, [](int) {}, step);
}

// Cost of one hook message through classification and dispatch, against a baseline of the least
// any hook body can do (one call through a function pointer). Prints the figures and the ratios.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "input/MouseEvents.h"

namespace {

int32_t Consume(const MouseHookRecord& event) {
    benchmark::DoNotOptimize(event.pt.x);
    return 0;
}
int32_t PassOn(const MouseHookRecord&) { return kPassOn; }

// The bindings the program makes with side button 1 as trigger and wheel forwarding on.
void BindLikeTheProgram() {
    ClearEventTable();
    ResetMouseState(500);
    RegisterEventHandler(X1Down, Consume, 0);
    RegisterEventHandler(X1Double, Consume, 0);
    RegisterEventHandler(X1Up, Consume, 0);
    RegisterEventHandler(Wheel, Consume, kHeldX1);
    RegisterEventHandler(Wheel, PassOn, 0);
}

MouseHookRecord Move(int i) {
    MouseHookRecord record = {};
    record.pt = {i & 1023, (i >> 10) & 767};
    return record;
}

using HookBody = int32_t (*)(uint32_t, const MouseHookRecord&);
int32_t BaselineBody(uint32_t, const MouseHookRecord& event) { return event.pt.x == -1 ? 0 : kPassOn; }

void BM_Baseline(benchmark::State& state) {
    volatile HookBody body = BaselineBody;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(body(kMsgMouseMove, Move(i++)));
    }
}
BENCHMARK(BM_Baseline);

void BM_PointerMoveUnbound(benchmark::State& state) {
    ClearEventTable();
    ResetMouseState(500);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HandleMouseMessage(kMsgMouseMove, Move(i++)));
    }
}
BENCHMARK(BM_PointerMoveUnbound);

void BM_PointerMoveWithBindings(benchmark::State& state) {
    BindLikeTheProgram();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HandleMouseMessage(kMsgMouseMove, Move(i++)));
    }
}
BENCHMARK(BM_PointerMoveWithBindings);

void BM_TriggerPressAndRelease(benchmark::State& state) {
    BindLikeTheProgram();
    MouseHookRecord record = {};
    record.mouseData = static_cast<uint32_t>(kXButton1) << 16;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HandleMouseMessage(kMsgXButtonDown, record));
        benchmark::DoNotOptimize(HandleMouseMessage(kMsgXButtonUp, record));
    }
    state.SetLabel("two messages per iteration");
}
BENCHMARK(BM_TriggerPressAndRelease);

void BM_UnboundPressAndRelease(benchmark::State& state) {
    BindLikeTheProgram();
    MouseHookRecord record = {};
    for (auto _ : state) {
        benchmark::DoNotOptimize(HandleMouseMessage(kMsgLButtonDown, record));
        benchmark::DoNotOptimize(HandleMouseMessage(kMsgLButtonUp, record));
    }
    state.SetLabel("two messages per iteration");
}
BENCHMARK(BM_UnboundPressAndRelease);

// Keeps each benchmark's time per iteration for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> nanoseconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            nanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double baseline = reporter.nanoseconds["BM_Baseline"];
    if (baseline > 0) {
        printf("\nratio to the baseline (one call through a function pointer, %.2f ns):\n", baseline);
        for (const auto& [name, ns] : reporter.nanoseconds) {
            printf("  %-32s %8.2f ns  x%.1f\n", name.c_str(), ns, ns / baseline);
        }
    }
    benchmark::Shutdown();
    return 0;
}

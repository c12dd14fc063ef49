// One run of a trivial child through RunAndCapture, as the logging program makes per sample,
// against a bare start and wait of the same child: the difference is the capture loop, mostly
// its idle pause of 100 ms.
#include "dprocess.h"

#include <benchmark/benchmark.h>

namespace {

void BM_RunAndCapture(benchmark::State& state) {
    QByteArray output;
    for (auto _ : state) {
        const bool ok = RunAndCapture(QStringLiteral(TRIVIAL_CHILD), {QStringLiteral("snr")},
                                      output, {poNoConsole});
        if (!ok || output != "123\n")
            state.SkipWithError("the child did not answer");
    }
}
BENCHMARK(BM_RunAndCapture)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(
        1) // each run on its own: a run pauses once or not at all, an average would hide it
    ->Repetitions(40)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

void BM_StartAndWait(benchmark::State& state) {
    for (auto _ : state) {
        TProcess process;
        process.SetOptions({poNoConsole, poUsePipes});
        process.Executable = QStringLiteral(TRIVIAL_CHILD);
        process.Parameters = {QStringLiteral("snr")};
        process.Execute();
        process.WaitForExit();
        if (process.ExitCode() != 0)
            state.SkipWithError("the child failed");
    }
}
BENCHMARK(BM_StartAndWait)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();

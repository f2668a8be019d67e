// The whole jobs with Boost.ICL in its default configuration, where each interval carries its
// bounds' kind at run time (velk_bench measures the static right-open intervals). Built with
// VELK_BENCH_ICL_DEFAULT_INTERVALS, in a binary of its own: the two configurations are
// different instantiations of the same templates.
#include <benchmark/benchmark.h>

#include "support/icl_whole_jobs.hpp"

namespace {

using namespace velk::bench;

void W1_whole_icl_default(benchmark::State& state) { icl_w1_whole_job(state); }
void W2_whole_icl_default(benchmark::State& state) { icl_w2_whole_job(state); }
void W3_whole_icl_default(benchmark::State& state) { icl_w3_whole_job(state); }

BENCHMARK(W1_whole_icl_default)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(W2_whole_icl_default)
    ->Apply(w2_whole_sizes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(W3_whole_icl_default)->Apply(w1_sizes)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

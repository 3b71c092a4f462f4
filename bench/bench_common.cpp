// Figures for what runs every second or on every keystroke.
#include "lamp_state.h"
#include "text_number.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace {

void BM_ComposeStateLine(benchmark::State& state) {
    const hall::LampStates states = hall::AllOffStates();
    for (auto _ : state) benchmark::DoNotOptimize(hall::ComposeStateLine(states));
}
BENCHMARK(BM_ComposeStateLine);

void BM_ParseStateLine(benchmark::State& state) {
    const std::string line = hall::ComposeStateLine(hall::AllOffStates());
    for (auto _ : state) benchmark::DoNotOptimize(hall::ParseStateLine(line));
}
BENCHMARK(BM_ParseStateLine);

// One status tick's read of the shared file.
void BM_ReadStateFile(benchmark::State& state) {
    const auto file = std::filesystem::temp_directory_path() / "bench_actual.txt";
    std::ofstream(file, std::ios::binary) << hall::ComposeStateLine(hall::AllOffStates()) << "\r\n";
    for (auto _ : state) benchmark::DoNotOptimize(hall::ReadStateFile(file));
    std::filesystem::remove(file);
}
BENCHMARK(BM_ReadStateFile);

void BM_WriteStateFile(benchmark::State& state) {
    const auto file = std::filesystem::temp_directory_path() / "bench_actual.txt";
    const hall::LampStates states = hall::AllOffStates();
    for (auto _ : state) benchmark::DoNotOptimize(hall::WriteStateFile(states, file));
    std::filesystem::remove(file);
}
BENCHMARK(BM_WriteStateFile);

void BM_NumberRewrite(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(hall::NumberRewrite("15min", ','));
}
BENCHMARK(BM_NumberRewrite);

void BM_NumberRewriteTenMegabytes(benchmark::State& state) {
    const std::string digits(10'000'000, '7');
    for (auto _ : state) benchmark::DoNotOptimize(hall::NumberRewrite(digits, ','));
}
BENCHMARK(BM_NumberRewriteTenMegabytes)->Unit(benchmark::kMillisecond);

}  // namespace

// Protected text: every agent answer is unwrapped once on its way out, and
// the log-level update is wrapped and unwrapped once per change.
#include <string>

#include <benchmark/benchmark.h>

#include "heap_counter.h"
#include "protection/protected_text.h"

namespace {

// 200 characters, the size of a typical answer with what to fill.
std::wstring TwoHundredCharacters() {
  const std::wstring sample = L"{\"user\":\"ann\",\"password\":\"s3cr\u00e9t\"} ";
  std::wstring text;
  while (text.size() < 200) text += sample;
  text.resize(200);
  return text;
}

void BM_ProtectUnprotectRoundTrip(benchmark::State& state) {
  const std::wstring text = TwoHundredCharacters();
  bench::HeapWatch heap;
  for (auto _ : state) {
    std::wstring opened = UnProtectData(ProtectData(text));
    benchmark::DoNotOptimize(opened);
  }
  heap.Report(state);
  if (UnProtectData(ProtectData(text)) != text) {
    state.SkipWithError("the round trip changed the text");
  }
}
BENCHMARK(BM_ProtectUnprotectRoundTrip);

void BM_UnprotectAnswer(benchmark::State& state) {
  const std::wstring wrapped = ProtectData(TwoHundredCharacters());
  bench::HeapWatch heap;
  for (auto _ : state) {
    std::wstring opened = UnProtectData(wrapped);
    benchmark::DoNotOptimize(opened);
  }
  heap.Report(state);
}
BENCHMARK(BM_UnprotectAnswer);

}  // namespace

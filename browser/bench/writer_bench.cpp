// The frame writer end to end: conversion, escaping, the lock, the debug
// line and the write, into /dev/null so only the host's own work counts.
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "channel/extension_output.h"
#include "channel/extension_writer.h"
#include "heap_counter.h"

namespace {

void BM_WriteExtensionMessage(benchmark::State& state) {
  FILE* sink = std::fopen("/dev/null", "wb");
  if (sink == nullptr) {
    state.SkipWithError("cannot open /dev/null");
    return;
  }
  const std::wstring text(static_cast<std::size_t>(state.range(0)), L'a');
  SetExtensionOutputForTesting(sink);
  bench::HeapWatch heap;
  for (auto _ : state) WriteExtensionMessage(text);
  heap.Report(state);
  SetExtensionOutputForTesting(nullptr);
  std::fclose(sink);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
// A short answer, a large one, and one just under the 1 MiB frame limit
// (the body adds two quotation marks).
BENCHMARK(BM_WriteExtensionMessage)->Arg(40)->Arg(64 * 1024)->Arg(1048576 - 2);

}  // namespace

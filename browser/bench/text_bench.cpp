// Text on its way across the channel: the UTF-16/UTF-8 conversions and the
// escaping of a frame body.
#include <string>

#include <benchmark/benchmark.h>

#include "heap_counter.h"
#include "messages/json_escape.h"
#include "messages/text_conversion.h"

namespace {

constexpr std::size_t kTextUnits = 4096;

// kTextUnits units of `sample` over and over, never ending inside a
// surrogate pair.
std::wstring Repeated(const std::wstring& sample) {
  std::wstring text;
  while (text.size() + sample.size() <= kTextUnits) text += sample;
  return text;
}

std::wstring AsciiText() {
  return Repeated(L"{\"user\":\"ann\",\"url\":\"https://example.test/login\"} ");
}

// Two-, three- and four-byte UTF-8 sequences: Latin, CJK and a surrogate
// pair (U+1F600).
std::wstring NonAsciiText() {
  return Repeated(L"caf\u00e9 \u00dcnic\u00f6de \u65e5\u672c\u8a9e "
                  L"\xD83D\xDE00 \u2713 ");
}

void WideToUtf8Of(benchmark::State& state, const std::wstring& text) {
  bench::HeapWatch heap;
  for (auto _ : state) {
    std::string bytes = WideToUtf8(text);
    benchmark::DoNotOptimize(bytes);
  }
  heap.Report(state);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void Utf8ToWideOf(benchmark::State& state, const std::wstring& text) {
  const std::string bytes = WideToUtf8(text);
  bench::HeapWatch heap;
  for (auto _ : state) {
    std::wstring wide = Utf8ToWide(bytes);
    benchmark::DoNotOptimize(wide);
  }
  heap.Report(state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_WideToUtf8Ascii(benchmark::State& state) { WideToUtf8Of(state, AsciiText()); }
void BM_WideToUtf8NonAscii(benchmark::State& state) { WideToUtf8Of(state, NonAsciiText()); }
void BM_Utf8ToWideAscii(benchmark::State& state) { Utf8ToWideOf(state, AsciiText()); }
void BM_Utf8ToWideNonAscii(benchmark::State& state) { Utf8ToWideOf(state, NonAsciiText()); }
BENCHMARK(BM_WideToUtf8Ascii);
BENCHMARK(BM_WideToUtf8NonAscii);
BENCHMARK(BM_Utf8ToWideAscii);
BENCHMARK(BM_Utf8ToWideNonAscii);

void EscapeOf(benchmark::State& state, const std::string& text) {
  bench::HeapWatch heap;
  for (auto _ : state) {
    std::string escaped = EscapeForJsonString(text);
    benchmark::DoNotOptimize(escaped);
  }
  heap.Report(state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// An agent answer: JSON text, so every quotation mark needs a backslash.
void BM_EscapeAgentAnswer(benchmark::State& state) {
  EscapeOf(state, WideToUtf8(AsciiText()));
}
BENCHMARK(BM_EscapeAgentAnswer);

// Text with nothing to escape but multi-byte sequences to copy through.
void BM_EscapeNonAsciiText(benchmark::State& state) {
  EscapeOf(state, WideToUtf8(NonAsciiText()));
}
BENCHMARK(BM_EscapeNonAsciiText);

}  // namespace

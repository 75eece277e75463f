// The JSON layer: reading what the extension sends, writing what the host
// sends by itself.
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "heap_counter.h"
#include "messages/json_reader.h"
#include "messages/json_value.h"
#include "messages/tab_message.h"
#include "messages/text_conversion.h"
#include "messages/update_log_level_message.h"

namespace {

using browser_extensions::wmValue;

// A page load, the message the extension sends most often.
const wchar_t kDocumentCompleteEnvelope[] =
    L"{\"tabID\":\"7\",\"type\":\"documentComplete\",\"payload\":"
    L"{\"url\":\"https://example.test/login?next=%2Fhome\","
    L"\"bTopLvlDoc\":\"true\"}}";

constexpr std::size_t kOneMebibyte = 1024 * 1024;

// A log message whose text makes the whole envelope 1 MiB of ASCII, with
// the escapes a log text carries (quotation marks, newlines).
std::wstring LogEnvelopeOfOneMebibyte() {
  const std::wstring head = L"{\"tabID\":\"7\",\"type\":\"log\",\"payload\":{\"message\":\"";
  const std::wstring tail = L"\"}}";
  const std::wstring line =
      L"page https://example.test/login loaded in 123 ms, status \\\"ok\\\"\\n";
  std::wstring text = head;
  while (text.size() + line.size() + tail.size() <= kOneMebibyte) text += line;
  text.append(kOneMebibyte - tail.size() - text.size(), L'x');
  text += tail;
  return text;
}

const std::wstring& ReadableForm(const std::wstring& text) { return text; }
std::string_view ReadableForm(const std::string& text) { return text; }

// `text` is wide, or UTF-8 as the frames bring it.
template <typename Text>
void ReadJson(benchmark::State& state, const Text& text) {
  bench::HeapWatch heap;
  for (auto _ : state) {
    wmValue value;
    const bool ok = browser_extensions::read(ReadableForm(text), value);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(value);
  }
  heap.Report(state);
  // The text is ASCII, so each unit stands for one byte on the wire.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ReadDocumentCompleteEnvelope(benchmark::State& state) {
  ReadJson(state, std::wstring(kDocumentCompleteEnvelope));
}
BENCHMARK(BM_ReadDocumentCompleteEnvelope);

void BM_ReadOneMebibyteLogEnvelope(benchmark::State& state) {
  ReadJson(state, LogEnvelopeOfOneMebibyte());
}
BENCHMARK(BM_ReadOneMebibyteLogEnvelope)->Unit(benchmark::kMillisecond);

// The same text as the router reads it: straight from the frame's UTF-8.
void BM_ReadOneMebibyteLogEnvelopeUtf8(benchmark::State& state) {
  ReadJson(state, WideToUtf8(LogEnvelopeOfOneMebibyte()));
}
BENCHMARK(BM_ReadOneMebibyteLogEnvelopeUtf8)->Unit(benchmark::kMillisecond);

// What the router does with every frame before it routes: the UTF-8 body
// read, and the envelope and its payload filled from it.
void BM_EnvelopeFromUtf8DocumentComplete(benchmark::State& state) {
  const std::string body = WideToUtf8(kDocumentCompleteEnvelope);
  bench::HeapWatch heap;
  for (auto _ : state) {
    browser_extensions::CTabMessage envelope;
    envelope.FromJsonUtf8(body);
    benchmark::DoNotOptimize(envelope.payload);
  }
  heap.Report(state);
}
BENCHMARK(BM_EnvelopeFromUtf8DocumentComplete);

// The densest tree a body can carry: 1 MiB of empty arrays and objects.
// heap_peak over the text's size is what each byte of such a body costs.
void BM_ReadOneMebibyteOfEmptyContainers(benchmark::State& state) {
  std::wstring text = L"[";
  while (text.size() + 6 < kOneMebibyte) text += L"[],{},";
  text += L"[]]";
  ReadJson(state, text);
}
BENCHMARK(BM_ReadOneMebibyteOfEmptyContainers)->Unit(benchmark::kMillisecond);

void BM_WriteLogLevelUpdate(benchmark::State& state) {
  browser_extensions::CUpdateLogLevelMessage update;
  update.type = L"updateLogLevel";
  update.level = 4;
  bench::HeapWatch heap;
  for (auto _ : state) {
    std::wstring json = update.ToJsonString();
    benchmark::DoNotOptimize(json);
  }
  heap.Report(state);
}
BENCHMARK(BM_WriteLogLevelUpdate);

}  // namespace

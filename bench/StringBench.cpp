// The launcher's string type against std::string for the work the launcher
// does with text: copies (SString shares its buffer), appends of short
// pieces, and searches in a long text.
#include <benchmark/benchmark.h>

#include <string>

#include "core/SString.h"

namespace {

template <typename String>
String makeText(size_t length, char fill) {
  String text;
  for (size_t i = 0; i < length; ++i)
    text += static_cast<char>(fill + static_cast<char>(i % 23));
  return text;
}

template <typename String>
void BM_Copy(benchmark::State& state) {
  const String text =
      makeText<String>(static_cast<size_t>(state.range(0)), 'a');
  for (auto _ : state) {
    String copy(text);
    benchmark::DoNotOptimize(copy.c_str());
  }
}
BENCHMARK_TEMPLATE(BM_Copy, SString)->Arg(16)->Arg(1024)->Arg(65536);
BENCHMARK_TEMPLATE(BM_Copy, std::string)->Arg(16)->Arg(1024)->Arg(65536);

// A command line built from pieces, as the launch script builds one.
template <typename String>
void BM_Append(benchmark::State& state) {
  const String piece("-Dproperty.name=value ");
  const int pieces = static_cast<int>(state.range(0));
  for (auto _ : state) {
    String line;
    for (int i = 0; i < pieces; ++i) line += piece;
    benchmark::DoNotOptimize(line.c_str());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * pieces *
                          static_cast<int64_t>(piece.length()));
}
BENCHMARK_TEMPLATE(BM_Append, SString)->Arg(16)->Arg(4096);
BENCHMARK_TEMPLATE(BM_Append, std::string)->Arg(16)->Arg(4096);

// A word near the end of a long text, as the verification output and the
// macros are searched.
template <typename String>
void BM_Find(benchmark::State& state) {
  String text = makeText<String>(static_cast<size_t>(state.range(0)), 'a');
  text += "1739021872";
  const String needle("1739021872");
  for (auto _ : state) benchmark::DoNotOptimize(text.find(needle));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.length()));
}
BENCHMARK_TEMPLATE(BM_Find, SString)->Arg(1024)->Arg(65536);
BENCHMARK_TEMPLATE(BM_Find, std::string)->Arg(1024)->Arg(65536);

}  // namespace

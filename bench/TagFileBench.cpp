// Tag-file parsing in bytes per second: a jvm file as the launcher carries
// it, and one large file of value blocks, read from memory streams so that
// only the parser is measured.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/SString.h"
#include "tagfile/TagFile.h"

namespace {

// A jvm file like the ones packed with the demo.
std::string jvmFileText() {
  std::string text =
      "DESC:  Java 11 or later\nJVM_EXE:  bin/java\nJVM_PROPERTIES:\n"
      "  java.specification.version>=11\n"
      "  java.vm.specification.name=Java Virtual Machine Specification\n/:\n"
      "PATH_HINT:\n";
  const char* vendors[] = {"java-@-openjdk-amd64", "temurin-@-jdk-amd64",
                           "temurin-@-jre-amd64", "jdk-@"};
  for (int version = 11; version <= 25; ++version) {
    for (const char* vendor : vendors) {
      std::string name = vendor;
      name.replace(name.find('@'), 1, std::to_string(version));
      text += "  usr/lib/jvm/" + name + "\n";
    }
  }
  text +=
      "/:\nCLASSPATH:  \"-classpath \"\nCLASSPATH_SEPARATOR:  :\n"
      "SYSTEM:  -D\nSYSTEM_SEPARATOR:  =\nSEARCH_ALL:  1\n";
  return text;
}

// Many tags with quoted values and long value blocks: about 1 MiB.
std::string largeFileText() {
  std::string text;
  for (int block = 0; text.size() < (1u << 20); ++block) {
    std::string name = "TAG_" + std::to_string(block % 64);
    text += name + "_VALUE:  \"a quoted \"\"value\"\" with  blanks\"\n";
    text += name + "_LIST:\n";
    for (int i = 0; i < 200; ++i)
      text += "  /opt/vendor/product-" + std::to_string(i) + "/lib/jar.jar\n";
    text += "/:\n";
  }
  return text;
}

void parse(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (!stream) {
      state.SkipWithError("fmemopen failed");
      return;
    }
    TagFile file;
    file.load(stream, SString("bench.tag"), 0, -1);
    benchmark::DoNotOptimize(file.getTagValueCount("PATH_HINT"));
    std::fclose(stream);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_TagFileParseJvmFile(benchmark::State& state) {
  static const std::string text = jvmFileText();
  parse(state, text);
}
BENCHMARK(BM_TagFileParseJvmFile);

void BM_TagFileParseLargeFile(benchmark::State& state) {
  static const std::string text = largeFileText();
  parse(state, text);
}
BENCHMARK(BM_TagFileParseLargeFile)->Unit(benchmark::kMillisecond);

}  // namespace

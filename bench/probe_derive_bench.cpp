// What deriving a probe record costs next to parsing the tool's output, on the ~2 MB
// ffprobe-shaped document the JSON parse benchmark reads (40 streams, 6000 chapters).
//
//   BM_Parse                   JSON::parse of the bytes
//   BM_Derive                  every probe field from the parsed document (readDocument)
//   BM_ParseAndDerive          both, as FileProbe does once the tool has run
//   ..._WithChapterStream      the same document with one stream named "bin_data", so its
//                              details carry all 6000 chapter rows (the worst case)

#include <string>

#include <benchmark/benchmark.h>

#include "json/json.h"
#include "probe/file_probe.h"
#include "probe_document.h"

namespace {

using vellinor::FileProbe;
using vellinor::JSON;

const std::string& plainDocument()
{
    static const std::string document = vellinor::bench::makeProbeDocument();
    return document;
}

const std::string& chapterStreamDocument()
{
    static const std::string document = [] {
        std::string text = vellinor::bench::makeProbeDocument();
        const std::string audio = "\"codec_name\": \"aac\"";
        text.replace(text.find(audio), audio.size(), "\"codec_name\": \"bin_data\"");
        return text;
    }();
    return document;
}

const std::string& documentFor(const benchmark::State& state)
{
    return state.range(0) == 0 ? plainDocument() : chapterStreamDocument();
}

void countBytes(benchmark::State& state, const std::string& bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}

void BM_Parse(benchmark::State& state)
{
    const std::string& bytes = documentFor(state);
    for (auto _ : state) {
        auto document = JSON::parse(bytes);
        benchmark::DoNotOptimize(document);
    }
    countBytes(state, bytes);
}

void BM_Derive(benchmark::State& state)
{
    const std::string& bytes = documentFor(state);
    const JSON document = JSON::parse(bytes).value();
    for (auto _ : state) {
        FileProbe probe;
        probe.readDocument(document, "/media/films/film.mkv");
        benchmark::DoNotOptimize(probe);
    }
    countBytes(state, bytes);
}

void BM_ParseAndDerive(benchmark::State& state)
{
    const std::string& bytes = documentFor(state);
    for (auto _ : state) {
        FileProbe probe;
        probe.readToolOutput(bytes, "/media/films/film.mkv");
        benchmark::DoNotOptimize(probe);
    }
    countBytes(state, bytes);
}

// Argument 0: the plain document; 1: with a chapter stream.
BENCHMARK(BM_Parse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Derive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndDerive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Parsing an ffprobe-sized document: bare simdjson, our JSON::parse, and our parse followed by
// the chained lookups the probe code makes from the document root.

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <string>

#include "json/json.h"
#include "probe_document.h"

namespace {

using vellinor::JSON;

using vellinor::bench::makeProbeDocument;

const std::string& probeDocument()
{
    static const std::string document = makeProbeDocument();
    return document;
}

void BM_SimdjsonDomParse(benchmark::State& state)
{
    const simdjson::padded_string padded(probeDocument());
    simdjson::dom::parser parser;
    for (auto _ : state) {
        auto result = parser.parse(padded);
        if (result.error()) {
            state.SkipWithError("simdjson rejected the document");
            break;
        }
        benchmark::DoNotOptimize(result.value_unsafe());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(padded.size()));
}
BENCHMARK(BM_SimdjsonDomParse);

void BM_JsonParse(benchmark::State& state)
{
    const std::string& bytes = probeDocument();
    for (auto _ : state) {
        auto doc = JSON::parse(bytes);
        if (!doc) {
            state.SkipWithError("JSON::parse rejected the document");
            break;
        }
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_JsonParse);

// Reads the document the way the probe code does: every step from the root, nothing kept.
std::size_t walk(const JSON& doc)
{
    std::size_t checksum = 0;
    double seconds = 0.0;
    const std::size_t streams = doc["streams"].count();
    for (std::size_t i = 0; i < streams; ++i) {
        checksum += doc["streams"][i]["codec_type"].stringValue().size();
        checksum += doc["streams"][i]["codec_name"].stringValue().size();
        checksum += doc["streams"][i]["tags"]["language"].stringValue().size();
        checksum += doc["streams"][i]["tags"]["title"].stringValue().size();
        checksum += static_cast<std::size_t>(doc["streams"][i]["index"].intValue());
        checksum += static_cast<std::size_t>(doc["streams"][i]["width"].intValue());
        checksum += static_cast<std::size_t>(doc["streams"][i]["height"].intValue());
        checksum += static_cast<std::size_t>(doc["streams"][i]["bit_rate"].intValue());
        checksum += doc["streams"][i]["disposition"]["default"].boolValue() ? 1u : 0u;
        checksum += doc["streams"][i]["side_data_list"][0]["rotation"].exists() ? 1u : 0u;
        seconds += doc["streams"][i]["duration"].doubleValue();
        checksum += doc["streams"][i]["r_frame_rate"].stringValue().size();
        for (const auto& [key, value] : doc["streams"][i]) {
            checksum += key.size() + value.rawString().value_or("unknown").size();
        }
    }
    const std::size_t chapters = doc["chapters"].count();
    for (std::size_t i = 0; i < chapters; ++i) {
        seconds += doc["chapters"][i]["start_time"].doubleValue();
        seconds += doc["chapters"][i]["end_time"].doubleValue();
        checksum += doc["chapters"][i]["tags"]["title"].stringValue().size();
    }
    for (const auto& [key, value] : doc["format"]["tags"]) {
        checksum += key.size() + value.description().size();
    }
    seconds += doc["format"]["duration"].doubleValue();
    checksum += static_cast<std::size_t>(doc["format"]["size"].intValue() % 1000);
    return checksum + static_cast<std::size_t>(seconds);
}

void BM_JsonParseAndWalk(benchmark::State& state)
{
    const std::string& bytes = probeDocument();
    for (auto _ : state) {
        auto doc = JSON::parse(bytes);
        if (!doc) {
            state.SkipWithError("JSON::parse rejected the document");
            break;
        }
        benchmark::DoNotOptimize(walk(*doc));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_JsonParseAndWalk);

void BM_JsonWalkOnly(benchmark::State& state)
{
    const std::string& bytes = probeDocument();
    const JSON doc = *JSON::parse(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(walk(doc));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_JsonWalkOnly);

void BM_JsonWritePretty(benchmark::State& state)
{
    const std::string& bytes = probeDocument();
    const JSON doc = *JSON::parse(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.rawString());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_JsonWritePretty);

}  // namespace

BENCHMARK_MAIN();

// Parses each benchmark document with CMarkupSTL::ParseText and with pugixml's load_buffer,
// side by side in one run, then prints MB/s of both and their ratio per document.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "documents.h"
#include "markup/markup_stl.h"

namespace {

constexpr const char* kMarkup = "CMarkupSTL";
constexpr const char* kPugi = "pugixml";

void ParseWithMarkup(benchmark::State& state, const BenchDocument* doc) {
    long elements = 0;
    for (auto _ : state) {
        CMarkupSTL markup;
        const bool ok = markup.ParseText(doc->text);
        elements = markup.ElementCount() - 1;
        benchmark::DoNotOptimize(ok);
        if (!ok) state.SkipWithError(("CMarkupSTL: " + markup.LastError()).c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc->text.size()));
    state.counters["elements"] = static_cast<double>(elements);
}

void ParseWithPugixml(benchmark::State& state, const BenchDocument* doc) {
    for (auto _ : state) {
        pugi::xml_document pugi;
        const pugi::xml_parse_result result = pugi.load_buffer(doc->text.data(), doc->text.size());
        benchmark::DoNotOptimize(result.status);
        if (!result) state.SkipWithError((std::string("pugixml: ") + result.description()).c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc->text.size()));
}

double Fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

struct Key {
    std::string document;
    std::string parser;
};

// The console output as usual, then a table of MB/s and ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    RatioReporter(const std::vector<BenchDocument>& docs, const std::map<std::string, Key>& keys)
        : docs_(docs), keys_(keys) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // Single runs, or the best of repeated ones.
            const bool use = run.run_type == Run::RT_Iteration ? run.repetitions <= 1
                                                               : run.aggregate_name == "best";
            if (!use || run.error_occurred) continue;
            const auto key = keys_.find(run.run_name.function_name);
            if (key == keys_.end()) continue;
            const double seconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const double bytes = static_cast<double>(Size(key->second.document));
            speeds_[key->second.document][key->second.parser].push_back(bytes / seconds / 1e6);
        }
    }

    void Finalize() override {
        std::FILE* out = stdout;
        std::fprintf(out, "\n%-34s %12s %12s %12s %8s\n", "document", "bytes", "CMarkupSTL",
                     "pugixml", "ratio");
        std::fprintf(out, "%-34s %12s %12s %12s %8s\n", "(best CPU time of the runs)", "", "MB/s",
                     "MB/s", "");
        for (const BenchDocument& doc : docs_) {
            const double markup = Best(speeds_[doc.name][kMarkup]);
            const double pugi = Best(speeds_[doc.name][kPugi]);
            std::fprintf(out, "%-34s %12zu %12.1f %12.1f %8.2f\n", doc.name.c_str(),
                         doc.text.size(), markup, pugi, pugi > 0 ? markup / pugi : 0.0);
        }
        ConsoleReporter::Finalize();
    }

  private:
    size_t Size(const std::string& name) const {
        for (const BenchDocument& doc : docs_) {
            if (doc.name == name) return doc.text.size();
        }
        return 0;
    }
    static double Best(const std::vector<double>& values) {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }

    const std::vector<BenchDocument>& docs_;
    const std::map<std::string, Key>& keys_;
    std::map<std::string, std::map<std::string, std::vector<double>>> speeds_;
};

}  // namespace

int main(int argc, char** argv) {
    // By default every benchmark runs seven times, interleaved at random with the others so that
    // both parsers meet the same machine load, and the table takes the best (least disturbed)
    // CPU time of each.
    std::vector<char*> args(argv, argv + argc);
    bool repetitionsGiven = false;
    for (int i = 1; i < argc; ++i) {
        repetitionsGiven |= std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    }
    std::string repetitions = "--benchmark_repetitions=7";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_display_aggregates_only=true";
    if (!repetitionsGiven) {
        args.insert(args.begin() + 1, {repetitions.data(), interleave.data(), aggregates.data()});
    }
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    const std::vector<BenchDocument> docs = BenchDocuments(SATVIEW_DATA_DIR, 10u << 20, 20000);
    std::map<std::string, Key> keys;
    for (const BenchDocument& doc : docs) {
        const std::string markupName = "parse/" + doc.name + "/" + kMarkup;
        const std::string pugiName = "parse/" + doc.name + "/" + kPugi;
        benchmark::RegisterBenchmark(markupName.c_str(), ParseWithMarkup, &doc)
            ->ComputeStatistics("best", Fastest);
        benchmark::RegisterBenchmark(pugiName.c_str(), ParseWithPugixml, &doc)
            ->ComputeStatistics("best", Fastest);
        keys[markupName] = {doc.name, kMarkup};
        keys[pugiName] = {doc.name, kPugi};
    }
    RatioReporter reporter(docs, keys);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

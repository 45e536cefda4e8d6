#include "documents.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "config_samples.h"
#include "platform/files.h"

namespace {

class Random {
  public:
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % bound;
    }

  private:
    uint32_t state_ = 20240501u;
};

const char* const kWords[] = {"satellite", "orbit",  "fix",     "latitude", "longitude",
                              "receiver",  "signal", "almanac", "the",      "a",
                              "of",        "and",    "in",      "position", "&amp;",
                              "&lt;",      "time",   "north",   "east",     "elevation"};

void AppendWords(std::string& out, Random& random, int count) {
    for (int i = 0; i < count; ++i) {
        if (i > 0) out += ' ';
        out += kWords[random.Next(sizeof kWords / sizeof kWords[0])];
    }
}

std::string NestedDocument(size_t target) {
    Random random;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog>\n";
    for (int section = 0; out.size() < target; ++section) {
        const std::string id = std::to_string(section);
        out += "  <section id=\"" + id + "\" title=\"Section " + id + "\">\n";
        for (int entry = 0; entry < 20; ++entry) {
            out += "    <entry index=\"" + std::to_string(entry) + "\">\n      <title>";
            AppendWords(out, random, 3 + static_cast<int>(random.Next(4)));
            out += "</title>\n      <body>\n        <para>";
            AppendWords(out, random, 20 + static_cast<int>(random.Next(40)));
            out += "</para>\n        <para>";
            AppendWords(out, random, 10 + static_cast<int>(random.Next(30)));
            out += "</para>\n      </body>\n      <meta><created>2024-05-01T12:00:00Z</created>";
            out += "<tags>gps map</tags></meta>\n    </entry>\n";
        }
        out += "  </section>\n";
    }
    out += "</catalog>\n";
    return out;
}

std::string AttributeDocument(int records) {
    Random random;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<records>\n";
    char line[256];
    for (int i = 0; i < records; ++i) {
        std::snprintf(line, sizeof line,
                      "  <record id=\"%06d\" lat=\"%d.%06u\" lon=\"%d.%06u\" sats=\"%u\" "
                      "time=\"2024-05-01T%02u:%02u:%02uZ\"/>\n",
                      i, 50 - static_cast<int>(random.Next(100)), random.Next(1000000),
                      static_cast<int>(random.Next(360)) - 180, random.Next(1000000),
                      random.Next(13), random.Next(24), random.Next(60), random.Next(60));
        out += line;
    }
    out += "</records>\n";
    return out;
}

}  // namespace

std::vector<BenchDocument> BenchDocuments(const std::string& dataDir, size_t nestedBytes,
                                          int records) {
    std::vector<BenchDocument> documents;
    for (const bench_samples::Sample& sample : bench_samples::kSamples) {
        documents.push_back({std::string(sample.name), std::string(sample.text)});
    }
    std::error_code ec;
    if (std::filesystem::is_directory(dataDir, ec)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dataDir, ec)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".xml") continue;
            if (auto text = platform::ReadWholeFile(entry.path().string())) {
                const auto relative = std::filesystem::relative(entry.path(), dataDir, ec);
                documents.push_back({"data/" + relative.string(), std::move(*text)});
            }
        }
    }
    documents.push_back({"nested-10MB", NestedDocument(nestedBytes)});
    documents.push_back({"attributes-" + std::to_string(records), AttributeDocument(records)});
    return documents;
}

// The documents the markup benchmark parses.
#pragma once

#include <string>
#include <vector>

struct BenchDocument {
    std::string name;
    std::string text;
};

// The embedded configuration samples, every *.xml below `dataDir` (when it exists), a
// generated document of nested elements and text of about `nestedBytes`, and a generated
// attribute-heavy document of `records` elements with five quoted attributes each.
std::vector<BenchDocument> BenchDocuments(const std::string& dataDir, size_t nestedBytes,
                                          int records);

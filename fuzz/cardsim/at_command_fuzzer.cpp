// Whatever a client sends, the simulated card answers with well-formed lines that end in a
// final result code, or says nothing when told to.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "at_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    if (line.find_first_of("\r\n") != std::string::npos) return 0;  // one line at a time
    cardsim::CardState state;
    state.ready = size % 2 == 0;
    cardsim::AtAnswer answer = cardsim::AnswerAt(line, state);
    if (answer.silent) return 0;
    const std::string& text = answer.text;
    if (text.size() < 4 || text.compare(0, 2, "\r\n") != 0 || !text.ends_with("\r\n")) std::abort();
    size_t last = text.rfind("\r\n", text.size() - 3);
    std::string code = text.substr(last + 2, text.size() - last - 4);
    if (code != "OK" && code != "ERROR" && code.rfind("+CME ERROR: ", 0) != 0) std::abort();
    return 0;
}

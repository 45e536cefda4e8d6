// Whatever an AT port sends: answers end in a final code, hold no NUL byte and stay bounded;
// nothing becomes an answer while no command is outstanding; an unsolicited result is one line,
// or a two-line result's header and its one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "framework/devicemgr/at_receiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    devicemgr::AtReceiver receiver;
    // The first byte chooses when commands go out.
    std::uint8_t plan = data[0];
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t maxAnswer =
        devicemgr::kMaxAnswerLines * (devicemgr::kMaxAtLine + 2) + devicemgr::kMaxAtLine;
    size_t piece = 0;
    for (size_t at = 0, step = 3; at < bytes.size(); at += step, step = step % 11 + 1, ++piece) {
        if ((plan >> (piece % 8)) & 1) receiver.SetCommand("AT^GPSTYPE?\r\n");
        bool outstanding = receiver.Outstanding();
        std::vector<devicemgr::AtOutput> out;
        receiver.Feed(bytes.substr(at, step), out);
        size_t answers = 0;
        for (const auto& o : out) {
            if (o.text.find('\0') != std::string::npos || o.text.empty()) std::abort();
            if (o.kind == devicemgr::AtOutput::Kind::kUnsolicited) {
                // A header and at most one more line (a message's PDU or text).
                size_t end = o.text.find("\r\n");
                if (end != std::string::npos &&
                    (!devicemgr::HasSecondLine(o.text.substr(0, end)) ||
                     o.text.find("\r\n", end + 2) != std::string::npos)) {
                    std::abort();
                }
            }
            if (o.kind != devicemgr::AtOutput::Kind::kAnswer) continue;
            ++answers;
            if (!outstanding || o.text.size() > maxAnswer) std::abort();
            size_t lastLine = o.text.rfind("\r\n");
            std::string_view final = lastLine == std::string::npos
                                         ? std::string_view(o.text)
                                         : std::string_view(o.text).substr(lastLine + 2);
            bool error;
            if (!devicemgr::IsFinalCode(final, error) || error != o.error) std::abort();
        }
        if (answers > 1) std::abort();  // one command, one answer
    }
    return 0;
}

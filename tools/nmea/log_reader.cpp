#include "log_reader.h"

#include <string>
#include <vector>

namespace nmealog {

void LogReader::Feed(std::string_view bytes) {
    std::vector<std::string> sentences;
    lexer_.Feed(bytes, sentences);
    for (const std::string& sentence : sentences) {
        decoder_.Decode(sentence);
        if (!firstTime_) firstTime_ = decoder_.EpochTimeOfDay();
        Deliver();
    }
}

void LogReader::Finish() {
    // A last line without its line end is a sentence too.
    Feed("\n");
    decoder_.Finish();
    Deliver();
}

void LogReader::Deliver() {
    if (auto fix = decoder_.TakeEpochFix()) {
        if (!firstFixAfter_ && firstTime_ && fix->utcMillisecondOfDay) {
            constexpr int64_t kDay = 86'400'000;
            firstFixAfter_ = (*fix->utcMillisecondOfDay - *firstTime_ + kDay) % kDay;
        }
        if (sinks_.fix) sinks_.fix(*fix);
    }
    if (auto sky = decoder_.TakeSky()) {
        if (sinks_.sky) sinks_.sky(*sky);
    }
}

}  // namespace nmealog

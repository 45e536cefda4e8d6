#include "framework/container/property_walker.h"

namespace framework {

bool PropertyWalker::MoveNext() {
    if (next_ <= entries_.size()) ++next_;
    return next_ <= entries_.size();
}

const char* PropertyWalker::GetUrl() {
    return next_ >= 1 && next_ <= entries_.size() ? entries_[next_ - 1].url.c_str() : nullptr;
}

const char* PropertyWalker::GetId() {
    return next_ >= 1 && next_ <= entries_.size() ? entries_[next_ - 1].id.c_str() : nullptr;
}

}  // namespace framework

// The message boxes a back end has open, newest last, so that one can be ended from outside
// its modal loop (ui::EndMessageBox). Window thread only.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/ui/types.h"

namespace ui::detail {

template <typename Box>
class OpenBoxes {
  public:
    // Lists `box` over `owner` while it lives.
    class Listed {
      public:
        Listed(OpenBoxes& boxes, WindowHandle owner, Box* box) : boxes_(boxes), box_(box) {
            boxes_.open_.emplace_back(owner, box);
        }
        ~Listed() {
            auto& open = boxes_.open_;
            open.erase(std::remove_if(open.begin(), open.end(),
                                      [this](const auto& entry) { return entry.second == box_; }),
                       open.end());
        }
        Listed(const Listed&) = delete;
        Listed& operator=(const Listed&) = delete;

      private:
        OpenBoxes& boxes_;
        Box* box_;
    };

    // The newest box still open over `owner`; null when there is none.
    Box* Newest(WindowHandle owner) const {
        for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
            if (it->first == owner) return it->second;
        }
        return nullptr;
    }

  private:
    std::vector<std::pair<WindowHandle, Box*>> open_;
};

}  // namespace ui::detail

#include "orbitpane/win32/last_position.h"

#include <mutex>

namespace orbitpane {
namespace {

std::mutex g_mutex;
LastPositionTexts g_texts;

}  // namespace

LastPositionTexts LastPosition() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_texts;
}

void SetLastPositionText(int row, const std::wstring& text) {
    if (row < 0 || row >= kLastPositionRows) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_texts[row] = text;
}

void ClearLastPosition() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_texts = LastPositionTexts{};
}

}  // namespace orbitpane

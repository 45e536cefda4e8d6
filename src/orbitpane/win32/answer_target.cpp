#include "orbitpane/win32/answer_target.h"

#include <mutex>

#include "orbitpane/win32/orbitpaneimpl.h"

namespace orbitpane {
namespace {
// Guards the target against an answer arriving while the object is being destroyed.
std::mutex g_targetMutex;
COrbitpaneImpl* g_target = nullptr;

void Deliver(const char* answer) {
    std::lock_guard<std::mutex> lock(g_targetMutex);
    if (g_target && answer) g_target->OnAnswer(answer);
}
}  // namespace

void SetAnswerTargetIfEmpty(COrbitpaneImpl* plugin) {
    std::lock_guard<std::mutex> lock(g_targetMutex);
    if (!g_target) g_target = plugin;
}

void ClearAnswerTarget(COrbitpaneImpl* plugin) {
    std::lock_guard<std::mutex> lock(g_targetMutex);
    if (g_target == plugin) g_target = nullptr;
}

COrbitpaneImpl* AnswerTarget() {
    std::lock_guard<std::mutex> lock(g_targetMutex);
    return g_target;
}

// Both handlers classify the answer the same way; the exchange knows which kind it asked for.
void OkAnswerHandler(const char* answer) {
    Deliver(answer);
}
void TypeAnswerHandler(const char* answer) {
    Deliver(answer);
}

}  // namespace orbitpane

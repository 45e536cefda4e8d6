// The process-wide target of the AT answer handlers: the plug-in object whose exchange the
// device object is answering. The handlers are plain functions, so they reach it from here.
#pragma once

class COrbitpaneImpl;

namespace orbitpane {

// Points the handlers at `plugin` unless a target is already set.
void SetAnswerTargetIfEmpty(COrbitpaneImpl* plugin);
// Clears the target when it is `plugin`.
void ClearAnswerTarget(COrbitpaneImpl* plugin);
COrbitpaneImpl* AnswerTarget();

// Handler of every command but the GPS-type query, and handler of the GPS-type query.
void OkAnswerHandler(const char* answer);
void TypeAnswerHandler(const char* answer);

}  // namespace orbitpane

// The server's module-wide counts: live objects and locks decide when COM may unload it.
#pragma once
#include <windows.h>

namespace Module {

HINSTANCE Instance();
void ObjectCreated();
void ObjectDestroyed();

} // namespace Module

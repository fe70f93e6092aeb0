// The count that keeps the compiler's library loaded: every live compiler object and every
// LockServer(TRUE) of its class factory holds it, and DllCanUnloadNow lets the library go only
// when none is left. The counts are atomic because the COM library may ask DllCanUnloadNow
// from another thread than the one that uses the objects.
#pragma once

namespace quarb {

void ObjectCreated();
void ObjectDestroyed();
// False, with nothing changed, for an unlock without a lock.
bool LockServer(bool lock);
// True while an object or a lock exists.
bool ServerInUse();

}  // namespace quarb

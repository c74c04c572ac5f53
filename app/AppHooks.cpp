#include "app/AppHooks.h"

// Each thread has its own: the window sets them on its thread, and a worker
// thread of the HTTP service sets its own stop check.
TAppHooks& AppHooks() {
    thread_local TAppHooks hooks;
    return hooks;
}

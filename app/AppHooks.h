// The two places where long core operations let the window work. The front
// end sets them; the core alone (command-line tool, simulator, tests) runs
// without them.
#pragma once
#include <functional>

struct TAppHooks {
    // Let the user interface process pending events.
    std::function<void()> ProcessEvents;
    // True once the application is terminating.
    std::function<bool()> Terminating;
};

TAppHooks& AppHooks();

inline void ProcessPendingEvents() {
    if (AppHooks().ProcessEvents) AppHooks().ProcessEvents();
}
inline bool ApplicationTerminating() { return AppHooks().Terminating && AppHooks().Terminating(); }

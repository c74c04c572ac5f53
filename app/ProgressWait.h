// The progress window as the core sees it (the Qt window is app/WaitForm): long register operations keep it
// up by calling ShowWait again for every packet or record; it hides itself
// when it is not refreshed in time.
#pragma once
#include <string>

class IWaitWindow {
public:
    virtual ~IWaitWindow() = default;
    // Shows the window with the text ("Пожалуйста подождите..." when empty)
    // and (re)arms its self-hiding countdown.
    virtual void ShowWait(int intervalMs, const std::string& message) = 0;
    virtual void HideWait() = 0;
};

// The progress window of the program; a do-nothing window when none is set
// (command-line tool, tests of the core).
IWaitWindow& WaitWindow();
void SetWaitWindow(IWaitWindow* window);

inline void ShowWait(int intervalMs, const std::string& message) { WaitWindow().ShowWait(intervalMs, message); }
inline void HideWait() { WaitWindow().HideWait(); }

constexpr const char* DefaultWaitMessage = "Пожалуйста подождите...";

#include "app/ProgressWait.h"

namespace {
struct TNoWaitWindow : IWaitWindow {
    void ShowWait(int, const std::string&) override {}
    void HideWait() override {}
};
TNoWaitWindow g_none;
IWaitWindow* g_window = &g_none;
}  // namespace

IWaitWindow& WaitWindow() { return *g_window; }
void SetWaitWindow(IWaitWindow* window) { g_window = window ? window : &g_none; }

// A progress bar drawn in place on standard error when it is a terminal,
// and the console that passes the messages on under it (errors and warnings
// only, everything with --trace), ending the bar's line first.
#pragma once
#include "app/Dialog.h"

#include <iosfwd>
#include <string>

class TBarConsole : public IConsole {
public:
    TBarConsole(IConsole* next, bool all) : next_(next), all_(all) {}
    int LineCount() const override { return next_ ? next_->LineCount() : 0; }
    void DeleteFirstLine() override {}
    void Reset() override {}
    void AddLine(const std::string& line) override;
    // "<label> [####....] position/maximum", over the bar drawn before.
    void DrawBar(std::ostream& err, const std::string& label, int position, int maximum);
    void EndBar();
    IConsole* Next() const { return next_; }

private:
    IConsole* next_;
    bool all_;
    std::ostream* err_ = nullptr;
};

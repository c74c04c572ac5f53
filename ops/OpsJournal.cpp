// The register's electronic journal read as receipt text and source lines.
#include "ops/RegisterOps.h"

#include "app/AppHooks.h"
#include "app/TextCodec.h"
#include "app/Dialog.h"
#include "app/TransferState.h"
#include "app/U_filedirwork.h"
#include "journal/JournalReader.h"
#include "journal/MagazineFiles.h"
#include "journal/MagazineRender.h"
#include "journal/U_magazineoperation.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <iterator>
#include <ostream>

namespace {

// What the read delivers, with the count of operations drawn in place on
// standard error when it is a terminal; a message ends the count's line first.
class TCliMagazine : public IMagazineView, public IConsole {
public:
    TCliMagazine(std::ostream& err, const TTransferState& transfer, bool count)
        : err_(err), transfer_(transfer), next_(Console()), terminal_(count && isatty(STDERR_FILENO) != 0) {
        SetConsole(this);
    }
    ~TCliMagazine() override {
        EndCount();
        SetConsole(next_);
    }

    void ClearMagazine() override {
        Source.clear();
        Text.clear();
    }
    void AddMagazineLines(const std::string& source, const std::string& text) override {
        Source += source;
        Text += text;
        const auto now = std::chrono::steady_clock::now();
        if (terminal_ && (!drawn_ || now - drawnAt_ >= std::chrono::milliseconds(100))) {
            err_ << "\rjournal: " << transfer_.TransferPos << " operations";
            err_.flush();
            drawn_ = true;
            drawnAt_ = now;
        }
    }
    void EndMagazine() override { EndCount(); }

    int LineCount() const override { return next_ ? next_->LineCount() : 0; }
    void DeleteFirstLine() override {}
    void Reset() override {}
    void AddLine(const std::string& line) override {
        EndCount();
        if (next_) next_->AddLine(line);
    }

    std::string Source;
    std::string Text;

private:
    // The count as it stands, and the end of its line.
    void EndCount() {
        if (!drawn_) return;
        err_ << "\rjournal: " << transfer_.TransferPos << " operations\n";
        err_.flush();
        drawn_ = false;
    }

    std::ostream& err_;
    const TTransferState& transfer_;
    IConsole* next_;
    bool terminal_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point drawnAt_;
};

}  // namespace

int ReadJournal(TOpsContext& ctx, nlohmann::json& doc, bool& stopped) {
    TTransferState transfer;
    TCliMagazine view(ctx.Err, transfer, !ctx.Progress);
    TMagazineReader reader(ctx.Link, [&ctx] { return ctx.Port.IsOpen() || ctx.OpenPort(); }, transfer, view);
    const auto previousHooks = AppHooks();
    AppHooks().ProcessEvents = [&] {
        if (ctx.StopRequested && ctx.StopRequested()) transfer.StopRequested = true;
        if (ctx.Progress) ctx.Progress(transfer.TransferPos, 0);
    };
    const TMagazineReadResult result = reader.Read();
    AppHooks() = previousHooks;
    stopped = result == TMagazineReadResult::Partial;
    if (result == TMagazineReadResult::NotConnected) return OpsFailed;
    doc = {{"operations", std::count(view.Source.begin(), view.Source.end(), '\n')},
           {"text", view.Text},
           {"source", view.Source}};
    if (result == TMagazineReadResult::Loaded) return OpsOk;
    // The front end says what was kept; the kind is left here.
    if (stopped) ctx.Error = {TOpsKind::Stopped, "journal read stopped", ""};
    else ctx.Error = {ctx.KKM.LinkState == 0 ? TOpsKind::Refused : TOpsKind::NoAnswer, "journal read failed", ""};
    return OpsFailed;
}

// The register's whole goods table to a goods exchange file and back, with
// the goods page's own transfers.
#include "ops/OpsBarConsole.h"
#include "ops/RegisterOps.h"

#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "app/TransferState.h"
#include "goods/GoodsExchange.h"
#include "goods/GoodsRecord.h"
#include "goods/GoodsTransfer.h"
#include "kkm/RegisterSession.h"
#include "settings/Unitbd.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <ostream>

namespace {

using TRecordBytes = std::array<std::uint8_t, 54>;  // what a write sends of a record

// The goods page's parts without a window, on the register of the command line.
struct TGoodsRig {
    explicit TGoodsRig(TOpsContext& ctx) : Previous(Console()), Bar(Previous, ctx.Options.Trace) {
        SetConsole(&Bar);
        BD.InfoSource = [this] { return Session.Info(); };
        ctx.SetUpLine(Session.ComPort, Session.KKM);
        Goods.View.SetProgressMax = [this](int m) { maximum_ = m; };
        Goods.View.SetProgressPos = [this, &ctx](int p) {
            if (ctx.Progress) ctx.Progress(p + 1, std::max(maximum_, p + 1));
            else Bar.DrawBar(ctx.Err, "goods", p + 1, std::max(maximum_, p + 1));
        };
        // A stop asked for from outside ends the transfer as "Остановить" does.
        if (ctx.StopRequested)
            AppHooks().ProcessEvents = [this, &ctx] {
                if (ctx.StopRequested()) Transfer.StopRequested = true;
            };
        Goods.View.ShowProgress = [this](bool shown) {
            if (!shown) Bar.EndBar();
        };
    }
    ~TGoodsRig() {
        AppHooks().ProcessEvents = nullptr;
        Bar.EndBar();
        if (Session.IsConnected()) Session.ComPort.Close();
        SetConsole(Previous);
    }
    std::string Serial() const { return Session.Info() ? Session.Info()->SerialNumber : "?"; }
    // Opens the port and reads the identity alone: a read needs the model's
    // capacity and the serial number, not the clock and the options the
    // window's connect reads for its panel. The read's own connect then
    // finds the port open.
    bool OpenForRead() {
        if (Session.IsConnected()) return true;
        if (!Session.ComPort.Open()) return false;
        if (Session.Protocol.GetKKMInfo()) return true;
        Error("не удалось получить информацию о ККМ", false, true, true);
        Session.ComPort.Close();
        return false;
    }

    IConsole* Previous;
    TBarConsole Bar;
    TRegisterSession Session;
    TBD BD;
    TTransferState Transfer;
    TGoodsTransfer Goods{Session, BD, Transfer};

private:
    int maximum_ = 0;
};

// The record bytes a write sends for each row with a code, by code.
std::map<int, TRecordBytes> RecordsOf(TMemTable& t) {
    std::map<int, TRecordBytes> out;
    TKKMInfo scratch;
    for (t.First(); !t.Eof(); t.Next()) {
        if (t.AsString("Code").empty()) continue;
        TOBAPToGoods(t, scratch);
        TRecordBytes bytes;
        std::memcpy(bytes.data(), scratch.Goods, bytes.size());
        out[t.AsInteger("Code")] = bytes;
    }
    return out;
}

}  // namespace

int ReadAllGoods(TOpsContext& ctx, const std::string& path, nlohmann::json& doc) {
    TGoodsRig rig(ctx);
    if (!rig.OpenForRead() || !rig.Goods.bLoadTOBAPClick())
        return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "reading the goods failed");
    std::string error;
    if (ExportGoodsFile(rig.BD.mtTOBAP, path, error) != TGoodsFileResult::Ok)
        return ctx.Fail(TOpsKind::FileError, "cannot write " + path + ": " + error);
    doc = {{"file", path}, {"records", rig.BD.mtTOBAP.RecordCount()}, {"serialNumber", rig.Serial()}};
    return OpsOk;
}

int CheckGoodsFile(TOpsContext& ctx, const std::string& path, TMemTable& t) {
    std::string error;
    switch (ImportGoodsFile(t, path, INT_MAX, error)) {
        case TGoodsFileResult::Ok: return OpsOk;
        case TGoodsFileResult::BadValue: return ctx.Usage(error, "body");
        default: return ctx.Usage("cannot read " + path + ": " + error, "body");
    }
}

namespace {

// The codes whose record the register does not hold as wanted (a cleared
// record: holds at all).
std::vector<int> Differing(const std::map<int, TRecordBytes>& wanted, const std::map<int, TRecordBytes>& held) {
    std::vector<int> codes;
    for (const auto& [code, bytes] : wanted) {
        const auto it = held.find(code);
        const bool cleared = bytes[0] == GoodsTypeNone;
        if (cleared ? it != held.end() : it == held.end() || it->second != bytes) codes.push_back(code);
    }
    return codes;
}

}  // namespace

int WriteAllGoods(TOpsContext& ctx, const std::string& path, nlohmann::json& doc) {
    TGoodsRig rig(ctx);
    TMemTable& t = rig.BD.mtTOBAP;
    // The whole file is checked before the register is asked anything.
    if (const int status = CheckGoodsFile(ctx, path, t); status != OpsOk) return status;
    std::vector<int> rows;
    for (int r = 0; r < t.TotalRowCount(); ++r)
        if (!t.TableRecord(r).IsNull("Code")) rows.push_back(r);
    int bad = 0;
    if (const auto problem = GoodsRowsProblem(t, rows, bad))
        return ctx.Usage(*problem + (bad > 1 ? "; строк с ошибками всего: " + std::to_string(bad) : "") +
                             ". В ККМ ничего не записано",
                         "body");

    // The register's table first: its capacity, and whether anything differs.
    if (!rig.OpenForRead() || !rig.Goods.bLoadTOBAPClick()) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "reading the goods failed");
    const auto before = RecordsOf(t);
    if (const int status = CheckGoodsFile(ctx, path, t); status != OpsOk) return status;
    const int limit = rig.Session.Info()->GetMaxCountGoods();
    const int past = static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](int r) { return r >= limit; }));
    if (past > 0)
        return ctx.Usage(std::to_string(past) + " goods rows lie past the model's capacity of " + std::to_string(limit) +
                             "; nothing written",
                         "body");
    const auto expected = RecordsOf(t);
    const auto differing = Differing(expected, before);
    doc = {{"changed", !differing.empty()},
           {"check", ctx.Options.Check},
           {"records", expected.size()},
           {"differing", differing.size()},
           {"serialNumber", rig.Serial()},
           {"confirmed", true},
           {"notWrittenPastCapacity", 0}};
    if (differing.empty() || ctx.Options.Check) return OpsOk;

    if (!rig.Goods.bSaveTOBAPClick()) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "writing the goods failed");
    // Read back: every record written must be there as sent, a cleared one gone.
    if (!rig.Goods.bLoadTOBAPClick()) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "reading the goods back failed");
    if (const auto lost = Differing(expected, RecordsOf(t)); !lost.empty()) {
        doc["confirmed"] = false;
        return ctx.Fail(TOpsKind::NotKept, "the register did not keep goods " + std::to_string(lost[0]) + " as written");
    }
    return OpsOk;
}

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
        if (!ctx.Options.Device.empty())
            Session.ComPort.SetDevicePath(ctx.Options.Device);
        else
            Session.ComPort.SetPortNumber(ctx.Options.Port);
        Session.ComPort.SetSpeed(ctx.Options.Speed);
        Session.KKM.NetNumber = static_cast<std::uint8_t>(ctx.Options.Net);
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

    IConsole* Previous;
    TBarConsole Bar;
    TRegisterSession Session;
    TBD BD;
    TTransferState Transfer;
    TGoodsTransfer Goods{Session, BD, Transfer};

private:
    int maximum_ = 0;
};

// The record bytes a write sends for each row with a code among the first
// limit rows, by code (a later row of the same code wins, as on the register).
std::map<int, TRecordBytes> RecordsOf(TMemTable& t, int limit = INT_MAX) {
    std::map<int, TRecordBytes> out;
    TKKMInfo scratch;
    int position = 0;
    for (t.First(); !t.Eof() && position < limit; t.Next(), ++position) {
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
    if (!rig.Goods.bLoadTOBAPClick()) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "reading the goods failed");
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

int WriteAllGoods(TOpsContext& ctx, const std::string& path, nlohmann::json& doc) {
    TGoodsRig rig(ctx);
    TMemTable& t = rig.BD.mtTOBAP;
    // The whole file is checked before anything is sent; the register's own
    // capacity limits what is written.
    if (const int status = CheckGoodsFile(ctx, path, t); status != OpsOk) return status;
    const bool written = rig.Goods.bSaveTOBAPClick();
    const int left = rig.Goods.NotWrittenPastCapacity;
    if (!written && left == 0) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "writing the goods failed");

    // Read back: every record written must be there as sent, a cleared one gone.
    const int limit = rig.Session.Info()->GetMaxCountGoods();
    const auto expected = RecordsOf(t, limit);
    if (!rig.Goods.bLoadTOBAPClick()) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "reading the goods back failed");
    const auto kept = RecordsOf(t);
    for (const auto& [code, bytes] : expected) {
        const auto it = kept.find(code);
        const bool cleared = bytes[0] == GoodsTypeNone;
        if (cleared ? it != kept.end() : it == kept.end() || it->second != bytes)
            return ctx.Fail(TOpsKind::NotKept, "the register did not keep goods " + std::to_string(code) + " as written");
    }
    doc = {{"records", expected.size()},
           {"serialNumber", rig.Serial()},
           {"confirmed", true},
           {"notWrittenPastCapacity", left}};
    if (left > 0)
        return ctx.Fail(TOpsKind::Refused, std::to_string(left) + " goods rows past the model's capacity of " + std::to_string(limit) +
                        " were not written");
    return OpsOk;
}

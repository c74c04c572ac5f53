// goods read-all and goods write-all: the register's whole goods table to a
// goods exchange file and back, with the goods page's own transfers.
#include "cli/CliBarConsole.h"
#include "cli/CliCommand.h"
#include "cli/CliRegisterWork.h"

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
    explicit TGoodsRig(TCliContext& ctx) : Previous(Console()), Bar(Previous, ctx.Options.Trace) {
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

int ReadAll(TCliContext& ctx) {
    const std::string& path = ctx.Options.Out;
    if (path.empty()) return ctx.Usage("goods read-all: --out FILE.dbf or FILE.csv names the file to write");
    nlohmann::json doc;
    if (const int status = ReadAllGoods(ctx, path, doc); status != CliOk) return status;
    if (ctx.Options.Json) {
        ctx.PrintJson(doc);
        return CliOk;
    }
    ctx.Out << "read " << doc["records"].get<int>() << " goods records from the register "
            << doc["serialNumber"].get<std::string>() << " into " << path << "\n";
    return CliOk;
}

int WriteAll(TCliContext& ctx) {
    const std::string& path = ctx.Args[0];
    nlohmann::json doc;
    const int status = WriteAllGoods(ctx, path, doc);
    if (doc.contains("confirmed") && doc["confirmed"].get<bool>())
        ctx.Out << "wrote " << doc["records"].get<int>() << " goods records from " << path << " to the register "
                << doc["serialNumber"].get<std::string>() << ", read back and confirmed\n";
    return status;
}

}  // namespace

int ReadAllGoods(TCliContext& ctx, const std::string& path, nlohmann::json& doc) {
    TGoodsRig rig(ctx);
    if (!rig.Goods.bLoadTOBAPClick()) return ctx.Fail("reading the goods failed");
    std::string error;
    if (ExportGoodsFile(rig.BD.mtTOBAP, path, error) != TGoodsFileResult::Ok)
        return ctx.Fail("cannot write " + path + ": " + error);
    doc = {{"file", path}, {"records", rig.BD.mtTOBAP.RecordCount()}, {"serialNumber", rig.Serial()}};
    return CliOk;
}

int CheckGoodsFile(TCliContext& ctx, const std::string& path, TMemTable& t) {
    std::string error;
    switch (ImportGoodsFile(t, path, INT_MAX, error)) {
        case TGoodsFileResult::Ok: return CliOk;
        case TGoodsFileResult::BadValue: return ctx.Usage(error, "body");
        default: return ctx.Usage("cannot read " + path + ": " + error, "body");
    }
}

int WriteAllGoods(TCliContext& ctx, const std::string& path, nlohmann::json& doc) {
    TGoodsRig rig(ctx);
    TMemTable& t = rig.BD.mtTOBAP;
    // The whole file is checked before anything is sent; the register's own
    // capacity limits what is written.
    if (const int status = CheckGoodsFile(ctx, path, t); status != CliOk) return status;
    const bool written = rig.Goods.bSaveTOBAPClick();
    const int left = rig.Goods.NotWrittenPastCapacity;
    if (!written && left == 0) return ctx.Fail("writing the goods failed");

    // Read back: every record written must be there as sent, a cleared one gone.
    const int limit = rig.Session.Info()->GetMaxCountGoods();
    const auto expected = RecordsOf(t, limit);
    if (!rig.Goods.bLoadTOBAPClick()) return ctx.Fail("reading the goods back failed");
    const auto kept = RecordsOf(t);
    for (const auto& [code, bytes] : expected) {
        const auto it = kept.find(code);
        const bool cleared = bytes[0] == GoodsTypeNone;
        if (cleared ? it != kept.end() : it == kept.end() || it->second != bytes)
            return ctx.Fail("the register did not keep goods " + std::to_string(code) + " as written");
    }
    doc = {{"records", expected.size()},
           {"serialNumber", rig.Serial()},
           {"confirmed", true},
           {"notWrittenPastCapacity", left}};
    if (left > 0)
        return ctx.Fail(std::to_string(left) + " goods rows past the model's capacity of " + std::to_string(limit) +
                        " were not written");
    return CliOk;
}

void AddGoodsTransferCommands() {
    AddCliCommand({"goods read-all", "--out FILE.dbf|FILE.csv", "the register's whole goods table into a goods exchange file",
                   "Reads every goods record the register holds (one streamed transfer; a progress\n"
                   "bar on a terminal) and writes them to a file of the goods exchange layout:\n"
                   "CODE, TYPE, NAME, NG, PRICE, SECTION, VESOVOY, SHTRIH, ISBLOCK, COUNT; prices\n"
                   "and quantities with the locale's decimal separator. A name ending in .csv (any\n"
                   "case) gives a CSV file (UTF-8 with a byte-order mark, ';', CR LF), any other\n"
                   "a dBase file. An existing file is replaced only once the new one is complete.\n",
                   true, 0, 0, ReadAll});
    AddCliCommand({"goods write-all", "FILE.dbf|FILE.csv", "a goods exchange file's rows into the register",
                   "Writes the rows of a goods exchange file (dBase, or CSV when the name ends in\n"
                   ".csv) to the register in their order, as \"Записать все в ККМ\" does, keeping\n"
                   "the register's sold quantities. The register must be off-line. Rows without\n"
                   "a code are skipped; rows past the model's goods capacity are not written and\n"
                   "end with status 1. Every row is checked first: a row the register cannot\n"
                   "take (a price with a fraction of a kopeck, a barcode that is not digits, a\n"
                   "code outside 1..999999) means nothing is written. The register is read back\n"
                   "afterwards and every written record compared.\n",
                   true, 1, 1, WriteAll});
}

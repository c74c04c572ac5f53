#include "goods/GoodsTransfer.h"

#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "app/TransferState.h"
#include "goods/GoodsRecord.h"
#include "kkm/RegisterSession.h"
#include "settings/Unitbd.h"

#include <cstring>

namespace {

// Runs the clean-up of an operation however it ends.
template <class F>
struct TFinally {
    F f;
    ~TFinally() { f(); }
};
template <class F>
TFinally(F) -> TFinally<F>;

template <class Fn, class... Args>
void Call(const Fn& fn, Args&&... args) {
    if (fn) fn(std::forward<Args>(args)...);
}

constexpr int kAnswerHead = 3;  // 01, command code, result code
constexpr const char* kClearedFields[] = {"Name", "NG", "Price", "Section", "Vesovoy", "Shtrih", "isBlock", "Count"};

bool HasCode(TMemTable& t) { return t.CurrentRow() >= 0 && !t.AsString("Code").empty(); }
bool HasCode(const TRecordRef& row) { return row.Valid() && !row.IsNull("Code"); }

}  // namespace

TGoodsTransfer::TGoodsTransfer(TRegisterSession& session, TBD& bd, TTransferState& transfer)
    : Session(session), BD(bd), Transfer(transfer) {}

bool TGoodsTransfer::Busy() const { return Transfer.TransferRunning || readingOne_; }

void TGoodsTransfer::ShowBusy(bool busy) { Call(View.SetBusy, busy); }

void TGoodsTransfer::TOBAPFromGoods() {
    if (const TKKMInfo* info = Session.Info()) ::TOBAPFromGoods(BD.mtTOBAP, *info);
}

void TGoodsTransfer::TOBAPToGoods() {
    if (TKKMInfo* info = Session.Info()) ::TOBAPToGoods(BD.mtTOBAP, *info);
}

// ------------------------------------------------------------------ read all

bool TGoodsTransfer::bLoadTOBAPClick() {
    // A press during a transfer only asks it to stop; checked before anything
    // that could talk to the register.
    if (Transfer.TransferRunning) {
        Transfer.StopRequested = true;
        return false;
    }
    if (readingOne_) return false;
    Call(View.ShowWait, GoodsWaitMs);
    if (!Session.EnsureConnected()) {
        Call(View.HideWait);
        return false;
    }
    Mess("Загружаем товар...", false, true, true);

    TMemTable& t = BD.mtTOBAP;
    t.EmptyTable();
    Transfer.Begin();
    LastTOBAPCode = 0;
    Session.Protocol.OnData = [this](TKKMPacket& packet, bool& more) { OnTOBAPPacket(packet, more); };
    TFinally cleanup{[this] {
        Session.Protocol.OnData = nullptr;
        Call(View.SetCaption, TGoodsButton::LoadAll, std::string(CaptionLoadTOBAP));
        Call(View.ShowProgress, false);
        ShowBusy(false);
        Transfer.End();
        Call(View.HideWait);
    }};
    Call(View.SetCaption, TGoodsButton::LoadAll, std::string(CaptionStopTransfer));
    Call(View.ShowProgress, true);
    ShowBusy(true);
    if (TFieldDef* price = t.FindField("Price")) price->DisplayFormat = "#0.00";

    // The read of code 1 with the flag set: the register answers with one
    // packet per goods record.
    TKKMPacket request;
    const std::uint8_t head[] = {0x01, 0x10, 0x01, 0x00};
    std::memcpy(request.Data, head, sizeof head);
    request.Length = sizeof head;
    TKKMPacket answer;
    const bool exchanged = Session.Protocol.Exchange(request, answer, true);

    if (!exchanged) {
        Error("Сбой при загрузке товара", false, true, true);
        return false;
    }
    if (Transfer.StopRequested) {
        Warning("Товар частично загружен", false, true, true);
        return false;
    }
    Mess("Товар загружен", false, true, true);
    return true;
}

void TGoodsTransfer::OnTOBAPPacket(TKKMPacket& packet, bool& more) {
    Call(View.ShowWait, GoodsWaitMs);
    TKKMInfo* info = Session.Info();
    Call(View.SetProgressMax, info ? info->GetMaxCountGoods() : 0);
    Call(View.SetProgressPos, Transfer.TransferPos);
    ++Transfer.TransferPos;
    if (ApplicationTerminating() || Transfer.StopRequested) more = false;

    if (!info || packet.Length < kAnswerHead || packet.Data[2] != 0) return;  // no record in this packet
    // A goods packet is exactly one record; anything else (a cut record, a
    // frame of another answer) adds no row.
    if (packet.Length != kAnswerHead + KKMGoodsRecordSize) {
        WT("запись товара неверной длины: " + std::to_string(packet.Length) + " байт", mdFunctional);
        return;
    }
    std::memcpy(info->Goods, packet.Data + kAnswerHead, KKMGoodsRecordSize);
    const auto code = GoodsRecordCode(*info);
    if (!code) {
        WT("запись товара с неверным кодом пропущена", mdFunctional);
        return;
    }
    if (*code <= LastTOBAPCode) {
        // The register went round again: nothing new, the progress starts over.
        Transfer.TransferPos = 0;
        return;
    }
    LastTOBAPCode = *code;
    TMemTable& t = BD.mtTOBAP;
    t.Append();
    ::TOBAPFromGoods(t, *info);
    t.Post();
}

// -------------------------------------------------------------- read current

bool TGoodsTransfer::bLoadOneTOBAPClick() {
    TMemTable& t = BD.mtTOBAP;
    if (!HasCode(t)) return false;
    if (Transfer.TransferRunning) {
        Transfer.StopRequested = true;
        return false;
    }
    if (readingOne_) return false;
    if (!Session.EnsureConnected()) return false;

    readingOne_ = true;
    ShowBusy(true);
    TFinally cleanup{[this] {
        readingOne_ = false;
        ShowBusy(false);
        Transfer.TransferPos = 0;
    }};
    if (!Session.Protocol.GetTOBAP(t.AsInteger("Code"))) return false;  // the command reported why
    t.Edit();
    TOBAPFromGoods();
    t.Post();
    Mess("1 товар загружен", false, true, true);
    return true;
}

// --------------------------------------------------------------------- write

bool TGoodsTransfer::Write(bool all) {
    if (Transfer.TransferRunning) {
        Transfer.StopRequested = true;
        return false;
    }
    if (readingOne_) return false;
    Call(View.ShowWait, GoodsWaitMs);
    // Reconnect, so that the register's mode is fresh.
    Session.Connect();
    if (!Session.IsConnected()) Session.Connect();
    if (!Session.IsConnected() || !Session.Info()) {
        Error("Не удалось подключиться!", true, true, true);
        Call(View.HideWait);
        return false;
    }
    TKKMInfo& info = *Session.Info();
    if (info.Mode != KKMModeOffLine) {
        Error("Запись возможна только в OFF-LINE режиме", true, true, true);
        Call(View.HideWait);
        return false;
    }
    TFinally cleanup{[this] {
        Call(View.SetCaption, TGoodsButton::SaveAll, std::string(CaptionSaveTOBAP));
        Call(View.ShowProgress, false);
        ShowBusy(false);
        Transfer.End();
        Call(View.HideWait);
    }};
    info.SaveGoodsCount = SaveCount;
    TMemTable& t = BD.mtTOBAP;
    // Taken before the post: a row edited out of a search leaves the view.
    const int current = t.TableRowOf(t.CurrentRow());
    t.Post();  // a pending row is written as edited
    const int limit = info.GetMaxCountGoods();

    // The table rows to send, by position in the whole table (whatever a
    // search shows): every row with a code, or the current row.
    std::vector<int> rows;
    if (all) {
        NotWrittenPastCapacity = 0;
        for (int r = 0; r < t.TotalRowCount(); ++r) {
            if (!HasCode(t.TableRecord(r))) continue;
            if (r < limit) rows.push_back(r);
            else ++NotWrittenPastCapacity;
        }
    } else {
        const int r = current;
        if (r >= limit) {
            Warning("Товар не записан: строка " + std::to_string(r + 1) + " за пределами ёмкости модели (" +
                        std::to_string(limit) + ")",
                    false, true, true);
            return false;
        }
        if (!HasCode(t.TableRecord(r))) {
            Warning("Товар не записан: у строки нет кода", false, true, true);
            return false;
        }
        rows.push_back(r);
    }
    if (!CheckRows(rows)) return false;

    Mess("Записываем товар...", false, true, true);
    Transfer.Begin();
    ShowBusy(true);
    Call(View.SetCaption, TGoodsButton::SaveAll, std::string(CaptionStopTransfer));
    Call(View.ShowProgress, true);
    Call(View.SetProgressMax, t.TotalRowCount());
    for (int r : rows) {
        Call(View.ShowWait, GoodsWaitMs);
        Transfer.TransferPos = r + 1;
        ::TOBAPToGoods(t.TableRecord(r), info);
        Call(View.SetProgressPos, Transfer.TransferPos);
        if (Transfer.StopRequested || ApplicationTerminating()) break;
        if (!Session.Protocol.SetTOBAP()) {
            Error("Сбой при записи товара", true, true, true);
            return false;
        }
    }

    if (Transfer.StopRequested) {
        Warning("Товар частично записан", false, true, true);
        return false;
    }
    if (!all) {
        Mess("1 товар записан", false, true, true);
        return true;
    }
    Mess("Товар записан", false, true, true);
    if (NotWrittenPastCapacity > 0) {
        Warning("Не записано товаров сверх ёмкости модели (" + std::to_string(limit) +
                    "): " + std::to_string(NotWrittenPastCapacity),
                false, true, true);
        return false;
    }
    return true;
}

bool TGoodsTransfer::CheckRows(const std::vector<int>& rows) {
    TMemTable& t = BD.mtTOBAP;
    // Every row is checked before anything is sent: a goods table half
    // written to the register is worse than none.
    int bad = 0;
    const auto problem = GoodsRowsProblem(t, rows, bad);
    if (problem) {
        std::string first = *problem;
        if (bad > 1) first += "; строк с ошибками всего: " + std::to_string(bad);
        Error(first + ". В ККМ ничего не записано", true, true, true);
        return false;
    }
    // Name characters the register cannot keep are dropped; the write goes on.
    for (int r : rows) {
        const TRecordRef row = t.TableRecord(r);
        const std::string lost = GoodsNameLostChars(row.AsString("Name"));
        if (!lost.empty())
            Warning("Товар с кодом " + row.AsString("Code") + ": знаки " + lost +
                        " в наименовании ККМ не хранит, они будут опущены",
                    false, true, true);
    }
    return true;
}

// ------------------------------------------------------------- add and clear

bool TGoodsTransfer::bAddTOBAPClick() {
    if (Busy()) return false;
    TMemTable& t = BD.mtTOBAP;
    const TKKMInfo* info = Session.Info();
    if (info && t.RecordCount() >= info->GetMaxCountGoods()) return false;
    return t.Append();
}

bool TGoodsTransfer::bDelTOBAPClick() {
    TMemTable& t = BD.mtTOBAP;
    if (Busy() || t.CurrentRow() < 0) return false;
    t.Edit();
    t.SetValue("Type", GoodsTypeNone);
    for (const char* field : kClearedFields) t.SetNull(field);
    return t.Post();
}

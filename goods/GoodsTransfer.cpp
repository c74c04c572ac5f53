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
    Mess("Записываем товар...", false, true, true);
    Transfer.Begin();
    TFinally cleanup{[this] {
        Call(View.SetCaption, TGoodsButton::SaveAll, std::string(CaptionSaveTOBAP));
        Call(View.ShowProgress, false);
        ShowBusy(false);
        Transfer.End();
        Call(View.HideWait);
    }};
    info.SaveGoodsCount = SaveCount;

    TMemTable& t = BD.mtTOBAP;
    if (all) t.First();
    t.Post();  // a pending row is written as edited
    ShowBusy(true);
    Call(View.SetCaption, TGoodsButton::SaveAll, std::string(CaptionStopTransfer));
    Call(View.ShowProgress, true);
    Call(View.SetProgressMax, t.RecordCount());
    const int limit = info.GetMaxCountGoods();
    if (all) NotWrittenPastCapacity = 0;

    bool sentOne = false;
    bool pastCapacity = false;
    while (t.CurrentRow() >= 0 && !(all && t.Eof())) {
        const int rowNo = t.RecNo();
        if (rowNo > limit) {
            pastCapacity = true;
            if (all)
                for (; !t.Eof(); t.Next()) NotWrittenPastCapacity += HasCode(t) ? 1 : 0;
            break;
        }
        Call(View.ShowWait, GoodsWaitMs);
        if (HasCode(t)) {
            Transfer.TransferPos = rowNo;
            if (auto problem = GoodsRowProblem(t)) {
                Error(*problem, true, true, true);
                return false;
            }
            ::TOBAPToGoods(t, info);
            Call(View.SetProgressPos, Transfer.TransferPos);
            if (Transfer.StopRequested || ApplicationTerminating()) break;
            if (!Session.Protocol.SetTOBAP()) {
                Error("Сбой при записи товара", true, true, true);
                return false;
            }
            sentOne = true;
        }
        if (!all) break;
        t.Next();
    }

    if (Transfer.StopRequested) {
        Warning("Товар частично записан", false, true, true);
        return false;
    }
    if (all) {
        Mess("Товар записан", false, true, true);
        if (NotWrittenPastCapacity > 0) {
            Warning("Не записано товаров сверх ёмкости модели (" + std::to_string(limit) +
                        "): " + std::to_string(NotWrittenPastCapacity),
                    false, true, true);
            return false;
        }
        return true;
    }
    if (sentOne) {
        Mess("1 товар записан", false, true, true);
        return true;
    }
    if (pastCapacity)
        Warning("Товар не записан: строка " + std::to_string(t.RecNo()) + " за пределами ёмкости модели (" +
                    std::to_string(limit) + ")",
                false, true, true);
    else
        Warning("Товар не записан: у строки нет кода", false, true, true);
    return false;
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

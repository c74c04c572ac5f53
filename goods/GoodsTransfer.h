// What the buttons of the "Товары и Услуги" page do with the register: read
// all goods (one streamed exchange), read the current row's goods, write all
// rows or the current one, add and clear rows. The page only draws; it hears
// about progress and captions through View.
//
// Transfers (read all, write all, write current) use the shared transfer
// state: while one runs, pressing any of these buttons only asks it to stop.
// Reading the current row does not set TransferRunning; while it runs the
// other operations start nothing either (Busy()).
#pragma once
#include "link/U_protocolkkm.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TBD;
class TMemTable;
class TRegisterSession;
struct TTransferState;

constexpr const char* CaptionLoadTOBAP = "Считать все из ККМ";
constexpr const char* CaptionSaveTOBAP = "Записать все в ККМ";
constexpr const char* CaptionStopTransfer = "Остановить";
// Self-hide time of the progress window, renewed for every packet or row.
constexpr int GoodsWaitMs = 2000;
// The register's "off-line" mode: the only one in which goods can be written.
constexpr std::uint8_t KKMModeOffLine = 2;

enum class TGoodsButton { LoadAll, SaveAll };

// What the page shows of a running operation. Unset members are skipped.
struct TGoodsView {
    // The progress window: shown (again) with its self-hide time, and hidden.
    std::function<void(int intervalMs)> ShowWait;
    std::function<void()> HideWait;
    std::function<void(bool visible)> ShowProgress;
    std::function<void(int maximum)> SetProgressMax;
    std::function<void(int position)> SetProgressPos;
    std::function<void(TGoodsButton button, const std::string& caption)> SetCaption;
    // True while the register is being talked to: the page keeps the grid
    // and the row buttons still, so the cursor stays where the operation needs it.
    std::function<void(bool busy)> SetBusy;
};

class TGoodsTransfer {
public:
    TGoodsTransfer(TRegisterSession& session, TBD& bd, TTransferState& transfer);
    TGoodsTransfer(const TGoodsTransfer&) = delete;
    TGoodsTransfer& operator=(const TGoodsTransfer&) = delete;

    TRegisterSession& Session;
    TBD& BD;
    TTransferState& Transfer;
    TGoodsView View;

    // State of the check box "При записи сохранять кол-во"; copied to
    // SaveGoodsCount before each write.
    bool SaveCount = true;
    // During a read all: the highest goods code added so far.
    std::int32_t LastTOBAPCode = 0;
    // Rows of the last write all not sent because they lie past the model's
    // goods capacity (rows without a code are not counted). A write all
    // takes every row of the table, whatever a search shows, and checks them
    // all before it sends the first.
    int NotWrittenPastCapacity = 0;

    // Something is talking to the register (a transfer or a single read).
    bool Busy() const;

    // The current row of mtTOBAP (in edit or insert state) from the device
    // image's goods record, and the other way round.
    void TOBAPFromGoods();
    void TOBAPToGoods();
    // The read-all packet handler (TProtocolKKM::OnData).
    void OnTOBAPPacket(TKKMPacket& packet, bool& more);

    // Each returns true when the whole operation was done; false when it
    // failed, was stopped, refused, or only asked a running transfer to stop.
    bool bLoadTOBAPClick();
    bool bLoadOneTOBAPClick();
    bool bSaveTOBAPClick() { return Write(true); }
    bool bSaveOneTOBAPClick() { return Write(false); }
    // Appends an empty row in insert state, unless the table already holds
    // the connected model's goods capacity.
    bool bAddTOBAPClick();
    // Clears the current row: Type 0, Name..Count empty; the code stays.
    bool bDelTOBAPClick();

private:
    bool Write(bool all);
    // Checks the table rows before a write: a bad row stops it with an error
    // box; name characters the register drops get a warning line each.
    bool CheckRows(const std::vector<int>& rows);
    void ShowBusy(bool busy);
    bool readingOne_ = false;
};

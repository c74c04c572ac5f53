// The two streamed transfers as rows of the matrix: the goods page's read
// of all goods and the journal page's read of the journal, each as its
// button runs it. What they leave is the goods table and the two text
// areas; a transfer that fails keeps what had arrived, so a failure may
// leave the first part of the whole, in order, and nothing else.
#include "FaultMatrix.h"

#include "goods/GoodsTransfer.h"
#include "journal/JournalReader.h"

#include <algorithm>

namespace faults {

namespace {

std::vector<std::string> SplitLines(const std::string& s) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < s.size()) {
        const std::size_t end = std::min(s.find('\n', start), s.size());
        lines.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Every line of got is in whole, in the same order.
bool InOrderWithin(const std::string& got, const std::string& whole) {
    const auto a = SplitLines(got), b = SplitLines(whole);
    std::size_t j = 0;
    for (const auto& line : a) {
        while (j < b.size() && b[j] != line) ++j;
        if (j == b.size()) return false;
        ++j;
    }
    return true;
}

// The journal page's text areas, one line per line.
class TJournalView : public IMagazineView {
public:
    explicit TJournalView(TFaultRig& rig) : rig_(rig) {}
    void ClearMagazine() override { rig_.JournalSource.clear(), rig_.JournalText.clear(); }
    void AddMagazineLines(const std::string& source, const std::string& text) override {
        rig_.JournalSource += source;
        rig_.JournalText += text;
    }

private:
    TFaultRig& rig_;
};

std::string Unix(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

// The source lines, then the receipt text, marked apart.
std::string JournalLocal(TFaultRig& rig) {
    return "source:\n" + Unix(rig.JournalSource) + "text:\n" + Unix(rig.JournalText);
}

// Both parts of got are first parts of whole's.
bool JournalPrefix(const std::string& got, const std::string& whole) {
    const auto split = [](const std::string& s) {
        const std::size_t t = s.find("text:\n");
        return std::pair{s.substr(0, t), t == std::string::npos ? std::string() : s.substr(t)};
    };
    const auto [gs, gt] = split(got);
    const auto [ws, wt] = split(whole);
    return ws.compare(0, gs.size(), gs) == 0 && wt.compare(0, gt.size(), gt) == 0;
}

// The answer the simulator's "big" fault streams instead of the register's.
std::vector<std::uint8_t> OversizeAnswer(std::uint8_t command, int bytes) {
    std::vector<std::uint8_t> a{0x01, command, 0x00};
    for (int i = 3; i < bytes; ++i) a.push_back(static_cast<std::uint8_t>(i));
    return a;
}

bool ReadJournal(TFaultRig& rig) {
    TJournalView view(rig);
    TMagazineReader reader(rig.Session.Protocol, [&rig] { return rig.Session.EnsureConnected(); }, rig.Transfer, view);
    return reader.Read() == TMagazineReadResult::Loaded;
}

}  // namespace

std::vector<TMatrixRow> StreamRows() {
    const TSimRegister content = TSimRegister::Default();
    std::vector<TMatrixRow> rows;

    TMatrixRow goods;
    goods.Name = "goods read-all";
    goods.Kind = TRowKind::Stream;
    goods.Frames = static_cast<int>(content.Goods.size());
    goods.SetUp = [](TSimState&, TKKMInfo&) {};
    goods.Run = [](TFaultRig& rig) {
        TGoodsTransfer transfer(rig.Session, rig.BD, rig.Transfer);
        return transfer.bLoadTOBAPClick();
    };
    goods.Local = [](TFaultRig& rig) { return TableText(rig.BD.mtTOBAP); };
    goods.PartOf = InOrderWithin;
    // A packet of another length than 01 10, the result code and 64 record
    // bytes is no goods record: an answer of this kind adds no row.
    goods.OversizeResult = [](int) { return std::string(); };
    rows.push_back(goods);

    TMatrixRow journal;
    journal.Name = "journal read";
    journal.Kind = TRowKind::Stream;
    journal.Frames = static_cast<int>(SimJournalPackets(content.Journal).size());
    journal.SetUp = [](TSimState&, TKKMInfo&) {};
    journal.Run = ReadJournal;
    journal.Local = JournalLocal;
    journal.PartOf = JournalPrefix;
    journal.Count = [](const std::string& local) {  // source lines
        const std::size_t t = local.find("text:\n");
        return static_cast<int>(std::count(local.begin(), local.begin() + static_cast<long>(t), '\n')) - 1;
    };
    // Whatever the register streams is shown as it decodes: the same as a
    // clean line carrying that answer.
    journal.OversizeResult = [](int bytes) {
        TFaultRig rig(false);
        std::string error;
        TSimState state;
        if (!rig.Start(state, BaselineImage(), error)) return "the simulator did not start: " + error;
        rig.Sim.PrepareAnswer(OversizeAnswer(0x0F, bytes));
        ReadJournal(rig);
        return JournalLocal(rig);
    };
    rows.push_back(journal);
    return rows;
}

}  // namespace faults

// The register commands as rows of the matrix. Reads start from an image
// that differs from the register everywhere, so that an answer stored is
// seen; writes send an image that differs from the register, so that a
// write applied is seen.
#include "FaultMatrix.h"

#include "kkm/Typessimpledata.h"

namespace faults {

namespace {

using TCommand = bool (*)(TProtocolKKM&);

TMatrixRow Command(std::string name, TCommand command, TRowKind kind = TRowKind::Command, bool maskTime = false) {
    TMatrixRow row;
    row.Name = std::move(name);
    row.Kind = kind;
    row.SetUp = [](TSimState&, TKKMInfo&) {};
    row.Run = [command](TFaultRig& rig) { return command(rig.Session.Protocol); };
    row.Local = [maskTime](TFaultRig& rig) { return ImageText(rig.Info(), maskTime); };
    return row;
}

// A goods record the register does not hold yet.
void NewGoodsRecord(TKKMInfo& image) {
    TSimGoods g;
    g.Name = "Новый товар";
    g.Price = 12345;
    g.TaxGroup = 2;
    g.Section = 3;
    g.Barcode = "4601234567893";
    const auto record = SimGoodsRecord(77, g);
    std::copy(record.begin(), record.end(), image.Goods);
    image.SaveGoodsCount = true;
}

}  // namespace

std::vector<TMatrixRow> CommandRows() {
    std::vector<TMatrixRow> rows;
    rows.push_back(Command("GetKKMInfo", [](TProtocolKKM& l) { return l.GetKKMInfo(); }));
    // The register's clock moves on between runs: the time is left out of
    // the comparison, the date (and every other field) is not.
    rows.push_back(Command("GetDateTime", [](TProtocolKKM& l) { return l.GetDateTime(); }, TRowKind::Command, true));
    rows.push_back(Command("GetOptions", [](TProtocolKKM& l) { return l.GetOptions(); }));
    rows.push_back(Command("SetOptions", [](TProtocolKKM& l) { return l.SetOptions(); }));
    rows.push_back(Command("GetTax(2)", [](TProtocolKKM& l) { return l.GetTax(2); }));
    rows.push_back(Command("GetTitle(1)", [](TProtocolKKM& l) { return l.GetTitle(1); }));
    rows.push_back(Command("SetTitle(2)", [](TProtocolKKM& l) { return l.SetTitle(2); }));
    rows.push_back(Command("GetFooter(6)", [](TProtocolKKM& l) { return l.GetFooter(6); }));
    rows.push_back(Command("SetFooter(3)", [](TProtocolKKM& l) { return l.SetFooter(3); }));
    rows.push_back(Command("GetDepatment(2)", [](TProtocolKKM& l) { return l.GetDepatment(2); }));
    rows.push_back(Command("SetDepatment(3)", [](TProtocolKKM& l) { return l.SetDepatment(3); }));
    // The register answers a single goods read in the pass after its
    // acknowledgement.
    rows.push_back(Command("GetTOBAP(5)", [](TProtocolKKM& l) { return l.GetTOBAP(5); }, TRowKind::SecondPass));
    TMatrixRow setGoods = Command("SetTOBAP", [](TProtocolKKM& l) { return l.SetTOBAP(); });
    setGoods.SetUp = [](TSimState& s, TKKMInfo& image) {
        s.Identity.Mode = 2;  // goods are written off-line only
        NewGoodsRecord(image);
    };
    rows.push_back(setGoods);
    return rows;
}

}  // namespace faults

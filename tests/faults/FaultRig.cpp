// The computer's side of a matrix case, and the texts the cases compare.
#include "FaultMatrix.h"

#include "lang/U_language.h"

#include <sstream>
#include <unistd.h>

namespace faults {

TSimOptions TFaultRig::Unpaced(bool echo) {
    TSimOptions o;
    o.Speed = 0;
    o.Echo = echo;
    return o;
}

TFaultRig::TFaultRig(bool portTimeouts, bool echo) : Sim(Unpaced(echo)) {
    // A silent register is noticed by the port's read time-out; where that
    // is not the point, a shorter one keeps the matrix quick.
    if (!portTimeouts) Session.ComPort.ReadTotalTimeoutConstant = 50;
    BD.InfoSource = [this] { return Session.Info(); };
}

TFaultRig::~TFaultRig() {
    Session.ComPort.Close();
    Sim.Stop();
}

bool TFaultRig::Start(const TSimState& state, const TKKMInfo& image, std::string& error) {
    if (!Sim.Start(error)) return false;
    Sim.SetState(state);
    Session.ComPort.SetDevicePath(Sim.DevicePath());
    Session.KKM.NetNumber = static_cast<std::uint8_t>(state.NetNumber);
    Session.KKM.Info = std::make_shared<TKKMInfo>(image);
    if (!Session.ComPort.Open()) {
        error = "the port of the simulator does not open";
        return false;
    }
    return true;
}

void TFaultRig::Settle() const { usleep(40000); }

std::string TFaultRig::SimText() const { return Sim.State().ToJson().dump(); }

TKKMInfo BaselineImage() {
    TKKMInfo info;
    info.Version = "ver012";
    info.CfgSuffix = "000000";
    info.LoadModelConfig();
    info.Model = "СТАРАЯ МОДЕЛЬ";
    info.SerialNumber = "000000000001";
    info.Mode = 0;
    info.DateText = "01.01.00";
    info.TimeText = "00:00:00";
    info.OptionCount = 32;
    for (int i = 0; i < KKMOptionCount; ++i) info.OptionValues[i] = static_cast<std::uint8_t>(200 + i % 50);
    for (int i = 0; i < KKMDepCount; ++i) {
        TDepRec& d = info.Deps[i];
        d.Kind = 0xA1;  // goods
        d.Status = LangStr(45);
        d.Name = "Старый отдел " + std::to_string(i + 1);
        d.NG = "E";
        d.Price = 99.99;
    }
    for (int i = 0; i < KKMTaxCount; ++i) {
        TTaxRec& t = info.Taxes[i];
        t.Defined = 0xAA;
        t.Type = 7;
        t.Name = "Старый " + std::to_string(i + 1);
        t.Percent = 1.11;
    }
    for (int i = 0; i < KKMLineCount; ++i) {
        info.Title[i] = "старый заголовок " + std::to_string(i + 1);
        info.Footer[i] = "старое окончание " + std::to_string(i + 1);
    }
    info.TitleFont = 7;
    info.FooterFont = 7;
    for (int i = 0; i < KKMGoodsRecordSize; ++i) info.Goods[i] = 0x11;
    return info;
}

std::string ImageText(const TKKMInfo& info, bool maskTime) {
    std::ostringstream s;
    s << "model=" << info.Model << " sn=" << info.SerialNumber << " ver=" << info.Version << " mode=" << int(info.Mode)
      << " date=" << info.DateText << " time=" << (maskTime ? "*" : info.TimeText) << " cfg=" << info.CfgSuffix
      << " deps=" << info.maxCountDepat << " fonts=" << info.maxCountFont << " goods=" << info.maxCountGoods << "\n";
    for (int i = 0; i < KKMOptionCount; ++i) {
        const TOptionsInfo& o = info.Options[i];
        s << "opt" << i + 1 << "=" << o.Min << "," << o.Max << "," << o.Def << "," << o.LeadingZero << "," << o.Caption
          << "\n";
    }
    s << "options(" << int(info.OptionCount) << ")=";
    for (int i = 0; i < KKMOptionCount; ++i) s << int(info.OptionValues[i]) << " ";
    s << "\n";
    for (const TDepRec& d : info.Deps)
        s << "dep=" << int(d.Kind) << "," << d.Status << "," << d.Name << "," << d.NG << "," << d.Price << "\n";
    for (const TTaxRec& t : info.Taxes)
        s << "tax=" << int(t.Defined) << "," << int(t.Type) << "," << t.Name << "," << t.Percent << "\n";
    for (const auto& l : info.Title) s << "title=" << l << "\n";
    for (const auto& l : info.Footer) s << "footer=" << l << "\n";
    s << "fonts=" << int(info.TitleFont) << "," << int(info.FooterFont) << " keep=" << info.SaveGoodsCount << "\ngoods=";
    for (std::uint8_t b : info.Goods) s << int(b) << " ";
    return s.str();
}

std::string TableText(TMemTable& t) {
    std::string out;
    for (int r = 0; r < t.RecordCount(); ++r) {
        for (int f = 0; f < t.FieldCount(); ++f) out += (f ? "|" : "") + t.VisibleValue(r, f).AsString();
        out += "\n";
    }
    return out;
}

}  // namespace faults

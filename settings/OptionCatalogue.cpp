#include "settings/OptionCatalogue.h"

#include "app/TextCodec.h"
#include "kkm/U_kkms.h"
#include "settings/Unitbd.h"

std::string OptionCaption(int n, const TKKMInfo* info) {
    if (info) return info->GetOptionCaption(n);
    if (n < 1 || n > KKMOptionCount) return {};
    const char* caption = DefaultOptions[static_cast<std::size_t>(n - 1)].Caption;
    return caption ? caption : "";
}

std::string OptionRangeText(const TFieldValue& min, const TFieldValue& max, const TFieldValue& canNul) {
    std::string minText = min.AsString();
    std::string text = minText + " - " + max.AsString();
    if (!canNul.IsNull() && canNul.AsInteger() != 0 && minText != "0") text = "0; " + text;
    return text;
}

void mtOptionsCalcFields(TRecordRef row, const TKKMInfo* info) {
    int n = row.AsInteger("num");
    row.SetCalcValue("Captions", Utf8Left(OptionCaption(n, info), OptionCaptionWidth));
    row.SetCalcValue("Diapazon",
                     Utf8Left(OptionRangeText(row.Value("Min"), row.Value("Max"), row.Value("CanNul")), OptionRangeWidth));
}

void SetDefaultOptions(TBD& bd) {
    TMemTable& t = bd.mtOptions;
    const TKKMInfo* info = bd.DeviceImage();
    t.DisableControls();
    TBD::ClearRows(t);
    int count = info ? info->GetOptionCount() : 32;
    for (int n = 1; n <= count; ++n) {
        t.Append();  // LN comes from the current profile
        t.SetValue("num", n);
        if (info) {
            auto [min, max] = info->GetOptionRange(n);
            t.SetValue("Min", min);
            t.SetValue("Max", max);
            t.SetValue("CanNul", info->Options[n - 1].LeadingZero ? 1 : 0);
            t.SetValue("Value", info->GetOptionDef(n));
        } else {
            const TDefaultOption& d = DefaultOptions[static_cast<std::size_t>(n - 1)];
            t.SetValue("Min", d.Min & 0xFF);
            t.SetValue("Max", d.Max & 0xFF);
            t.SetValue("CanNul", 0);
            t.SetValue("Value", d.Def);
        }
        t.Post();
    }
    t.EnableControls();
}

bool OptionOutOfRange(TRecordRef row) {
    int value = row.AsInteger("Value");
    TFieldValue canNul = row.Value("CanNul");
    if (!canNul.IsNull() && canNul.AsInteger() != 0 && value == 0) return false;
    return value < row.AsInteger("Min") || value > row.AsInteger("Max");
}

bool OptionDiffers(TRecordRef row, const TBD& bd) {
    int n = row.AsInteger("num");
    if (n < 1 || n > SnapshotSize) return false;  // no snapshot entry to compare with
    int value = row.AsInteger("Value");
    if (row.AsString("LN") == RegisterProfileKey)
        return bd.HasSavedProfile && value != TBD::SnapshotValue(bd.SavedValues, n);
    return value != TBD::SnapshotValue(bd.KKMValues, n);
}

// The views of the register's fields turning display text into field bytes:
// each view's FromStr and FromHexStr over a field of any width (the widths
// the register uses and wrong ones), the field starting with bytes from the
// input. The field lives in a buffer of exactly its width, so any byte
// written or read outside it is caught.
//
// Checked besides memory safety: a failed FromStr leaves the field as it was,
// and dates, times and numbers read back as the text they were set from.
#include "FuzzSupport.h"
#include "kkm/Typessimpledata.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<TBaseTypeKKM> MakeView(int kind, std::uint8_t* data, int size) {
    switch (kind) {
        case 0: { auto v = std::make_unique<TDateKKM>(data); v->Size = size; return v; }
        case 1: { auto v = std::make_unique<TTimeKKM>(data); v->Size = size; return v; }
        case 2: return std::make_unique<TNumberKKM>(data, size);
        case 3: return std::make_unique<THEXKKM>(data, size);
        default: return std::make_unique<TBinKKM>(data, size);
    }
}

std::string WithoutLeadingZeros(const std::string& digits) {
    const std::string t = TrimLeftChar(digits, '0');
    return t.empty() ? "0" : t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::TInput in(data, size);
    const std::uint8_t head = in.Byte();
    const int kind = head % 5;
    // Mostly the view's own width (3 for dates, 2 for times), any 0..15 else.
    const int natural = kind == 0 ? 3 : kind == 1 ? 2 : 1 + (head >> 4) % 10;
    const int width = (head & 0x08) ? (head >> 4) : natural;
    std::vector<std::uint8_t> field(static_cast<std::size_t>(width));
    for (auto& b : field) b = in.Byte();
    const std::string text = in.Rest();

    // A zero-width field has no bytes at all: the view gets a null pointer.
    std::uint8_t* bytes = field.empty() ? nullptr : field.data();
    auto view = MakeView(kind, bytes, width);
    (void)view->ToStr();
    (void)view->IsValid();
    (void)BinToInt(*view);
    (void)BytesToHexStr(*view, ", ");

    const std::vector<std::uint8_t> before = field;
    const bool parsed = view->FromStr(text);
    if (!parsed && field != before) __builtin_trap();
    if (parsed) {
        const std::string shown = view->ToStr();
        if ((kind == 0 || kind == 1) && !shown.empty() && shown != text) __builtin_trap();
        if (kind == 2 && shown != WithoutLeadingZeros(text)) __builtin_trap();
        if (kind == 2 && !view->IsValid()) __builtin_trap();
    }
    const std::vector<std::uint8_t> beforeHex = field;
    if (!view->FromHexStr(text) && field != beforeHex) __builtin_trap();
    (void)view->ToStr();

    std::vector<std::uint8_t> copy(field.size());
    view->Data = copy.empty() ? nullptr : copy.data();
    (void)view->Assign(bytes);
    if (copy != field) __builtin_trap();
    view->Clear();

    // Register text fields: the text into a field of this width and back.
    std::vector<std::uint8_t> textField(field.size());
    StrToBytes(textField.empty() ? nullptr : textField.data(), text, width);
    (void)BytesToStr(textField.empty() ? nullptr : textField.data(), width);
    std::uint8_t bcd = 0;
    (void)StrToBCDByte(text, bcd);
    return 0;
}

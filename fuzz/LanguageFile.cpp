// Any bytes as a language file (code page 1251 lines, ";" starts a comment).
//
// Checked besides memory safety: every one of the 256 codes of both code
// pages survives the trip to UTF-8 and back, so a language or table file
// read and written again keeps its bytes.
#include "FuzzSupport.h"
#include "app/TextCodec.h"
#include "lang/U_language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TLangResStrHandler table;
    table.ParseLanguageFile(bytes);
    std::size_t total = 0;
    for (const auto& s : table.Strings) total += Cp1251Length(s);
    (void)total;

    if (Utf8ToCp1251(Cp1251ToUtf8(bytes)) != bytes) __builtin_trap();
    if (Utf8ToCp(CpToUtf8(bytes, TCodePage::cp866), TCodePage::cp866) != bytes) __builtin_trap();
    // Arbitrary bytes taken as UTF-8 give one code page byte per character.
    if (Utf8ToCp1251(bytes).size() != Cp1251Length(bytes)) __builtin_trap();
    (void)Utf8Left(bytes, size / 2);
    return 0;
}

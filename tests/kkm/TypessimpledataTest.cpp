#include "kkm/Typessimpledata.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& b) {
    Bytes copy = b;
    THEXKKM v(copy.data(), static_cast<std::int32_t>(copy.size()));
    return v.ToStr();
}

}  // namespace

TEST(DateView, ShowsBytesAsDayMonthYearWithoutCalendarCheck) {
    Bytes b = {0x31, 0x02, 0x26};
    TDateKKM d(b.data());
    EXPECT_EQ(d.ToStr(), "31.02.26");
    EXPECT_FALSE(d.IsValid());
    b = {0x08, 0x12, 0x26};
    EXPECT_EQ(d.ToStr(), "08.12.26");
    EXPECT_TRUE(d.IsValid());
}

TEST(DateView, UnfilledOrZeroBytesShowAsEmptyText) {
    Bytes b = {0x00, 0x01, 0x26};
    TDateKKM d(b.data());
    EXPECT_EQ(d.ToStr(), "");
    EXPECT_FALSE(d.IsValid());
    b = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(d.ToStr(), "");
}

TEST(DateView, ViewNotSetUpShowsEr) {
    TDateKKM unset;
    EXPECT_EQ(unset.Size, 0);
    EXPECT_EQ(unset.Data, nullptr);
    EXPECT_EQ(unset.ToStr(), "er");
    EXPECT_FALSE(unset.FromStr("08.12.26"));
    Bytes b = {1, 2, 3, 4};
    TDateKKM wrongSize(b.data());
    wrongSize.Size = 4;
    EXPECT_EQ(wrongSize.ToStr(), "er");
}

TEST(DateView, ParsesOnlyRealCalendarDates) {
    Bytes b = {0xFF, 0xFF, 0xFF};
    TDateKKM d(b.data());
    EXPECT_TRUE(d.FromStr("29.02.24"));
    EXPECT_EQ(b, (Bytes{0x29, 0x02, 0x24}));
    for (const char* bad : {"29.02.25", "8.12.26", "08-12-26", "31.04.26", "00.01.26", "01.13.26", "aa.bb.cc", ""}) {
        EXPECT_FALSE(d.FromStr(bad)) << bad;
        EXPECT_EQ(b, (Bytes{0x29, 0x02, 0x24})) << "refused text must leave the field: " << bad;
    }
    EXPECT_TRUE(d.FromStr("31.12.99"));
    EXPECT_EQ(b, (Bytes{0x31, 0x12, 0x99}));
}

TEST(DateView, NonDecimalBytesAreNotAValidDate) {
    // 0x1A would read as day 20 if the nibbles were not checked.
    Bytes b = {0x1A, 0x01, 0x26};
    TDateKKM d(b.data());
    EXPECT_EQ(d.ToStr(), "1A.01.26");
    EXPECT_FALSE(d.IsValid());
}

TEST(TimeView, ShowsAndParses) {
    Bytes b = {0x09, 0x05};
    TTimeKKM t(b.data());
    EXPECT_EQ(t.ToStr(), "09:05");
    EXPECT_TRUE(t.IsValid());
    EXPECT_TRUE(t.FromStr("24:00"));
    EXPECT_EQ(b, (Bytes{0x24, 0x00}));
    for (const char* bad : {"24:01", "7:05", "23:60", "12.00", "12:000", "ab:cd"}) {
        EXPECT_FALSE(t.FromStr(bad)) << bad;
        EXPECT_EQ(b, (Bytes{0x24, 0x00})) << bad;
    }
    EXPECT_TRUE(t.FromStr("23:59"));
    EXPECT_EQ(b, (Bytes{0x23, 0x59}));
}

TEST(TimeView, ZeroByteIsShownButNotValidAndFFIsEmpty) {
    Bytes b = {0x12, 0x00};
    TTimeKKM t(b.data());
    EXPECT_EQ(t.ToStr(), "12:00");
    EXPECT_FALSE(t.IsValid());
    b = {0x12, 0xFF};
    EXPECT_EQ(t.ToStr(), "");
    TTimeKKM unset;
    EXPECT_EQ(unset.ToStr(), "er");
}

TEST(NumberView, StoresDigitPairsFromTheEnd) {
    Bytes b(5, 0xEE);
    TNumberKKM n(b.data(), 5);
    EXPECT_TRUE(n.FromStr("12345"));
    EXPECT_EQ(b, (Bytes{0x45, 0x23, 0x01, 0x00, 0x00}));
    EXPECT_EQ(n.ToStr(), "12345");
    EXPECT_TRUE(n.FromStr("9999999999"));
    EXPECT_EQ(n.ToStr(), "9999999999");
}

TEST(NumberView, RefusesTooLongEmptyAndNonDigitText) {
    Bytes b = {0x34, 0x12};
    TNumberKKM n(b.data(), 2);
    for (const char* bad : {"12345", "", "12a", "-1", " 12"}) {
        EXPECT_FALSE(n.FromStr(bad)) << bad;
        EXPECT_EQ(b, (Bytes{0x34, 0x12})) << bad;
    }
    EXPECT_TRUE(n.FromStr("0"));
    EXPECT_EQ(b, (Bytes{0x00, 0x00}));
    EXPECT_EQ(n.ToStr(), "0");
    EXPECT_TRUE(n.FromStr("7"));
    EXPECT_EQ(b, (Bytes{0x07, 0x00}));
    EXPECT_EQ(n.ToStr(), "7");
}

TEST(NumberView, BadBCDShowsItsLettersAndIsNotValid) {
    Bytes b = {0x0A, 0x00};
    TNumberKKM n(b.data(), 2);
    EXPECT_EQ(n.ToStr(), "A");
    EXPECT_FALSE(n.IsValid());
    b = {0x00, 0x20, 0x00, 0x00, 0x00};
    TNumberKKM q(b.data(), 5);
    EXPECT_EQ(q.ToStr(), "2000");
    EXPECT_TRUE(q.IsValid());
    TNumberKKM unset;
    EXPECT_EQ(unset.ToStr(), "er");
    EXPECT_FALSE(unset.FromStr("1"));
}

TEST(HexView, ShowsUpperCasePairsSeparatedByBlanks) {
    EXPECT_EQ(Hex({0x01, 0xAB, 0xFF}), "01 AB FF");
    THEXKKM unset;
    EXPECT_EQ(unset.ToStr(), "");
    EXPECT_FALSE(unset.IsValid());
}

TEST(HexView, ParsesDigitsSkippingEverythingElse) {
    Bytes b = {9, 9, 9};
    THEXKKM h(b.data(), 3);
    EXPECT_TRUE(h.FromStr("1 2 3"));
    EXPECT_EQ(b, (Bytes{0x01, 0x23, 0x00}));
    EXPECT_TRUE(h.FromStr("ab-CD"));
    EXPECT_EQ(b, (Bytes{0xAB, 0xCD, 0x00}));
    b = {9, 9, 9};
    EXPECT_TRUE(h.FromStr("zz"));  // accepted: no digits, field cleared
    EXPECT_EQ(b, (Bytes{0, 0, 0}));
    b = {9, 9, 9};
    EXPECT_FALSE(h.FromStr("0123456789"));
    EXPECT_FALSE(h.FromStr(""));
    EXPECT_EQ(b, (Bytes{9, 9, 9}));
}

TEST(BinView, SmallFieldsAreLittleEndianIntegers) {
    Bytes b = {0, 0};
    TBinKKM v(b.data(), 2);
    EXPECT_TRUE(v.FromStr("258"));
    EXPECT_EQ(b, (Bytes{0x02, 0x01}));
    EXPECT_EQ(v.ToStr(), "258");
    EXPECT_TRUE(v.FromStr("70000"));  // keeps the two low bytes
    EXPECT_EQ(b, (Bytes{0x70, 0x11}));
    EXPECT_TRUE(v.FromStr("-1"));
    EXPECT_EQ(b, (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(v.ToStr(), "65535");
    for (const char* bad : {"", "12x", "0x10", "99999999999999999999"}) {
        EXPECT_FALSE(v.FromStr(bad)) << bad;
        EXPECT_EQ(b, (Bytes{0xFF, 0xFF})) << bad;
    }
}

TEST(BinView, EightByteFieldWithTopBitIsNegativeAndWideFieldsAreHex) {
    Bytes b(8, 0xFF);
    TBinKKM v(b.data(), 8);
    EXPECT_EQ(v.ToStr(), "-1");
    Bytes w = {1, 2, 3, 4, 5, 6, 7, 8, 0xA9};
    TBinKKM wide(w.data(), 9);
    EXPECT_EQ(wide.ToStr(), "01 02 03 04 05 06 07 08 A9");
    EXPECT_TRUE(wide.FromStr("ff"));
    EXPECT_EQ(w, (Bytes{0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BaseView, AssignAndClear) {
    Bytes b = {1, 2, 3};
    const Bytes src = {7, 8, 9};
    THEXKKM v(b.data(), 3);
    EXPECT_TRUE(v.Assign(src.data()));
    EXPECT_EQ(b, src);
    EXPECT_FALSE(v.Assign(nullptr));
    v.Clear();
    EXPECT_EQ(b, (Bytes{0xFF, 0xFF, 0xFF}));
    THEXKKM empty(b.data(), 0);
    EXPECT_FALSE(empty.Assign(src.data()));
    THEXKKM unset;
    EXPECT_FALSE(unset.Assign(src.data()));
    unset.Clear();  // nothing to fill
}

TEST(TextHelpers, BytesToStrStopsAtNulOrMaxAndConvertsToUtf8) {
    const std::uint8_t field[] = {0xCA, 0xE0, 0xF1, 0xF1, 0xE0, 0x00, 'x'};
    EXPECT_EQ(BytesToStr(field, 7), "Касса");
    EXPECT_EQ(BytesToStr(field, 2), "Ка");
    const std::uint8_t padded[] = {' ', 'a', ' ', ' '};
    EXPECT_EQ(BytesToStr(padded, 4), " a  ");  // nothing trimmed
}

TEST(TextHelpers, StrToBytesCutsInCodePageCharactersThenDropsUnprintable) {
    std::uint8_t dest[40] = {};
    // 40 characters; only the first 32 are taken, the tab among them is dropped.
    const std::string text = "Хлеб\tбелый 01234567890123456789012345678";
    StrToBytes(dest, text, 32);
    const std::string written(reinterpret_cast<const char*>(dest));
    EXPECT_EQ(written, std::string("\xD5\xEB\xE5\xE1\xE1\xE5\xEB\xFB\xE9 012345678901234567890"));
    EXPECT_EQ(dest[31], 0);

    std::uint8_t d2[8];
    std::fill(std::begin(d2), std::end(d2), 0xEE);
    StrToBytes(d2, "a\xC2\x98" "bЁё", 5);  // U+0098 is code 0x98 in code page 1251
    EXPECT_EQ(d2[0], 'a');
    EXPECT_EQ(d2[1], 'b');
    EXPECT_EQ(d2[2], 0xA8);
    EXPECT_EQ(d2[3], 0xB8);
    EXPECT_EQ(d2[4], 0xEE);  // nothing else written
}

TEST(TextHelpers, PrintableCharacters) {
    int count = 0;
    for (int c = 0; c < 256; ++c) count += IsPrintableChar(static_cast<std::uint8_t>(c)) ? 1 : 0;
    EXPECT_EQ(count, 96 + 2 + 64);
    EXPECT_FALSE(IsPrintableChar(0x1F));
    EXPECT_TRUE(IsPrintableChar(0x7F));
    EXPECT_FALSE(IsPrintableChar(0x98));
    EXPECT_TRUE(IsPrintableChar(0xA8));
    EXPECT_FALSE(IsPrintableChar(0xBF));
}

TEST(TextHelpers, SmallConversions) {
    EXPECT_TRUE(IsDigits("0123"));
    EXPECT_FALSE(IsDigits(""));
    EXPECT_FALSE(IsDigits("1 2"));
    std::uint8_t b = 0;
    EXPECT_TRUE(StrToBCDByte("12", b));
    EXPECT_EQ(b, 0x12);
    EXPECT_FALSE(StrToBCDByte("1", b));
    EXPECT_FALSE(StrToBCDByte("1a", b));
    EXPECT_FALSE(StrToBCDByte("123", b));
    EXPECT_EQ(BCDToInt(0x59), 59);
    EXPECT_EQ(BCDToInt(0x1A), 20);  // nibbles not checked
    EXPECT_EQ(TrimLeftChar("000120", '0'), "120");
    EXPECT_EQ(TrimLeftChar("000", '0'), "");
}

TEST(TextHelpers, HexAndBinaryOfAView) {
    std::uint8_t b[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    THEXKKM v(b, 3);
    EXPECT_EQ(BytesToHexStr(v, ""), "010203");
    EXPECT_EQ(BytesToHexStr(v, ", "), "01, 02, 03");
    EXPECT_EQ(BytesToHexStr(THEXKKM(), " "), "");
    EXPECT_EQ(BinToInt(TBinKKM(b, 2)), 0x0201);
    EXPECT_EQ(BinToInt(TBinKKM(b, 4)), 0x04030201);
    EXPECT_EQ(BinToInt(TBinKKM(b, 5)), -1);
    EXPECT_EQ(BinToInt(TBinKKM(b, 0)), 0);
}

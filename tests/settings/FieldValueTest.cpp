#include "settings/FieldValue.h"

#include <gtest/gtest.h>

TEST(Currency, HoldsFourDecimalsExactly) {
    EXPECT_EQ(TCurrency::FromDouble(12.5).Units, 125000);
    EXPECT_EQ(TCurrency::FromDouble(0.015).Units, 150);
    EXPECT_EQ(TCurrency::FromDouble(0.00005).Units, 1);  // half away from zero
    EXPECT_EQ(TCurrency::FromDouble(-0.00005).Units, -1);
    EXPECT_EQ(TCurrency::FromDouble(12.5).ToString(), "12.5");
    EXPECT_EQ(TCurrency{-30001}.ToString(), "-3.0001");
    EXPECT_EQ(TCurrency{}.ToString(), "0");

    EXPECT_EQ(TCurrency::Parse("12,5")->Units, 125000);
    EXPECT_EQ(TCurrency::Parse("-0.0001")->Units, -1);
    EXPECT_EQ(TCurrency::Parse(".5")->Units, 5000);
    EXPECT_FALSE(TCurrency::Parse("1.23456"));  // more decimals than the type holds
    EXPECT_FALSE(TCurrency::Parse("12a"));
    EXPECT_FALSE(TCurrency::Parse(""));
    EXPECT_FALSE(TCurrency::Parse("-"));
}

TEST(FieldValue, NullReadsAsZeroOrEmpty) {
    TFieldValue v;
    EXPECT_TRUE(v.IsNull());
    EXPECT_EQ(v.AsInteger(), 0);
    EXPECT_EQ(v.AsString(), "");
    EXPECT_FALSE(v.AsBoolean());
    EXPECT_EQ(v.AsCurrency().Units, 0);
}

TEST(FieldValue, ConversionToFieldTypes) {
    // Integer: text must be a whole number that fits in 32 bits.
    EXPECT_EQ(TFieldValue(" 42 ").ConvertTo(TFieldType::Integer, 0), TFieldValue(42));
    EXPECT_FALSE(TFieldValue("4x").ConvertTo(TFieldType::Integer, 0));
    EXPECT_FALSE(TFieldValue(5000000000LL).ConvertTo(TFieldType::Integer, 0));
    EXPECT_TRUE(TFieldValue("").ConvertTo(TFieldType::Integer, 0)->IsNull());
    EXPECT_EQ(TFieldValue(true).ConvertTo(TFieldType::Integer, 0), TFieldValue(1));

    // String: width counts code page 1251 characters, not bytes.
    EXPECT_EQ(TFieldValue("Хлеб белый").ConvertTo(TFieldType::String, 4), TFieldValue("Хлеб"));
    EXPECT_EQ(TFieldValue(123).ConvertTo(TFieldType::String, 2), TFieldValue("12"));

    // Currency: more than 4 decimals are rounded, both separators read.
    EXPECT_EQ(TFieldValue("1,23456").ConvertTo(TFieldType::Currency, 0), TFieldValue(TCurrency{12346}));
    EXPECT_EQ(TFieldValue(7).ConvertTo(TFieldType::Currency, 0), TFieldValue(TCurrency{70000}));
    EXPECT_EQ(TFieldValue(0.1).ConvertTo(TFieldType::Currency, 0), TFieldValue(TCurrency{1000}));
    EXPECT_FALSE(TFieldValue("abc").ConvertTo(TFieldType::Currency, 0));
    EXPECT_FALSE(TFieldValue(true).ConvertTo(TFieldType::Currency, 0));

    EXPECT_EQ(TFieldValue("18,5").ConvertTo(TFieldType::Float, 0), TFieldValue(18.5));
    EXPECT_EQ(TFieldValue("True").ConvertTo(TFieldType::Boolean, 0), TFieldValue(true));
    EXPECT_EQ(TFieldValue(0).ConvertTo(TFieldType::Boolean, 0), TFieldValue(false));
    EXPECT_FALSE(TFieldValue("maybe").ConvertTo(TFieldType::Boolean, 0));
}

TEST(FieldValue, TextForms) {
    EXPECT_EQ(TFieldValue(18.0).AsString(), "18");
    EXPECT_EQ(TFieldValue(0.1).AsString(), "0.1");
    EXPECT_EQ(TFieldValue(true).AsString(), "True");
    EXPECT_EQ(TFieldValue(TCurrency{125000}).AsFloat(), 12.5);
    EXPECT_EQ(TFieldValue("12.5").AsCurrency().Units, 125000);
}

TEST(FormatFloat, GridPatterns) {
    EXPECT_EQ(FormatFloat(12.5, "#"), "13");
    EXPECT_EQ(FormatFloat(0, "#"), "");
    EXPECT_EQ(FormatFloat(-2.5, "#"), "-3");
    EXPECT_EQ(FormatFloat(12.5, "#0.00"), "12.50");
    EXPECT_EQ(FormatFloat(0, "#0.00"), "0.00");
    EXPECT_EQ(FormatFloat(0.4, "#.##"), ".4");
    EXPECT_EQ(FormatFloat(3.25, "#0.000"), "3.250");
    EXPECT_EQ(FormatFloat(-0.001, "#0.00"), "0.00");  // no minus on a zero that was rounded
}

#include "journal/MagazineRender.h"

#include "app/Dialog.h"
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"
#include "journal/JournalRecords.h"
#include "journal/U_magazineoperation.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

const std::string kSeparator =
    "\r\n*********************************************************************\r\n\r\n--------------------\r\n";
const std::string kAnnulment = "----- АННУЛЯЦИЯ ----\r\n";

// Counts the error boxes and keeps the log in a scratch file.
class RenderTest : public ::testing::Test, public IDialogService {
protected:
    void SetUp() override {
        dir_ = MakeScratchFolder("vornik-journal");
        SetLogFileName(dir_ + "/test.log");
        SetDialogService(this);
    }
    void TearDown() override {
        SetDialogService(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void ShowBox(TBoxKind kind, const std::string& text) override {
        if (kind == TBoxKind::Error) boxes.push_back(text);
    }
    int ShowQuery(TQueryKind, const std::string&) override { return mrOk; }
    std::string Log() const {
        std::string b;
        ReadFileBytes(dir_ + "/test.log", b);
        return Cp1251ToUtf8(b);
    }

    std::string dir_;
    std::vector<std::string> boxes;
};

}  // namespace

TEST_F(RenderTest, WorkedReceiptRendersExactlyAsOnThePage) {
    const std::string expected =
        "\r\n"
        "*********************************************************************\r\n"
        "\r\n"
        "--------------------\r\n"
        "1 СК           25.00 // 1.пр. по коду:12   2x12.50         налог.гр.1\r\n"
        "ПИ             25.00 // 2.сумма ПИ (ИТОГО)\r\n"
        "Нал.ст.1           25.00 // 3.0xС5 суммы по налоговым ставкам C1\r\n"
        "ИТОГ           25.00\r\n"
        "НАЛИЧНЫМИ      30.00\r\n"
        "СДАЧА           5.00\r\n"
        "--------------------\r\n"
        "05.03.07 14:22 ОП: 1 //Продажа\r\n"
        "ЧЕК:15     ФИСКАЛЬНЫЙ\r\n";
    EXPECT_EQ(MagazineSourceToText(WorkedReceiptLines()), expected);
    // The same from the register's bytes.
    const TBytes packet = Cat({Header(), WorkedReceipt()});
    EXPECT_EQ(MagazineSourceToText(DecodeMagazinePacket(packet.data(), static_cast<int>(packet.size()))), expected);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RenderTest, SaleByAmountStartsAReceipt) {
    EXPECT_EQ(MagOperToText("A1;1;1500;1000;2;3"),
              kSeparator + "3 СК           15.00 // 1.суммовая продажа 1.5x10.00       налог.гр.2");
    EXPECT_EQ(MagOperToText("AC;2;1000;100;1;1"), "1 СК            1.00 // 2.суммовой возврат 1x1.00          налог.гр.1");
}

TEST_F(RenderTest, AnnulmentsCarryTheMarkAndNoSeparatorAfterTheFirstOperation) {
    EXPECT_EQ(MagOperToText("A6;2;1000;500;1;1"),
              kAnnulment + "1 СК            5.00 // 2.аннуляция суммовой подажи 1x5.00          налог.гр.1");
    EXPECT_EQ(MagOperToText("A8;1;7;1000;500;1;2"),
              kSeparator + kAnnulment +
                  "2 СК            5.00 // 1.аннуляция продажи по коду:7    1x5.00          налог.гр.1");
    EXPECT_EQ(MagOperToText("AB;3;7;1000;500;1;2").rfind(kAnnulment, 0), 0u);
    EXPECT_EQ(MagOperToText("AD;3;7;1000;500;1;2").find("АННУЛЯЦИЯ"), std::string::npos);
}

TEST_F(RenderTest, PairShowsSixSignificantDigitsWhileTheTotalUsesTheFullQuantity) {
    EXPECT_EQ(MagOperToText("A1;2;1234567;1000;1;1"),
              "1 СК        12345.67 // 2.суммовая продажа 1234.57x10.00   налог.гр.1");
    // Exponential notation beyond six digits before the point, as printf's %g.
    EXPECT_EQ(MagOperToText("A1;2;1234567890;100;1;1"),
              "1 СК      1234567.89 // 2.суммовая продажа 1.23457e+06x1.00 налог.гр.1");
}

TEST_F(RenderTest, CashInWithoutCashHandedOver) {
    EXPECT_EQ(MagOperToText("C9;1;3;10000;0"), kSeparator + "Внесено       100.00");
    EXPECT_EQ(MagOperToText("C9;2;4;2550;0"), "Выплата        25.50");
    EXPECT_EQ(MagOperToText("C9;3;1;2500;2500"), "ИТОГ           25.00\r\nНАЛИЧНЫМИ      25.00\r\nСДАЧА           0.00");
    EXPECT_EQ(MagOperToText("C9;3;2;2500;2000"),
              "Возврат        25.00\r\nНАЛИЧНЫМИ      20.00\r\nСДАЧА          -5.00");
    EXPECT_EQ(MagOperToText("C9;3;7;100;0"), "unknown        1.00");
}

TEST_F(RenderTest, CloseRepeatAndReceiptAnnulment) {
    EXPECT_EQ(MagOperToText("CA;2;7;01.02.03;10:00;NF;3"),
              "--------------------\r\n01.02.03 10:00 ОП: 3 //Возврат \r\nЧЕК:7  НЕ ФИСКАЛЬНЫЙ");
    EXPECT_EQ(MagOperToText("CA;4;8;;;F;12"), "--------------------\r\n  ОП:12 //Выплата \r\nЧЕК:8     ФИСКАЛЬНЫЙ");
    EXPECT_EQ(MagOperToText("CB;5"), "Повторный чек  ОП: 5");
    EXPECT_EQ(MagOperToText("CC;12"), "--------------------\r\nАннуляция чека ОП:12");
}

TEST_F(RenderTest, DiscountsSubtotalsAndTaxSums) {
    EXPECT_EQ(MagOperToText("B1;2;500;250;1;1"), "1 СК Скидка     2.50 // 2.скидка на операцию:250  налог.гр.1");
    EXPECT_EQ(MagOperToText("B4;3;0;5;2;4"), "4 СК Ан.над     0.05 // 3.анн. надбавки на операцию: 5  налог.гр.2");
    EXPECT_EQ(MagOperToText("B7;4;12345"), "ПИ Надбав     123.45 // 4.надбавка на ПИ");
    EXPECT_EQ(MagOperToText("C3;5;3;100"), "Нал.ст.3            1.00 // 5.??? C3");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RenderTest, LinesThatStartNoOperationShowQuestionMarks) {
    EXPECT_EQ(MagOperToText("AA"), "???");
    EXPECT_EQ(MagOperToText("1020AA"), "???");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RenderTest, FieldThatIsNotANumberGivesTheLineWithTheErrorMark) {
    // Hexadecimal letters from a bad packed-decimal byte, or anything a float
    // parser would take, are not numbers.
    for (const char* line : {"A1;1;00A0;100;1;1", "A3;1;12;1e3;100;1;1", "B5;2; 25", "C1;3;1;+25", "C9;4;x;100;0",
                             "C9;4;1;100;", "CA;;15;05.03.07;14:22;F;1", "A1;1;1000", "zz;1"}) {
        EXPECT_EQ(MagOperToText(line), std::string(line) + " - ошибка!") << line;
    }
    // Each line goes to the log; the one box is its caller's, after many lines.
    EXPECT_TRUE(boxes.empty());
    const std::string log = Log();
    std::size_t logged = 0;
    for (auto at = log.find("Error:ошибка декодирования"); at != std::string::npos; at = log.find("Error:ошибка декодирования", at + 1))
        ++logged;
    EXPECT_EQ(logged, 9u);
}

TEST_F(RenderTest, FieldsAfterTwentyAndAnEmptyLastFieldAreIgnored) {
    EXPECT_EQ(MagOperToText("CB;5;"), "Повторный чек  ОП: 5");
    EXPECT_EQ(MagOperToText("CB;;"), "Повторный чек  ОП:  ");
}

TEST_F(RenderTest, SourceTextSkipsEmptyLinesAndAcceptsBareLineFeeds) {
    EXPECT_EQ(MagazineSourceToText("CB;1\n\r\nCB;2"), "Повторный чек  ОП: 1\r\nПовторный чек  ОП: 2\r\n");
    EXPECT_EQ(MagazineSourceToText(""), "");
}

TEST(RenderNumbers, FixedAndShortestFormsAgreeWithPrintf) {
    // Receipt amounts go through the same rounding as C's printf.
    char buf[64];
    for (long long n : {0LL, 1LL, 5LL, 125LL, 135LL, 1005LL, 12345LL, 99999LL, 100000LL, 1234567LL, 999999999LL,
                        123456789012LL, 99999999999999LL}) {
        const double qty = static_cast<double>(n) / 1000.0;
        std::snprintf(buf, sizeof buf, "%g", qty);
        const std::string g = buf;
        std::snprintf(buf, sizeof buf, "%15.2f", qty * 1.0);
        const std::string line = MagOperToText("A1;2;" + std::to_string(n) + ";100;1;1");
        EXPECT_NE(line.find(std::string(buf) + " // 2."), std::string::npos) << n << ": " << line;
        EXPECT_NE(line.find(" " + g + "x1.00"), std::string::npos) << n << ": " << line;
    }
}

TEST(RenderLocale, DecimalPointStaysAPointUnderACommaLocale) {
    const std::string old = std::setlocale(LC_ALL, nullptr);
    bool comma = false;
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            comma = true;
            break;
        }
    }
    std::string generated;
    if (!comma && std::system("command -v localedef >/dev/null 2>&1") == 0) {
        generated = MakeScratchFolder("vornik-locale");
        const std::string cmd = "localedef -i ru_RU -f UTF-8 " + generated + "/ru_RU.UTF-8 >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0 || std::filesystem::exists(generated + "/ru_RU.UTF-8/LC_NUMERIC")) {
            SetEnvironment("LOCPATH", generated.c_str());
            comma = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr;
        }
    }
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.2f", 1.5);
    const bool inForce = comma && std::string(probe) == "1,50";
    std::string line;
    if (inForce) line = MagOperToText("A1;1;1500;1000;2;3");
    std::setlocale(LC_ALL, old.c_str());
    if (!generated.empty()) {
        SetEnvironment("LOCPATH", nullptr);
        std::error_code ec;
        std::filesystem::remove_all(generated, ec);
    }
    if (!inForce) GTEST_SKIP() << "no locale with a decimal comma on this machine";
    EXPECT_EQ(line, kSeparator + "3 СК           15.00 // 1.суммовая продажа 1.5x10.00       налог.гр.2");
}

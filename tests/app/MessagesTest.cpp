#include "app/Dialog.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

namespace {

// Records the marked-up lines the message functions send to the screen.
struct TRecordingConsole : IConsole {
    std::vector<std::string> lines;
    int LineCount() const override { return static_cast<int>(lines.size()); }
    void DeleteFirstLine() override { lines.erase(lines.begin()); }
    void AddLine(const std::string& l) override { lines.push_back(l); }
    void Reset() override { lines.clear(); }
};

struct TCountingBoxes : IDialogService {
    int boxes = 0, queries = 0;
    void ShowBox(TBoxKind, const std::string&) override { ++boxes; }
    int ShowQuery(TQueryKind, const std::string&) override { return ++queries, mrRetry; }
};

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSwitches();
        SetLogFileName(dir.File("test.log"));
        SetConsole(&console);
        SetDialogService(&boxes);
    }
    void TearDown() override {
        SetConsole(nullptr);
        SetDialogService(nullptr);
        ResetSwitches();
    }
    std::vector<std::string> LogLines() {
        std::vector<std::string> out;
        const std::string text = ReadCp1251(dir.File("test.log"));
        for (std::size_t s = 0; s < text.size();) {
            const auto e = text.find("\r\n", s);
            out.push_back(text.substr(s, e - s));
            s = e + 2;
        }
        return out;
    }
    TScratchDir dir;
    TRecordingConsole console;
    TCountingBoxes boxes;
};

}  // namespace

TEST_F(Messages, LogLinesCarryTheStampAndCp1251Text) {
    Mess("Подключились!", false, false, true);
    isDEBUG = true;
    Mess("с миллисекундами", false, false, true);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d\d\.\d\d\.\d\d \d\d:\d\d:\d\d Подключились!)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d\d\.\d\d\.\d\d \d\d:\d\d:\d\d \d\d\d с миллисекундами)")))
        << lines[1];
    EXPECT_NE(ReadBytes(dir.File("test.log")).find("\xCF\xEE\xE4"), std::string::npos);  // "Под" in cp1251
}

TEST(Stamps, MasksFormatDayMonthYearAndMillisecondsZeroPadded) {
    std::tm tm{};
    tm.tm_year = 107, tm.tm_mon = 11, tm.tm_mday = 31, tm.tm_hour = 23, tm.tm_min = 59, tm.tm_sec = 58, tm.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&tm)) + std::chrono::milliseconds(125);
    EXPECT_EQ(FormatStamp(DateMaskaForLogDEBUG, when), "31.12.07 23:59:58 125 ");
    EXPECT_EQ(FormatStamp(DateMaskaForLog, when), "31.12.07 23:59:58 ");
    EXPECT_EQ(FormatStamp(DateMaskaForConsole, when), "23:59:58 ");
}

TEST_F(Messages, ConsoleLinesAreColouredStampedAndCleanedOfLineBreaks) {
    Mess("a\r\nb", false, true, true);
    ASSERT_EQ(console.lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(console.lines[0],
                                 std::regex(R"(<c:0000FFFF>\d\d:\d\d:\d\d <c:0000FF00>a  b)")))
        << console.lines[0];
    EXPECT_NE(ReadCp1251(dir.File("test.log")).find("a\r\nb"), std::string::npos);  // the log keeps the break
    Warning("w", false, true, false);
    Error("e", false, true, false);
    EXPECT_NE(console.lines[1].find("<c:00FF00FF>Warning:<c:0000FF00>w"), std::string::npos);
    EXPECT_NE(console.lines[2].find("<c:000000FF>Error:<c:0000FF00>e"), std::string::npos);
}

TEST_F(Messages, ConsoleKeepsTheLastHundredLines) {
    for (int i = 1; i <= 101; ++i) Mess(std::to_string(i), false, true, false);
    ASSERT_EQ(console.lines.size(), 100u);
    EXPECT_NE(console.lines.front().find(">2"), std::string::npos);
    EXPECT_NE(console.lines.back().find(">101"), std::string::npos);
}

TEST_F(Messages, TracesFollowTheDepthAndDebug) {
    MT("m", mdFunctional);
    WT("w", mdFunctional);
    ET("e", mdFunctional);
    EXPECT_TRUE(console.lines.empty());
    isDEBUG = true;
    MessDepth = mdFunctional;
    MT("m3", mdFunctional);
    WT("w5", mdHardWare);
    ET("e5", mdHardWare);
    MT("m5", mdHardWare);
    ASSERT_EQ(console.lines.size(), 3u);
    EXPECT_NE(console.lines[0].find("m3"), std::string::npos);
    EXPECT_NE(console.lines[1].find("w5"), std::string::npos);
    EXPECT_NE(console.lines[2].find("e5"), std::string::npos);
}

TEST_F(Messages, WithoutAConsoleOnlyTheLogReceives) {
    SetConsole(nullptr);
    Error("только в лог", false, true, true);
    EXPECT_TRUE(console.lines.empty());
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_NE(LogLines()[0].find("Error:только в лог"), std::string::npos);
}

TEST_F(Messages, BoxesAreShownUnlessAutonom) {
    Mess("x", true, false, false);
    Error("x", true, false, false);
    EXPECT_EQ(boxes.boxes, 2);
    isAUTONOM = true;
    Warning("x", true, false, false);
    EXPECT_EQ(boxes.boxes, 2);
}

TEST_F(Messages, QueriesUnderAutonomAnswerTheirDefaultWithTheSuffix) {
    isAUTONOM = true;
    struct Case {
        int (*query)(std::string, bool, bool, int);
        int def, answer;
        const char* suffix;
    } cases[] = {
        {QueryOkCancel, mrOk, mrOk, " - OK"},
        {QueryOkCancel, mrNo, mrCancel, " - cancel"},
        {QueryYesNo, mrYes, mrYes, " - Yes"},
        {QueryYesNo, mrOk, mrNo, " - No"},
        {QueryYesNoCancel, mrYes, mrYes, " - Yes"},
        {QueryYesNoCancel, mrNo, mrNo, " - No"},
        {QueryYesNoCancel, mrOk, mrCancel, " - Cancel"},
        {QueryAbortRetryIgnore, mrAbort, mrAbort, " - Abort"},
        {QueryAbortRetryIgnore, mrRetry, mrRetry, " - Retry"},
        {QueryAbortRetryIgnore, mrYes, mrIgnore, " - Ignory"},
    };
    for (const auto& c : cases) {
        console.lines.clear();
        EXPECT_EQ(c.query("Вопрос?", true, true, c.def), c.answer);
        ASSERT_EQ(console.lines.size(), 1u);
        EXPECT_NE(console.lines[0].find(std::string("<c:00F0CAA6>Query:Вопрос?") + c.suffix), std::string::npos)
            << console.lines[0];
    }
    EXPECT_EQ(boxes.queries, 0);
    EXPECT_NE(LogLines().back().find("Query:Вопрос? - Ignory"), std::string::npos);
}

TEST_F(Messages, QueriesAskTheOperatorWhenBoxesAreAllowed) {
    EXPECT_EQ(QueryAbortRetryIgnore("?", true, false, mrAbort), mrRetry);
    EXPECT_EQ(boxes.queries, 1);
    EXPECT_NE(console.lines.back().find("? - Retry"), std::string::npos);
}

TEST(DelEnters, ControlCharactersBecomeBlanks) {
    std::string s = "a\tb\rc\nd\x01";
    DelEnters(s);
    EXPECT_EQ(s, "a b c d ");
}

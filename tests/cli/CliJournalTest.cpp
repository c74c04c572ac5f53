// vornik-cli journal read, render and decode against the simulator and on
// files: the saved bytes, the offline conversions, bad input, the count of
// operations on a terminal, and Ctrl+C during a read.
#include "CliRunner.h"

#include "journal/MagazineFiles.h"
#include "journal/MagazineRender.h"
#include "journal/JournalRecords.h"

#include <csignal>
#include <cstdlib>

using namespace clitest;

namespace {

std::string WithoutCr(std::string s) {
    std::erase(s, '\r');
    return s;
}

// The worked receipt as the register keeps it, one record each.
std::vector<TBytes> WorkedRecords() {
    return {CodeRec(0xA3, 1, "12", "2000", "1250", 1, 1), PiRec(0xB5, 2, "2500"), TaxRec(0xC1, 3, 1, "2500"),
            NalichRec(4, 0, "2500", "3000"), CloseRec(1, "15", {0x05, 0x03, 0x07}, {0x14, 0x22}, 0x4B, 1)};
}

void SetJournal(TRegisterSimulator& sim, const std::vector<TBytes>& records) {
    TSimState s = sim.State();
    s.Register.Journal = records;
    sim.SetState(s);
}

std::string FileText(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
    return bytes;
}

std::string AsText(const TBytes& b) { return std::string(b.begin(), b.end()); }

// Runs vornik-cli with its standard error on a pseudo-terminal, as in a
// shell; onErr sees what arrived so far and may signal the program.
TRun RunOnTerminal(const std::vector<std::string>& args, const std::string& dir,
                   const std::function<void(const std::string& err, pid_t pid)>& onErr = {}) {
    TRun run;
    const std::string program = CliPath();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return run;
    }
    const std::string slave = ::ptsname(master);
    int out[2];
    if (pipe(out) != 0) return run;
    const pid_t pid = fork();
    if (pid == 0) {
        const int tty = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
        dup2(out[1], 1);
        dup2(tty, 2);
        close(out[0]);
        close(out[1]);
        close(tty);
        close(master);
        if (chdir(dir.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    CollectChild(run, pid, out[0], master, onErr);
    return run;
}

}  // namespace

TEST(CliJournal, ReadWritesTheTextAndTheDataFiles) {
    TCliRig rig;
    SetJournal(rig.Sim, WorkedRecords());
    rig.File("text.txt", std::string(3000, 'x'));  // replaced
    const TRun r = rig.Run({"journal", "read", "--text", "text.txt", "--data", rig.Dir + "/data.txt"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(r.Out.empty());
    EXPECT_NE(r.Err.find("Загружаем ОТЧЕТ..."), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("ОТЧЕТ загружен"), std::string::npos);
    EXPECT_EQ(FileText(rig.Dir + "/data.txt"), WorkedReceiptLines());
    const std::string text = FileText(rig.Dir + "/text.txt");
    EXPECT_EQ(text, MagazineFileBytes(MagazineSourceToText(WorkedReceiptLines())));
    EXPECT_NE(text.find(Utf8ToCp1251("\r\nЧЕК:15     ФИСКАЛЬНЫЙ\r\n")), std::string::npos);
    EXPECT_EQ(text.substr(0, 4), "\r\n**");
}

TEST(CliJournal, ReadWithoutFilesPrintsTheReceipts) {
    TCliRig rig;
    SetJournal(rig.Sim, WorkedRecords());
    const TRun r = rig.Run({"journal", "read"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, WithoutCr(MagazineSourceToText(WorkedReceiptLines())));
    EXPECT_EQ(Lines(r.Out)[11], "05.03.07 14:22 ОП: 1 //Продажа");
}

TEST(CliJournal, AnEmptyJournalGivesEmptyFiles) {
    TCliRig rig;
    SetJournal(rig.Sim, {});
    const TRun r = rig.Run({"journal", "read", "--text", "t.txt", "--data", "d.txt"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(FileText(rig.Dir + "/t.txt"), "");
    EXPECT_EQ(FileText(rig.Dir + "/d.txt"), "");
}

TEST(CliJournal, AFileThatCannotBeWrittenIsRefusedBeforeTheRead) {
    TCliRig rig;
    rig.Sim.ClearHistory();
    TRun r = rig.Run({"journal", "read", "--data", "no-folder/d.txt"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("vornik-cli: no folder no-folder for no-folder/d.txt"), std::string::npos) << r.Err;
    r = rig.Run({"journal", "read", "--text", rig.Dir});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("is a folder"), std::string::npos) << r.Err;
    EXPECT_TRUE(rig.Sim.History().empty()) << "nothing was asked of the register";

    r = rig.Run({"info", "--text", "t.txt"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("vornik-cli: info takes no --text"), std::string::npos) << r.Err;
    r = rig.Run({"journal", "read", "--data"});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("--data takes a file name"), std::string::npos) << r.Err;
}

TEST(CliJournal, AFailedReadEndsWithStatusFour) {
    TCliRig rig;
    std::string error;
    ASSERT_TRUE(rig.Sim.AddFault("silent:1:0", error)) << error;
    const TRun r = rig.Run({"journal", "read", "--data", "d.txt"});
    EXPECT_EQ(r.Status, 4);
    EXPECT_NE(r.Err.find("Сбой при загрузке ОТЧЕТА"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("vornik-cli: journal read failed on "), std::string::npos) << r.Err;
    EXPECT_TRUE(FileExists(rig.Dir + "/d.txt")) << "what arrived (nothing) is kept";
}

TEST(CliJournal, RenderTurnsADataFileIntoReceiptsOffline) {
    const std::string dir = FreshDir();
    WriteFileAtomic(dir + "/data.txt", WorkedReceiptLines());
    TRun r = RunCli({"journal", "render", "data.txt"}, dir);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, WithoutCr(MagazineSourceToText(WorkedReceiptLines())));
    EXPECT_TRUE(r.Err.empty()) << r.Err;

    // LF line ends and standard input do as well.
    r = RunCli({"journal", "render", "-"}, dir, "A1;1;1500;1000;2;3\nAA\n");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Lines(r.Out)[4], "3 СК           15.00 // 1.суммовая продажа 1.5x10.00       налог.гр.2");
    EXPECT_EQ(Lines(r.Out)[5], "???");

    // A line that cannot be rendered is shown, said, and counted.
    WriteFileAtomic(dir + "/bad.txt", "B5;2;25A0\r\nCB;1\r\nC9;1;1;x;0\r\n");
    r = RunCli({"journal", "render", "bad.txt"}, dir);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Out, "B5;2;25A0 - ошибка!\nПовторный чек  ОП: 1\nC9;1;1;x;0 - ошибка!\n");
    EXPECT_NE(r.Err.find("ошибка декодирования операций чека"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("vornik-cli: 2 lines of bad.txt could not be rendered"), std::string::npos) << r.Err;

    r = RunCli({"journal", "render", "missing.txt"}, dir);
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("vornik-cli: cannot read missing.txt: No such file or directory"), std::string::npos) << r.Err;
    r = RunCli({"journal", "render"}, dir);
    EXPECT_EQ(r.Status, 2);
    std::filesystem::remove_all(dir);
}

TEST(CliJournal, DecodeTurnsPacketBytesIntoSourceLines) {
    const std::string dir = FreshDir();
    const TBytes r = WorkedReceipt();
    WriteFileAtomic(dir + "/journal.bin", AsText(Cat({Header(0), r, Header(9)})));
    TRun run = RunCli({"journal", "decode", "journal.bin"}, dir);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, WithoutCr(WorkedReceiptLines()));

    // Bytes that start no record, and a record the file cuts off.
    WriteFileAtomic(dir + "/odd.bin", AsText(Cat({Header(0), TBytes{0x10, 0x20, 0xAA}, PiRec(0xB5, 2, "2500"),
                                                  TBytes{0xC1, 0x03}})));
    run = RunCli({"journal", "decode", "odd.bin"}, dir);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "1020AA\nB5;2;2500\nC103\n");

    run = RunCli({"journal", "decode", "-"}, dir, AsText(Header(9)));
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, "");
    run = RunCli({"journal", "decode", dir}, dir);
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("it is a folder"), std::string::npos) << run.Err;
    std::filesystem::remove_all(dir);
}

TEST(CliJournal, ATerminalShowsTheCountOfOperations) {
    TCliRig rig;
    SetJournal(rig.Sim, WorkedRecords());
    const TRun r = RunOnTerminal({"--port", "7", "journal", "read", "--data", "d.txt"}, rig.Dir);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find("\rjournal: 5 operations\r\n"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("ОТЧЕТ загружен"), std::string::npos);
    // Without a terminal there is no count.
    EXPECT_EQ(rig.Run({"journal", "read", "--data", "d.txt"}).Err.find("journal: "), std::string::npos);
}

TEST(CliJournal, CtrlCStopsTheReadAndKeepsWhatArrived) {
    // A paced line and a long journal, so that the read is still running when
    // the first count shows.
    const std::string dir = FreshDir();
    TSimOptions o;
    o.Speed = 9600;
    TRegisterSimulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    std::vector<TBytes> records;
    for (int i = 0; i < 60; ++i)
        for (const auto& rec : WorkedRecords()) records.push_back(rec);
    SetJournal(sim, records);

    bool interrupted = false;
    const TRun r = RunOnTerminal({"--device", sim.DevicePath(), "journal", "read", "--data", "d.txt"}, dir,
                                 [&](const std::string& err, pid_t pid) {
                                     if (!interrupted && err.find("\rjournal: ") != std::string::npos) {
                                         interrupted = true;
                                         kill(pid, SIGINT);
                                     }
                                 });
    ASSERT_TRUE(interrupted) << r.Err;
    EXPECT_EQ(r.Status, 5) << r.Err;
    EXPECT_NE(r.Err.find("ОТЧЕТ частично загружен"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("vornik-cli: journal read stopped: "), std::string::npos) << r.Err;
    const auto kept = Lines(FileText(dir + "/d.txt"));
    EXPECT_GT(kept.size(), 1u);
    EXPECT_LT(kept.size(), 300u);
    bool disc = false;
    for (const auto& f : sim.History())
        disc = disc || (f.Incoming && !f.Block && f.Bytes.size() == 5 && f.Bytes[3] == 0xC0);
    EXPECT_TRUE(disc) << "the register was told to stop";
    sim.Stop();
    std::filesystem::remove_all(dir);
}

// journal read, journal render and journal decode: the register's electronic
// journal as receipt text and source lines, and the offline conversions of
// its saved data file and of raw packet bytes.
#include "cli/CliCommand.h"
#include "ops/RegisterOps.h"

#include "app/AppHooks.h"
#include "app/TextCodec.h"
#include "app/Dialog.h"
#include "app/TransferState.h"
#include "app/U_filedirwork.h"
#include "journal/JournalReader.h"
#include "journal/MagazineFiles.h"
#include "journal/MagazineRender.h"
#include "journal/U_magazineoperation.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <iterator>
#include <ostream>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

// Text for standard output: LF line ends.
std::string WithLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

// The whole of a file, or of standard input for "-"; false after saying why.
bool ReadInput(TCliContext& ctx, const std::string& path, std::string& bytes) {
    if (path == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    errno = 0;
    if (!DirExists(path) && ReadFileBytes(path, bytes)) return true;
    ctx.Fail(TOpsKind::FileError, "cannot read " + path + ": " +
                                      (DirExists(path) ? "it is a folder" : errno != 0 ? std::strerror(errno) : "read error"));
    return false;
}

// The folder a file is to be written in exists, and the name is no folder.
bool CanWriteTo(TCliContext& ctx, const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (DirExists(path)) {
        ctx.Fail(TOpsKind::FileError, path + " is a folder");
        return false;
    }
    if (!DirExists(folder)) {
        ctx.Fail(TOpsKind::FileError, "no folder " + folder + " for " + path);
        return false;
    }
    return true;
}

int Read(TCliContext& ctx) {
    const std::string& textFile = ctx.Tool.Text;
    const std::string& dataFile = ctx.Tool.Data;
    if ((!textFile.empty() && !CanWriteTo(ctx, textFile)) || (!dataFile.empty() && !CanWriteTo(ctx, dataFile)))
        return CliUsage;
    // Ctrl+C stops the read between packets, as the page's stop button does.
    g_interrupted = 0;
    const auto previousHandler = std::signal(SIGINT, OnInterrupt);
    ctx.StopRequested = [] { return g_interrupted != 0; };
    nlohmann::json doc;
    bool stopped = false;
    const int status = ReadJournal(ctx, doc, stopped);
    std::signal(SIGINT, previousHandler);
    if (!doc.contains("text")) return status;

    // What arrived is kept whatever the outcome.
    const std::string text = doc["text"], source = doc["source"];
    bool saved = true;
    if (!textFile.empty()) saved = SaveMagazineFile(textFile, text) && saved;
    if (!dataFile.empty()) saved = SaveMagazineFile(dataFile, source) && saved;
    if (textFile.empty() && dataFile.empty()) ctx.Out << WithLf(text);
    if (!saved) {
        ctx.Error = {TOpsKind::FileError, "the journal could not be saved", ""};  // the save has said why
        return OpsFailed;
    }
    if (status == CliOk) return CliOk;
    const std::string kept = std::to_string(doc["operations"].get<int>()) + " operations kept";
    return ctx.Fail(ctx.Error.Kind, stopped ? "journal read stopped: " + kept
                                            : "journal read failed on " + ctx.Port.DeviceName() + ": " + kept);
}

int Render(TCliContext& ctx) {
    std::string bytes;
    if (!ReadInput(ctx, ctx.Args[0], bytes)) return CliUsage;
    const int before = ctx.ErrorLines();
    ctx.Out << WithLf(MagazineSourceToText(Cp1251ToUtf8(bytes)));
    const int bad = ctx.ErrorLines() - before;
    if (bad > 0)
        return ctx.Usage(std::to_string(bad) + (bad == 1 ? " line" : " lines") + " of " + ctx.Args[0] +
                         " could not be rendered (shown with \" - ошибка!\")");
    return CliOk;
}

int Decode(TCliContext& ctx) {
    std::string bytes;
    if (!ReadInput(ctx, ctx.Args[0], bytes)) return CliUsage;
    TMagazineDecoder decoder;
    std::string lines = decoder.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    lines += decoder.Flush();
    ctx.Out << WithLf(lines);
    return CliOk;
}

}  // namespace

void AddJournalCommands() {
    AddCliCommand({"journal read", "[--text FILE] [--data FILE]", "the register's whole electronic journal",
                   "Reads the journal in one streamed transfer (the count of operations on a\n"
                   "terminal) and writes its receipt text to the --text file and its source\n"
                   "lines, one operation a line, to the --data file; both in code page 1251 with\n"
                   "CR LF, replacing the files. Without either the receipt text goes to standard\n"
                   "output. Ctrl+C stops the read between packets; what arrived is kept and the\n"
                   "status is 5 (a failed read: 4, or 3 for the port).\n",
                   true, 0, 0, Read});
    AddCliCommand({"journal render", "DATAFILE", "a saved journal data file as receipt text",
                   "Turns the source lines of a data file (as \"Сохранить данные в файл\" or\n"
                   "journal read --data save it; - reads standard input) into receipt text on\n"
                   "standard output, without a register. A line that cannot be rendered shows as\n"
                   "itself with \" - ошибка!\" and ends with status 2.\n",
                   false, 1, 1, Render});
    AddCliCommand({"journal decode", "BINFILE", "raw journal packet bytes as source lines",
                   "Decodes the bytes of journal packets as the register sends them (each 01 0F,\n"
                   "the result code and records; - reads standard input) into source lines on\n"
                   "standard output, one operation a line, without a register. Bytes that start\n"
                   "no record give a line of hexadecimal digits. The packets are taken to lie back\n"
                   "to back, each ending on a record boundary.\n",
                   false, 1, 1, Decode});
}

// The command-line tool's frame: global options, the table of subcommands,
// the register the subcommands talk to, and the rules of output and exit
// status. A subcommand lives in a file of its own and adds itself to the
// table with AddCliCommand from the function CliCommandList.cpp calls.
#pragma once
#include "kkm/U_kkms.h"
#include "app/Dialog.h"
#include "link/U_protocolkkm.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Exit status.
constexpr int CliOk = 0;
constexpr int CliFailed = 1;  // the register refused, or the link failed
constexpr int CliUsage = 2;   // the command line or an input file is wrong

struct TCliOptions {
    int Port = 0;            // --port N
    std::string Device;      // --device PATH
    int Speed = 19200;       // --speed BAUD
    int Net = 1;             // --net N
    bool Trace = false;      // --trace
    bool Json = false;       // --json
    bool Help = false;       // --help
    std::string Out;         // --out FILE: the file a command writes (commands whose synopsis names --out)
    std::string Text;        // --text FILE: the journal's receipt text (journal read)
    std::string Data;        // --data FILE: the journal's source lines (journal read)
    std::string Ports;       // --ports N,N...: the ports to search (search)
    bool AllNets = false;    // --all-nets: every network number (search)
    std::string Listen;      // --listen ADDR:PORT (serve)
    std::string TokenFile;   // --token-file FILE (serve)
    bool AllowRemote = false;  // --allow-remote (serve)
    std::string HostNames;     // --allow-remote=NAME,NAME (serve)
};

class TCliContext;

struct TCliCommand {
    std::string Name;      // words, "options get"
    std::string Args;      // argument synopsis, "N=V ..."
    std::string Summary;   // one line for the command list
    std::string Help;      // the rest of the --help text
    bool NeedsRegister = true;
    int MinArgs = 0;   // words after the name
    int MaxArgs = 0;   // -1: any number
    std::function<int(TCliContext&)> Run;
};

void AddCliCommand(TCliCommand command);
const std::vector<TCliCommand>& CliCommands();

class TCliContext {
public:
    TCliContext(TCliOptions options, std::ostream& out, std::ostream& err);
    ~TCliContext();
    TCliContext(const TCliContext&) = delete;
    TCliContext& operator=(const TCliContext&) = delete;

    TCliOptions Options;
    std::vector<std::string> Args;  // the words after the command's name
    std::ostream& Out;
    std::ostream& Err;

    TComPort Port;
    TKKM KKM;
    TProtocolKKM Link;

    // Set by a front end that shows long work itself (the HTTP service's
    // jobs): told the progress instead of the bar on standard error, and
    // asked between steps whether to stop, as "Остановить" does.
    std::function<void(int done, int total)> Progress;
    std::function<bool()> StopRequested;
    // The request field a usage error is about (the service's 400 answers).
    std::string ErrorField;

    // Sets up and opens the port; false after saying why. Do opens it when
    // it is closed.
    bool OpenPort();
    // The register's device image (created when missing).
    TKKMInfo& Info();

    // Runs one register command (opening the port first when it is closed).
    // On failure prints "vornik-cli: <what>
    // failed" after the register's own text, or, when the register said
    // nothing, what the link saw. The result is the command's.
    bool Do(bool (TProtocolKKM::*command)(), const std::string& what);
    bool Do(bool (TProtocolKKM::*command)(int), int n, const std::string& what);

    // A usage error: the text on standard error, status 2; field names the
    // input at fault, when one is.
    int Usage(const std::string& text, const std::string& field = "");
    // A failure the tool finds itself: the text on standard error, status 1.
    int Fail(const std::string& text);
    // Prints the document (with --json).
    void PrintJson(const nlohmann::json& doc);

    // Error lines the message functions have written on this context's
    // thread since it was made.
    int ErrorLines() const { return errors_; }

private:
    friend class TCliErrConsole;
    bool Finish(bool ok, int errorsBefore, const std::string& what);
    int errors_ = 0;
    TCliContext* previous_;
};

// The message functions' console: every line as plain text on the error
// stream of the context made last on the calling thread (fallback when there
// is none), error lines counted there. Only the colour tags the message
// functions put in are taken out, so a trace's "<-" stays as it is.
class TCliErrConsole : public IConsole {
public:
    explicit TCliErrConsole(std::ostream& fallback) : fallback_(fallback) {}
    int LineCount() const override { return 0; }
    void DeleteFirstLine() override {}
    void Reset() override {}
    void AddLine(const std::string& markedLine) override;

private:
    std::ostream& fallback_;
};

// The whole tool: parses args (without the program name) and runs the
// subcommand. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Registers the subcommands of each command file (CliCommandList.cpp).
void AddCliCommands();

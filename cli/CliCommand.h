// The command-line tool's frame: global options, the table of subcommands,
// the register the subcommands talk to, and the rules of output and exit
// status. A subcommand lives in a file of its own and adds itself to the
// table with AddCliCommand from the function CliCommandList.cpp calls.
#pragma once
#include "ops/OpsContext.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Exit status, one per kind of failure a script acts on differently.
constexpr int CliOk = 0;
constexpr int CliFailed = 1;    // the register refused, or did not keep a write
constexpr int CliUsage = 2;     // the command line or an input file is wrong
constexpr int CliPort = 3;      // the port is missing, busy or not a serial port
constexpr int CliNoAnswer = 4;  // the register did not answer
constexpr int CliStopped = 5;   // stopped (Ctrl+C)

// The exit status of a failure of that kind.
int CliExitStatus(TOpsKind kind);

// The register's part (port, speed, net, trace, search, --check) is what the
// operations see; the rest is the tool's own.
struct TCliOptions : TOpsOptions {
    bool Json = false;       // --json
    bool Help = false;       // --help
    std::string Out;         // --out FILE: the file a command writes (commands whose synopsis names --out)
    std::string Text;        // --text FILE: the journal's receipt text (journal read)
    std::string Data;        // --data FILE: the journal's source lines (journal read)
    std::string Listen;      // --listen ADDR:PORT (serve)
    std::string TokenFile;   // --token-file FILE (serve)
    std::string Log;         // --log FILE: the program's log
    bool AllowRemote = false;  // --allow-remote (serve)
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
    // CliOk, or a failure left in the context's Error (OpsFailed) or an exit status.
    std::function<int(TCliContext&)> Run;
};

void AddCliCommand(TCliCommand command);
const std::vector<TCliCommand>& CliCommands();

class TCliContext : public TOpsContext {
public:
    TCliContext(TCliOptions options, std::ostream& out, std::ostream& err);

    TCliOptions Tool;  // the whole command line's options
    std::vector<std::string> Args;  // the words after the command's name
    std::ostream& Out;

    // Prints the document (with --json).
    void PrintJson(const nlohmann::json& doc);
};

// A reading command: the work's document printed as JSON with --json, else
// as text makes it; the work's status.
int PrintWork(TCliContext& ctx, const std::function<int(TOpsContext&, nlohmann::json&)>& work,
              const std::function<void(const nlohmann::json&)>& text);

// The whole tool: parses args (without the program name) and runs the
// subcommand. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Registers the subcommands of each command file (CliCommandList.cpp).
void AddCliCommands();

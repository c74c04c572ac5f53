#include "cli/CliCommand.h"
#include "cli/CliLog.h"
#include "ops/RegisterOps.h"

#include "app/Dialog.h"
#include "app/ProjectsVars.h"
#include "link/ComportSystem.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>
#include <sstream>

namespace {

std::vector<TCliCommand>& Table() {
    static std::vector<TCliCommand> table;
    return table;
}

bool ParseInt(const std::string& text, int& out) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    out = std::stoi(text);
    return true;
}

// The options that name a file, by their word.
const std::map<std::string, std::string TCliOptions::*>& FileOptions() {
    static const std::map<std::string, std::string TCliOptions::*> options = {
        {"--out", &TCliOptions::Out}, {"--text", &TCliOptions::Text}, {"--data", &TCliOptions::Data},
        {"--log", &TCliOptions::Log},
        {"--token-file", &TCliOptions::TokenFile}};
    return options;
}

std::string CommandLine(const TCliCommand& c) { return c.Name + (c.Args.empty() ? "" : " " + c.Args); }

void GeneralHelp(std::ostream& out) {
    out << "Usage: vornik-cli [options] COMMAND [ARGS]\n"
           "Reads and writes the settings of a cash register over its serial line.\n"
           "\n"
           "Options (anywhere on the line):\n"
           "  --port N        the register on port N (1..256):\n";
    // The port numbers' devices differ from system to system.
    std::istringstream naming(ComPortNaming());
    for (std::string line; std::getline(naming, line);) out << "                  " << line << "\n";
    out << "  --device PATH   the register on this serial device (a pseudo-terminal too)\n"
           "  --speed BAUD    line speed, 19200 unless given\n"
           "  --net N         the register's network number 1..98, 1 unless given\n"
           "  --trace         every frame of the link on standard error\n"
           "  --json          print JSON instead of text (results, writes' reports, errors)\n"
           "  --check         writing commands read, check and print what would change,\n"
           "                  and write nothing\n"
           "  --log FILE      the program's log (default: beside the program; for a Linux\n"
           "                  program in a system folder such as /usr, in\n"
           "                  $XDG_STATE_HOME/vornik, else ~/.local/state/vornik)\n"
           "  --out FILE      the file a command writes, for the commands that name it\n"
           "  --text FILE, --data FILE\n"
           "                  the journal's receipt text and source lines (journal read)\n"
           "  --ports N,N...  the ports to search, --all-nets every network number (search)\n"
           "  --listen ADDR:PORT, --token-file FILE, --allow-remote\n"
           "                  where the HTTP service answers and its token (serve)\n"
           "  --help          this text; after a command, that command's help\n"
           "\n"
           "Commands:\n";
    std::size_t width = 0;
    for (const auto& c : CliCommands()) width = std::max(width, CommandLine(c).size());
    for (const auto& c : CliCommands())
        out << "  " << CommandLine(c) << std::string(width + 2 - CommandLine(c).size(), ' ') << c.Summary << "\n";
    out << "\n"
           "Writing commands read the register first, send only what differs, read it\n"
           "back and say whether the register kept it.\n"
           "\n"
           "Exit status (the reason on standard error; with --json also as\n"
           "{\"error\": {\"kind\", \"message\", \"field\"}} on standard output):\n"
           "  0  done\n"
           "  1  the register refused, or did not keep a write       (refused, not-kept)\n"
           "  2  the command line or an input file is wrong          (bad-input, file-error)\n"
           "  3  the port is missing, busy or not a serial port      (port-missing, port-busy,\n"
           "                                                          not-serial)\n"
           "  4  the register did not answer                         (no-answer)\n"
           "  5  stopped                                             (stopped)\n";
}

void CommandHelp(const TCliCommand& c, std::ostream& out) {
    out << "Usage: vornik-cli [options] " << CommandLine(c) << "\n" << c.Summary << "\n";
    if (!c.Help.empty()) out << "\n" << c.Help;
    if (c.NeedsRegister) out << "\nThe register is given with --port N or --device PATH (see vornik-cli --help).\n";
}

// The command whose name is the longest run of leading words; null for none.
const TCliCommand* FindCommand(const std::vector<std::string>& words, std::size_t& used) {
    const TCliCommand* best = nullptr;
    used = 0;
    for (const auto& c : CliCommands()) {
        std::istringstream name(c.Name);
        std::string w;
        std::size_t n = 0;
        bool match = true;
        while (name >> w) {
            if (n >= words.size() || words[n] != w) {
                match = false;
                break;
            }
            ++n;
        }
        if (match && n > used) {
            best = &c;
            used = n;
        }
    }
    return best;
}

// Commands whose name starts with the word ("options" for "options get").
std::vector<const TCliCommand*> Group(const std::string& word) {
    std::vector<const TCliCommand*> out;
    for (const auto& c : CliCommands())
        if (c.Name.rfind(word + " ", 0) == 0) out.push_back(&c);
    return out;
}

}  // namespace

void AddCliCommand(TCliCommand command) { Table().push_back(std::move(command)); }

const std::vector<TCliCommand>& CliCommands() {
    if (Table().empty()) AddCliCommands();
    return Table();
}

int CliExitStatus(TOpsKind kind) {
    switch (kind) {
        case TOpsKind::None: return CliOk;
        case TOpsKind::BadInput:
        case TOpsKind::FileError: return CliUsage;
        case TOpsKind::PortMissing:
        case TOpsKind::PortBusy:
        case TOpsKind::NotSerial: return CliPort;
        case TOpsKind::NoAnswer: return CliNoAnswer;
        case TOpsKind::Refused:
        case TOpsKind::NotKept: return CliFailed;
        case TOpsKind::Stopped: return CliStopped;
    }
    return CliFailed;
}

TCliContext::TCliContext(TCliOptions options, std::ostream& out, std::ostream& err)
    : TOpsContext(options, err), Tool(std::move(options)), Out(out) {}

void TCliContext::PrintJson(const nlohmann::json& doc) {
    Out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

int PrintWork(TCliContext& ctx, const std::function<int(TOpsContext&, nlohmann::json&)>& work,
              const std::function<void(const nlohmann::json&)>& text) {
    nlohmann::json doc;
    const int status = work(ctx, doc);
    if (status != CliOk) return status;
    if (ctx.Tool.Json) ctx.PrintJson(doc);
    else text(doc);
    return CliOk;
}

namespace {

// The kind of a failure said without one, by its exit status.
TOpsKind KindOfStatus(int status) {
    switch (status) {
        case CliUsage: return TOpsKind::BadInput;
        case CliPort: return TOpsKind::PortMissing;
        case CliNoAnswer: return TOpsKind::NoAnswer;
        case CliStopped: return TOpsKind::Stopped;
        default: return TOpsKind::Refused;
    }
}

// Parses the line and runs the command; a failure is left in failure.
int RunLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, TOpsError& failure) {
    TCliOptions options;
    std::vector<std::string> words;
    bool portGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        bool hasValue = false;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            value = a.substr(a.find('=') + 1);
            a = a.substr(0, a.find('='));
            hasValue = true;
        }
        const auto take = [&](std::string& v) {
            if (hasValue) {
                v = value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        const auto bad = [&](const std::string& why) {
            err << "vornik-cli: " << a << " " << why << "\nTry vornik-cli --help.\n";
            failure = {TOpsKind::BadInput, a + " " + why, ""};
            return CliUsage;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            options.Help = true;
        } else if (a == "--trace") {
            options.Trace = true;
        } else if (a == "--json") {
            options.Json = true;
        } else if (a == "--check") {
            options.Check = true;
        } else if (a == "--port") {
            if (!take(v) || !ParseInt(v, options.Port) || options.Port < 1 || options.Port > 256)
                return bad("takes a port number 1..256");
            portGiven = true;
        } else if (a == "--device") {
            if (!take(options.Device) || options.Device.empty()) return bad("takes a device path");
            portGiven = true;
        } else if (a == "--speed") {
            if (!take(v) || !ParseInt(v, options.Speed) || !IsValidSpeed(options.Speed))
                return bad("takes a line speed: 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000");
        } else if (const auto file = FileOptions().find(a); file != FileOptions().end()) {
            if (!take(options.*file->second) || (options.*file->second).empty()) return bad("takes a file name");
        } else if (a == "--ports") {
            if (!take(options.Ports) || options.Ports.empty()) return bad("takes port numbers: 1,2,5");
        } else if (a == "--all-nets") {
            options.AllNets = true;
        } else if (a == "--listen") {
            if (!take(options.Listen) || options.Listen.empty()) return bad("takes ADDR:PORT, like 127.0.0.1:8765");
        } else if (a == "--allow-remote") {
            options.AllowRemote = true;
        } else if (a.rfind("--allow-remote=", 0) == 0) {
            options.AllowRemote = true;
            options.HostNames = a.substr(15);
            if (options.HostNames.empty()) return bad("= takes the host names this computer is reached by: pos1,pos1.shop");
        } else if (a == "--net") {
            if (!take(v) || !ParseInt(v, options.Net) || options.Net < 1 || options.Net > 98)
                return bad("takes a network number 1..98");
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return bad("is not an option of vornik-cli");
        } else {
            words.push_back(args[i]);
        }
    }

    if (words.empty()) {
        GeneralHelp(options.Help ? out : err);
        return options.Help ? CliOk : CliUsage;
    }
    std::size_t used = 0;
    const TCliCommand* command = FindCommand(words, used);
    if (!command) {
        const auto group = Group(words[0]);
        std::ostream& where = options.Help && !group.empty() ? out : err;
        if (group.empty()) {
            err << "vornik-cli: unknown command \"" << words[0] << "\"\nTry vornik-cli --help.\n";
            failure = {TOpsKind::BadInput, "unknown command \"" + words[0] + "\"", ""};
            return CliUsage;
        }
        where << (options.Help ? "" : "vornik-cli: \"" + words[0] + "\" needs one of:\n");
        failure = {TOpsKind::BadInput, "\"" + words[0] + "\" needs a command after it", ""};
        for (const auto* c : group) where << "  vornik-cli " << CommandLine(*c) << "  " << c->Summary << "\n";
        return options.Help ? CliOk : CliUsage;
    }
    if (options.Help) {
        CommandHelp(*command, out);
        return CliOk;
    }
    // A file option (and a search option) counts only for the commands whose
    // synopsis names it; so does --check, so that a command that cannot
    // check first refuses it rather than writing.
    for (const auto& [given, name] : {std::pair{!options.Out.empty(), "--out"}, std::pair{!options.Text.empty(), "--text"},
                                      std::pair{options.Check, "--check"},
                                      std::pair{!options.Data.empty(), "--data"},
                                      std::pair{!options.Ports.empty(), "--ports"}, std::pair{options.AllNets, "--all-nets"},
                                      std::pair{!options.Listen.empty(), "--listen"},
                                      std::pair{!options.TokenFile.empty(), "--token-file"},
                                      std::pair{options.AllowRemote, "--allow-remote"}}) {
        if (given && command->Args.find(name) == std::string::npos) {
            err << "vornik-cli: " << command->Name << " takes no " << name << "\nUsage: vornik-cli [options] "
                << CommandLine(*command) << "\n";
            failure = {TOpsKind::BadInput, command->Name + " takes no " + name, ""};
            return CliUsage;
        }
    }

    TCliContext ctx(options, out, err);
    ctx.Args.assign(words.begin() + static_cast<long>(used), words.end());
    const auto count = static_cast<int>(ctx.Args.size());
    if (count < command->MinArgs || (command->MaxArgs >= 0 && count > command->MaxArgs)) {
        const std::string what = command->Name + (count < command->MinArgs ? ": arguments missing" : ": too many arguments");
        err << "vornik-cli: " << what << "\nUsage: vornik-cli [options] " << CommandLine(*command) << "\n";
        failure = {TOpsKind::BadInput, what, ""};
        return CliUsage;
    }
    if (const std::string log = CliLogFile(options.Log); !log.empty()) SetLogFileName(log);
    TOpsErrConsole console(err);
    SetConsole(&console);
    isAUTONOM = true;
    if (options.Trace) MessDepth = mdFunctional;
    struct TRestore {
        ~TRestore() {
            SetConsole(nullptr);
        }
    } restore;

    // The port opens with the first register command, after the command has
    // checked its arguments.
    const int status = command->NeedsRegister && !portGiven
                           ? ctx.Usage("no register given: use --port N or --device PATH")
                           : command->Run(ctx);
    if (status == CliOk) return CliOk;
    failure = ctx.Error;
    return failure.Kind == TOpsKind::None ? status : CliExitStatus(failure.Kind);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TOpsError failure;
    const int status = RunLine(args, out, err, failure);
    // With --json a failure is one object on standard output, so that a
    // script reads what went wrong the way it reads results.
    if (status != CliOk && std::find(args.begin(), args.end(), "--json") != args.end()) {
        if (failure.Kind == TOpsKind::None) failure.Kind = KindOfStatus(status);
        const nlohmann::json doc = {
            {"error", {{"kind", OpsKindName(failure.Kind)}, {"message", failure.Message}, {"field", failure.Field}}}};
        out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    }
    return status;
}

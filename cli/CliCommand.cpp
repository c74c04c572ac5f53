#include "cli/CliCommand.h"
#include "cli/CliRegisterWork.h"

#include "app/Dialog.h"
#include "app/ProjectsVars.h"

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

thread_local TCliContext* t_context = nullptr;

std::string WithoutColorTags(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        if (line.compare(i, 3, "<c:") == 0 && i + 12 <= line.size() && line[i + 11] == '>' &&
            std::all_of(line.begin() + static_cast<long>(i) + 3, line.begin() + static_cast<long>(i) + 11,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })) {
            i += 12;
            continue;
        }
        out += line[i++];
    }
    return out;
}

// What the link saw, by the state the last exchange left.
std::string LinkStateText(int state) {
    switch (state) {
        case 1: return "the register did not answer, or a frame was lost on the line";
        case 3: return "the register answered WAIT or RST";
        default: return "no usable answer from the register";
    }
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
        {"--token-file", &TCliOptions::TokenFile}};
    return options;
}

std::string CommandLine(const TCliCommand& c) { return c.Name + (c.Args.empty() ? "" : " " + c.Args); }

void GeneralHelp(std::ostream& out) {
    out << "Usage: vornik-cli [options] COMMAND [ARGS]\n"
           "Reads and writes the settings of a cash register over its serial line.\n"
           "\n"
           "Options (anywhere on the line):\n"
           "  --port N        the register on port N (1..256): the link ports/COM<N> of the\n"
           "                  working directory when there is one (vornik-sim --com N makes\n"
           "                  it), else /dev/ttyS<N-1> (1-32), /dev/ttyUSB<N-33> (33-64),\n"
           "                  /dev/ttyACM<N-65> (65-96)\n"
           "  --device PATH   the register on this serial device (a pseudo-terminal too)\n"
           "  --speed BAUD    line speed, 19200 unless given\n"
           "  --net N         the register's network number 1..98, 1 unless given\n"
           "  --trace         every frame of the link on standard error\n"
           "  --json          reading commands print JSON instead of text\n"
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
           "Writing commands read the data back and say whether the register kept it.\n"
           "Exit status: 0 done; 1 the register refused or the link failed (the reason on\n"
           "standard error); 2 the command line or an input file is wrong.\n";
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

void TCliErrConsole::AddLine(const std::string& markedLine) {
    TCliContext* const ctx = t_context;
    const std::string errorMark = colorToStrR(C_Error) + "Error:";
    if (ctx && markedLine.find(errorMark) != std::string::npos) ++ctx->errors_;
    std::ostream& err = ctx ? ctx->Err : fallback_;
    err << WithoutColorTags(markedLine) << '\n';
    err.flush();
}

void AddCliCommand(TCliCommand command) { Table().push_back(std::move(command)); }

const std::vector<TCliCommand>& CliCommands() {
    if (Table().empty()) AddCliCommands();
    return Table();
}

TCliContext::TCliContext(TCliOptions options, std::ostream& out, std::ostream& err)
    : Options(std::move(options)), Out(out), Err(err), previous_(t_context) {
    t_context = this;
    KKM.Port = &Port;
    KKM.NetNumber = static_cast<std::uint8_t>(Options.Net);
    Link.KKM = &KKM;
}

TCliContext::~TCliContext() {
    Port.Close();
    t_context = previous_;
}

bool TCliContext::OpenPort() {
    if (!Options.Device.empty()) Port.SetDevicePath(Options.Device);
    else Port.SetPortNumber(Options.Port);
    Port.SetSpeed(Options.Speed);
    const int before = ErrorLines();
    if (Port.Open()) return true;
    if (ErrorLines() > before) return false;  // the port said why
    const std::string device = Port.DeviceName();
    Err << "vornik-cli: cannot open " << (device.empty() ? "port " + std::to_string(Options.Port) : device) << ": "
        << SysErrorText() << "\n";
    return false;
}

TKKMInfo& TCliContext::Info() {
    if (!KKM.Info) KKM.Info = std::make_shared<TKKMInfo>();
    return *KKM.Info;
}

bool TCliContext::Finish(bool ok, int errorsBefore, const std::string& what) {
    if (ok) return true;
    if (ErrorLines() > errorsBefore)
        Err << "vornik-cli: " << what << " failed\n";
    else
        Err << "vornik-cli: " << what << " failed on " << Port.DeviceName() << ": " << LinkStateText(KKM.LinkState)
            << "\n";
    return false;
}

bool TCliContext::Do(bool (TProtocolKKM::*command)(), const std::string& what) {
    if (!Port.IsOpen() && !OpenPort()) return false;
    const int before = ErrorLines();
    return Finish((Link.*command)(), before, what);
}

bool TCliContext::Do(bool (TProtocolKKM::*command)(int), int n, const std::string& what) {
    if (!Port.IsOpen() && !OpenPort()) return false;
    const int before = ErrorLines();
    return Finish((Link.*command)(n), before, what);
}

int TCliContext::Usage(const std::string& text, const std::string& field) {
    Err << "vornik-cli: " << text << "\n";
    ErrorField = field;
    return CliUsage;
}

int TCliContext::Fail(const std::string& text) {
    Err << "vornik-cli: " << text << "\n";
    return CliFailed;
}

void TCliContext::PrintJson(const nlohmann::json& doc) {
    Out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

int PrintWork(TCliContext& ctx, const std::function<int(TCliContext&, nlohmann::json&)>& work,
              const std::function<void(const nlohmann::json&)>& text) {
    nlohmann::json doc;
    const int status = work(ctx, doc);
    if (status != CliOk) return status;
    if (ctx.Options.Json) ctx.PrintJson(doc);
    else text(doc);
    return CliOk;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
            return CliUsage;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            options.Help = true;
        } else if (a == "--trace") {
            options.Trace = true;
        } else if (a == "--json") {
            options.Json = true;
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
            return CliUsage;
        }
        where << (options.Help ? "" : "vornik-cli: \"" + words[0] + "\" needs one of:\n");
        for (const auto* c : group) where << "  vornik-cli " << CommandLine(*c) << "  " << c->Summary << "\n";
        return options.Help ? CliOk : CliUsage;
    }
    if (options.Help) {
        CommandHelp(*command, out);
        return CliOk;
    }
    // A file option (and a search option) counts only for the commands whose synopsis names it.
    for (const auto& [given, name] : {std::pair{!options.Out.empty(), "--out"}, std::pair{!options.Text.empty(), "--text"},
                                      std::pair{!options.Data.empty(), "--data"},
                                      std::pair{!options.Ports.empty(), "--ports"}, std::pair{options.AllNets, "--all-nets"},
                                      std::pair{!options.Listen.empty(), "--listen"},
                                      std::pair{!options.TokenFile.empty(), "--token-file"},
                                      std::pair{options.AllowRemote, "--allow-remote"}}) {
        if (given && command->Args.find(name) == std::string::npos) {
            err << "vornik-cli: " << command->Name << " takes no " << name << "\nUsage: vornik-cli [options] "
                << CommandLine(*command) << "\n";
            return CliUsage;
        }
    }

    TCliContext ctx(options, out, err);
    ctx.Args.assign(words.begin() + static_cast<long>(used), words.end());
    const auto count = static_cast<int>(ctx.Args.size());
    if (count < command->MinArgs || (command->MaxArgs >= 0 && count > command->MaxArgs)) {
        err << "vornik-cli: " << command->Name << (count < command->MinArgs ? ": arguments missing" : ": too many arguments")
            << "\nUsage: vornik-cli [options] " << CommandLine(*command) << "\n";
        return CliUsage;
    }
    TCliErrConsole console(err);
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
    if (command->NeedsRegister && !portGiven) return ctx.Usage("no register given: use --port N or --device PATH");
    return command->Run(ctx);
}

#include "ops/OpsContext.h"

#include "app/ProjectsVars.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace {

thread_local TOpsContext* t_context = nullptr;

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

TOpsKind PortKind(TComOpenFailure failure) {
    switch (failure) {
        case TComOpenFailure::Busy: return TOpsKind::PortBusy;
        case TComOpenFailure::NotSerial: return TOpsKind::NotSerial;
        default: return TOpsKind::PortMissing;
    }
}

}  // namespace

const char* OpsKindName(TOpsKind kind) {
    switch (kind) {
        case TOpsKind::None: return "";
        case TOpsKind::BadInput: return "bad-input";
        case TOpsKind::FileError: return "file-error";
        case TOpsKind::PortMissing: return "port-missing";
        case TOpsKind::PortBusy: return "port-busy";
        case TOpsKind::NotSerial: return "not-serial";
        case TOpsKind::NoAnswer: return "no-answer";
        case TOpsKind::Refused: return "refused";
        case TOpsKind::NotKept: return "not-kept";
        case TOpsKind::Stopped: return "stopped";
    }
    return "";
}

void TOpsErrConsole::AddLine(const std::string& markedLine) {
    TOpsContext* const ctx = t_context;
    std::ostream& err = ctx ? ctx->Err : fallback_;
    const std::string errorMark = colorToStrR(C_Error) + "Error:";
    const auto mark = markedLine.find(errorMark);
    if (mark == std::string::npos) {
        err << WithoutColorTags(markedLine) << '\n';
    } else {
        const std::string text = WithoutColorTags(markedLine.substr(mark + errorMark.size()));
        if (ctx) {
            ++ctx->errors_;
            ctx->lastError_ = text;
        }
        err << "vornik-cli: " << text << '\n';
    }
    err.flush();
}

TOpsContext::TOpsContext(TOpsOptions options, std::ostream& err)
    : Options(std::move(options)), Err(err), previous_(t_context) {
    t_context = this;
    KKM.Port = &Port;
    KKM.NetNumber = static_cast<std::uint8_t>(Options.Net);
    Link.KKM = &KKM;
}

TOpsContext::~TOpsContext() {
    Port.Close();
    t_context = previous_;
}

bool TOpsContext::OpenPort() {
    if (!Options.Device.empty()) Port.SetDevicePath(Options.Device);
    else Port.SetPortNumber(Options.Port);
    Port.SetSpeed(Options.Speed);
    const int before = ErrorLines();
    if (Port.Open()) return true;
    const std::string device = Port.DeviceName();
    const std::string name = device.empty() ? "port " + std::to_string(Options.Port) : device;
    const TOpsKind kind = PortKind(Port.OpenFailure());
    const std::string why = ErrorLines() > before ? LastErrorText() : SysErrorText();
    Error = {kind, "cannot open " + name + ": " + why, ""};
    if (ErrorLines() == before) Say(Error.Message);  // else the port has said why
    return false;
}

TKKMInfo& TOpsContext::Info() {
    if (!KKM.Info) KKM.Info = std::make_shared<TKKMInfo>();
    return *KKM.Info;
}

bool TOpsContext::Finish(bool ok, int errorsBefore, const std::string& what) {
    if (ok) return true;
    // An exchange the link completed ended in the register's error answer.
    const TOpsKind kind = KKM.LinkState == 0 ? TOpsKind::Refused : TOpsKind::NoAnswer;
    if (ErrorLines() > errorsBefore) {
        Error = {kind, what + " failed: " + LastErrorText(), ""};
        Say(what + " failed");
    } else {
        Error = {kind, what + " failed on " + Port.DeviceName() + ": " + LinkStateText(KKM.LinkState), ""};
        Say(Error.Message);
    }
    return false;
}

bool TOpsContext::Do(bool (TProtocolKKM::*command)(), const std::string& what) {
    if (!Port.IsOpen() && !OpenPort()) return false;
    const int before = ErrorLines();
    return Finish((Link.*command)(), before, what);
}

bool TOpsContext::Do(bool (TProtocolKKM::*command)(int), int n, const std::string& what) {
    if (!Port.IsOpen() && !OpenPort()) return false;
    const int before = ErrorLines();
    return Finish((Link.*command)(n), before, what);
}

int TOpsContext::Fail(TOpsKind kind, const std::string& text, const std::string& field) {
    Error = {kind, text, field};
    Say(text);
    return OpsFailed;
}

int TOpsContext::FailLink(const TComPort& port, const TKKM& kkm, const std::string& text) {
    TOpsKind kind = kkm.LinkState == 0 ? TOpsKind::Refused : TOpsKind::NoAnswer;
    if (StopRequested && StopRequested()) kind = TOpsKind::Stopped;
    if (!port.IsOpen() && port.OpenFailure() != TComOpenFailure::None) kind = PortKind(port.OpenFailure());
    return Fail(kind, text);
}

void TOpsContext::Say(const std::string& text) { Err << "vornik-cli: " << text << "\n"; }

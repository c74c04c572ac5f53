// What a register operation works on: the port, the register's image and the
// link of one command line or one service request, and the one error a
// failed operation leaves. The tool and the service both drive the register
// through it; each maps the error's kind to its own answer (exit status,
// HTTP status) in one table.
#pragma once
#include "app/Dialog.h"
#include "kkm/U_kkms.h"
#include "link/U_protocolkkm.h"

#include <functional>
#include <iosfwd>
#include <string>

// An operation's result: OpsOk, or OpsFailed with the context's Error set.
constexpr int OpsOk = 0;
constexpr int OpsFailed = 1;

enum class TOpsKind {
    None,
    BadInput,     // a value given is wrong (Field names it)
    FileError,    // a file cannot be read or written
    PortMissing,  // no such serial port
    PortBusy,     // another program holds the port
    NotSerial,    // the device opens but is no serial line
    NoAnswer,     // the register did not answer
    Refused,      // the register answered with an error
    NotKept,      // the register reads back something else than was written
    Stopped,      // stopped on request
};

// "bad-input", "file-error", "port-missing", "port-busy", "not-serial",
// "no-answer", "refused", "not-kept", "stopped"; "" for None.
const char* OpsKindName(TOpsKind kind);

struct TOpsError {
    TOpsKind Kind = TOpsKind::None;
    std::string Message;
    std::string Field;  // the input at fault ("departments[2].name"), or empty
};

struct TOpsOptions {
    int Port = 0;          // 1..256
    std::string Device;    // a device path instead of the port number
    int Speed = 19200;
    int Net = 1;           // the register's network number 1..98
    bool Trace = false;    // every frame of the link on the error stream
    std::string Ports;     // the ports to search, "1,2,5" (all when empty)
    bool AllNets = false;  // search every network number
    bool Check = false;    // writes compare and report, and send nothing
};

class TOpsContext {
public:
    TOpsContext(TOpsOptions options, std::ostream& err);
    virtual ~TOpsContext();
    TOpsContext(const TOpsContext&) = delete;
    TOpsContext& operator=(const TOpsContext&) = delete;

    TOpsOptions Options;
    std::ostream& Err;

    TComPort Port;
    TKKM KKM;
    TProtocolKKM Link;

    // Set by a front end that shows long work itself (the service's jobs):
    // told the progress instead of the bar on the error stream, and asked
    // between steps whether to stop, as "Остановить" does.
    std::function<void(int done, int total)> Progress;
    std::function<bool()> StopRequested;

    // The last failure; Kind None while everything went well.
    TOpsError Error;

    // Sets up and opens the port; false after saying why (port missing,
    // busy, not serial). Do opens it when it is closed.
    bool OpenPort();
    // The register's device image (created when missing).
    TKKMInfo& Info();

    // Runs one register command (opening the port first when it is closed).
    // On failure says "<what> failed" after the register's own text, or,
    // when the register said nothing, what the link saw.
    bool Do(bool (TProtocolKKM::*command)(), const std::string& what);
    bool Do(bool (TProtocolKKM::*command)(int), int n, const std::string& what);

    // A failure found by the operation itself: says the text, keeps it as
    // the Error, returns OpsFailed.
    int Fail(TOpsKind kind, const std::string& text, const std::string& field = "");
    // A failure of work done over another port and register image (a
    // register session of its own): the kind by what they saw.
    int FailLink(const TComPort& port, const TKKM& kkm, const std::string& text);
    // Fail with BadInput.
    int Usage(const std::string& text, const std::string& field = "") { return Fail(TOpsKind::BadInput, text, field); }
    // A line on the error stream in the tool's one form, "vornik-cli: text".
    void Say(const std::string& text);

    // Error lines the message functions have written on this context's
    // thread since it was made, and the text of the last one.
    int ErrorLines() const { return errors_; }
    const std::string& LastErrorText() const { return lastError_; }

private:
    friend class TOpsErrConsole;
    bool Finish(bool ok, int errorsBefore, const std::string& what);
    int errors_ = 0;
    std::string lastError_;
    TOpsContext* previous_;
};

// The message functions' console: every line as plain text on the error
// stream of the context made last on the calling thread (fallback when there
// is none). Error lines take the form "vornik-cli: text" and are counted
// there; other lines (a trace's "<-" among them) stay as they are, without
// their colour tags.
class TOpsErrConsole : public IConsole {
public:
    explicit TOpsErrConsole(std::ostream& fallback) : fallback_(fallback) {}
    int LineCount() const override { return 0; }
    void DeleteFirstLine() override {}
    void Reset() override {}
    void AddLine(const std::string& markedLine) override;

private:
    std::ostream& fallback_;
};

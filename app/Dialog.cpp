#include "app/Dialog.h"

#include "app/Platform.h"
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

IDialogService* g_dialogs = nullptr;
IConsole* g_console = nullptr;
// A thread of the HTTP service has a console of its own (its request's
// error text); the program's other threads share g_console.
thread_local IConsole* t_console = nullptr;
thread_local bool t_ownConsole = false;
std::string g_logName;  // NameLogFile
// Lines of several threads go to the one log file whole and in turn.
std::mutex g_logMutex;
// The shared console takes one line at a time.
std::recursive_mutex g_consoleMutex;

std::string ExeLogName(const std::string& dir) {
    std::string base = PathName(ProgramPath());
    auto dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
    if (base.empty()) base = "vornik-config";
    return JoinPath(dir, base + ".log");
}

}  // namespace

void SetDialogService(IDialogService* service) { g_dialogs = service; }
IDialogService* DialogService() { return g_dialogs; }

void SetConsole(IConsole* console) {
    (t_ownConsole ? t_console : g_console) = console;
    if (console) console->Reset();
}
IConsole* Console() { return t_ownConsole ? t_console : g_console; }

void SetThreadConsole(IConsole* console) {
    t_ownConsole = console != nullptr;
    t_console = console;
}

std::string LogFileName() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    return g_logName;
}
void SetLogFileName(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_logName = path;
}

std::string FormatStamp(const char* mask, std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    const std::tm tm = SysLocalTime(t);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::string out;
    const std::string m = mask;
    bool afterHour = false;
    char buf[8];
    for (std::size_t i = 0; i < m.size();) {
        const auto starts = [&](const char* tok) { return m.compare(i, std::char_traits<char>::length(tok), tok) == 0; };
        if (starts("zzz")) {
            std::snprintf(buf, sizeof buf, "%03d", static_cast<int>(ms));
            out += buf;
            i += 3;
        } else if (starts("dd")) {
            std::snprintf(buf, sizeof buf, "%02d", tm.tm_mday), out += buf, i += 2;
        } else if (starts("mm")) {
            std::snprintf(buf, sizeof buf, "%02d", afterHour ? tm.tm_min : tm.tm_mon + 1), out += buf, i += 2;
        } else if (starts("yy")) {
            std::snprintf(buf, sizeof buf, "%02d", tm.tm_year % 100), out += buf, i += 2;
        } else if (starts("hh")) {
            std::snprintf(buf, sizeof buf, "%02d", tm.tm_hour), out += buf, i += 2, afterHour = true;
        } else if (starts("nn")) {
            std::snprintf(buf, sizeof buf, "%02d", tm.tm_min), out += buf, i += 2;
        } else if (starts("ss")) {
            std::snprintf(buf, sizeof buf, "%02d", tm.tm_sec), out += buf, i += 2;
        } else {
            out += m[i++];
        }
    }
    return out;
}

void DelEnters(std::string& text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
}

void WritelnLog(const std::string& text) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    const std::string line =
        FormatStamp(isDEBUG ? DateMaskaForLogDEBUG : DateMaskaForLog, std::chrono::system_clock::now()) + text;
    const std::string bytes = Utf8ToCp1251(line) + "\r\n";
    if (!g_logName.empty()) {
        AppendFileBytes(g_logName, bytes);
        return;
    }
    // Beside the executable when that folder is writable, else in the
    // working directory; a log location must never make messages fail.
    g_logName = ExeLogName(ProgramDir());
    if (!AppendFileBytes(g_logName, bytes)) {
        g_logName = ExeLogName(CurrentDir());
        AppendFileBytes(g_logName, bytes);
    }
}

void WritelnConsole(std::string text, TColor color) {
    DelEnters(text);
    IConsole* const console = Console();
    if (!console) return;
    std::unique_lock<std::recursive_mutex> lock(g_consoleMutex, std::defer_lock);
    if (!t_ownConsole) lock.lock();
    const std::string stamp =
        FormatStamp(isDEBUG ? DateMaskaForLogDEBUG : DateMaskaForConsole, std::chrono::system_clock::now());
    const std::string line = colorToStrR(C_DataTime) + stamp + colorToStrR(color) + text;
    while (console->LineCount() >= LimitLines) console->DeleteFirstLine();
    console->AddLine(line);
}

void Mess(std::string text, bool box, bool console, bool log) {
    if (log) WritelnLog(text);
    if (console) WritelnConsole(text, C_Message);
    if (box && !isAUTONOM && g_dialogs) g_dialogs->ShowBox(TBoxKind::Information, text);
}

void Warning(std::string text, bool box, bool console, bool log) {
    if (log) WritelnLog("Warning:" + text);
    if (console) WritelnConsole("Warning:" + colorToStrR(C_Message) + text, C_Warning);
    if (box && !isAUTONOM && g_dialogs) g_dialogs->ShowBox(TBoxKind::Warning, text);
}

void Error(std::string text, bool box, bool console, bool log) {
    if (log) WritelnLog("Error:" + text);
    if (console) WritelnConsole("Error:" + colorToStrR(C_Message) + text, C_Error);
    if (box && !isAUTONOM && g_dialogs) g_dialogs->ShowBox(TBoxKind::Error, text);
}

void MT(std::string text, TMessDepth depth) {
    if (MessDepth >= depth) Mess(std::move(text), false, true, true);
}
void WT(std::string text, TMessDepth depth) {
    if (MessDepth >= depth || isDEBUG) Warning(std::move(text), false, true, true);
}
void ET(std::string text, TMessDepth depth) {
    if (MessDepth >= depth || isDEBUG) Error(std::move(text), false, true, true);
}

namespace {

int AskQuery(TQueryKind kind, const std::string& text, int autonomAnswer) {
    if (isAUTONOM || !g_dialogs) return autonomAnswer;
    return g_dialogs->ShowQuery(kind, text);
}

int FinishQuery(std::string text, const char* suffix, bool console, bool log, int answer) {
    text += suffix;
    if (log) WritelnLog("Query:" + text);
    if (console) WritelnConsole("Query:" + text, C_Query);
    return answer;
}

}  // namespace

int QueryOkCancel(std::string text, bool console, bool log, int def) {
    const int a = AskQuery(TQueryKind::OkCancel, text, def == mrOk ? mrOk : mrCancel);
    return FinishQuery(std::move(text), a == mrOk ? " - OK" : " - cancel", console, log, a);
}

int QueryYesNo(std::string text, bool console, bool log, int def) {
    const int a = AskQuery(TQueryKind::YesNo, text, def == mrYes ? mrYes : mrNo);
    return FinishQuery(std::move(text), a == mrYes ? " - Yes" : " - No", console, log, a);
}

int QueryYesNoCancel(std::string text, bool console, bool log, int def) {
    const int a = AskQuery(TQueryKind::YesNoCancel, text, def == mrYes ? mrYes : def == mrNo ? mrNo : mrCancel);
    return FinishQuery(std::move(text), a == mrYes ? " - Yes" : a == mrNo ? " - No" : " - Cancel", console, log, a);
}

int QueryAbortRetryIgnore(std::string text, bool console, bool log, int def) {
    const int a =
        AskQuery(TQueryKind::AbortRetryIgnore, text, def == mrAbort ? mrAbort : def == mrRetry ? mrRetry : mrIgnore);
    const char* suffix = a == mrAbort ? " - Abort" : a == mrRetry ? " - Retry" : a == mrCancel ? " - Cancel" : " - Ignory";
    return FinishQuery(std::move(text), suffix, console, log, a);
}

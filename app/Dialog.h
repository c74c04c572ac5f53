// Message functions: every report of the program goes through these. Each
// call says where the text goes: a message box, the console, the log file.
#pragma once
#include "app/ProjectsVars.h"
#include "app/Utilscolor.h"

#include <chrono>
#include <string>

constexpr TColor C_Face = 0x000000;
constexpr TColor C_DataTime = 0x00FFFF;
constexpr TColor C_Message = 0x00FF00;
constexpr TColor C_Query = 0xF0CAA6;
constexpr TColor C_Warning = 0xFF00FF;
constexpr TColor C_Error = 0x0000FF;
constexpr int LimitLines = 100;

constexpr const char* DateMaskaForLog = "dd.mm.yy hh:nn:ss ";
constexpr const char* DateMaskaForLogDEBUG = "dd.mm.yy hh:nn:ss zzz ";
constexpr const char* DateMaskaForConsole = "hh:nn:ss ";

// Modal results, as the query functions return them.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

enum class TBoxKind { Information, Warning, Error };
enum class TQueryKind { OkCancel, YesNo, YesNoCancel, AbortRetryIgnore };

// Message boxes and queries are the front end's; the core only calls them.
class IDialogService {
public:
    virtual ~IDialogService() = default;
    virtual void ShowBox(TBoxKind kind, const std::string& text) = 0;
    // Returns the pressed button as a TModalResult.
    virtual int ShowQuery(TQueryKind kind, const std::string& text) = 0;
};
void SetDialogService(IDialogService* service);
IDialogService* DialogService();

// The on-screen console: a list of marked-up lines (see Utilscolor.h).
class IConsole {
public:
    virtual ~IConsole() = default;
    virtual int LineCount() const = 0;
    virtual void DeleteFirstLine() = 0;
    virtual void AddLine(const std::string& markedLine) = 0;  // AddLineToRichEdit
    virtual void Reset() = 0;  // black background, no lines, no wrap, scroll bar always shown
};
// SetConsole and Console act on the calling thread's own console once
// SetThreadConsole has given it one (null: back to the shared console).
void SetConsole(IConsole* console);
IConsole* Console();
void SetThreadConsole(IConsole* console);

void Mess(std::string text, bool box, bool console, bool log);
void Warning(std::string text, bool box, bool console, bool log);
void Error(std::string text, bool box, bool console, bool log);

void MT(std::string text, TMessDepth depth);
void WT(std::string text, TMessDepth depth);
void ET(std::string text, TMessDepth depth);

int QueryOkCancel(std::string text, bool console, bool log, int def);
int QueryYesNo(std::string text, bool console, bool log, int def);
int QueryYesNoCancel(std::string text, bool console, bool log, int def);
int QueryAbortRetryIgnore(std::string text, bool console, bool log, int def);

void WritelnConsole(std::string text, TColor color);
void WritelnLog(const std::string& text);

// Every character below 32 becomes a blank, in place.
void DelEnters(std::string& text);

// now formatted with one of the masks above ("dd", "mm", "yy", "hh", "nn",
// "ss", "zzz"; "mm" after "hh" means minutes).
std::string FormatStamp(const char* mask, std::chrono::system_clock::time_point when);

// The log lies beside the executable under its name with ".log"; where that
// folder is not writable, in the working directory. Tests may set it.
std::string LogFileName();
void SetLogFileName(const std::string& path);

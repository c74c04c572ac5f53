// The settings file VornikConfig.ini of the working directory: the NET,
// Exchange and Window keys (the Port section belongs to the serial port
// object).
#pragma once
#include <string>
#include <vector>

constexpr const char* ConfigFileName = "VornikConfig.ini";

// Working directory + "/VornikConfig.ini".
std::string ConfigFilePath();

// NET/NUMBER, default 1.
int ReadNetNumber();
// Exchange/DBFFile, default "goods.dbf".
std::string ReadExchangeFile();
// Window/ConsoleHeight in pixels, or def when absent.
int ReadConsoleHeight(int def);

// The window as the operator left it (section Window): position, size of
// the normal window, and whether it was maximised.
struct TWindowPlace {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Maximized = false;
};
// False when the file holds no usable size (then the window keeps its own).
bool ReadWindowPlace(TWindowPlace& place);

// Each writes its key; when the file cannot be written it returns false with
// the reason in error (the caller reports it).
bool WriteNetNumber(int number, std::string* error = nullptr);
bool WriteExchangeFile(const std::string& name, std::string* error = nullptr);
bool WriteConsoleHeight(int height, std::string* error = nullptr);
bool WriteWindowPlace(const TWindowPlace& place, std::string* error = nullptr);

// What the close could not write into the settings file: every section tried,
// so that one report names them all.
struct TUnsavedSettings {
    std::vector<std::string> Sections;
    std::string Reason;  // the first failure's text, naming the file
    // Notes section as unsaved unless ok; returns ok.
    bool Note(bool ok, const std::string& section, const std::string& reason);
    // One error naming the unsaved sections and the reason, which names the
    // file; nothing when everything was saved. The box only when asked for:
    // console and log always.
    void Report(bool box) const;
};

// The settings file VornikConfig.ini of the working directory: the NET and
// Exchange keys (the Port section belongs to the serial port object).
#pragma once
#include <string>

constexpr const char* ConfigFileName = "VornikConfig.ini";

// Working directory + "/VornikConfig.ini".
std::string ConfigFilePath();

// NET/NUMBER, default 1.
int ReadNetNumber();
// Exchange/DBFFile, default "goods.dbf".
std::string ReadExchangeFile();

// Each reports a clear error (console, log, box) and returns false when the
// file cannot be written.
bool WriteNetNumber(int number);
bool WriteExchangeFile(const std::string& name);

// What the writing commands share: their JSON input (a FILE.json, or "-"
// with --json, in the form the reading command prints) and their report
// (with --json the operation's document, else text).
#pragma once
#include "cli/CliCommand.h"

#include <functional>
#include <string>

// Whether the command's one argument names JSON input.
bool JsonInputGiven(const TCliContext& ctx);
// The whole input file ("-": standard input); false after a file error.
bool ReadInputFile(TCliContext& ctx, const std::string& path, std::string& text);
// The write's report: with --json the document, else text (given the
// document) and, when the write changed nothing, a line that says so. With
// --check the text ends with a line saying nothing was written.
int ReportWrite(TCliContext& ctx, int status, const nlohmann::json& report, const std::string& what,
                const std::function<void(const nlohmann::json&)>& text);

// The register's command set: a request (01, command code, parameters) in,
// the answer's DATA frames out. Each command is one handler in the table of
// SimCommands.cpp (identity) or SimRegisterCommands.cpp (everything else);
// adding a command touches nothing of the link.
#pragma once
#include "sim/SimState.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

// The data of the answer's DATA frames, in order (each at most 255 bytes).
using TSimFrames = std::vector<std::vector<std::uint8_t>>;
using TSimRequest = std::vector<std::uint8_t>;
using TSimCommandHandler = std::function<TSimFrames(TSimState& state, const TSimRequest& request)>;
// A handler that also sees the continuation flag of the request's DATA frame
// (the register tells a single goods read from the whole-table read by it).
using TSimStreamHandler =
    std::function<TSimFrames(TSimState& state, const TSimRequest& request, bool continuation)>;

// Register result codes the simulator answers with.
constexpr std::uint8_t SimOk = 0;
constexpr std::uint8_t SimUnknownCommand = 1;
constexpr std::uint8_t SimBadFormat = 3;

class TSimCommands {
public:
    TSimCommands();  // the built-in commands
    // Adds or replaces the handler of a command code.
    void Register(std::uint8_t code, TSimCommandHandler handler);
    void Register(std::uint8_t code, TSimStreamHandler handler);
    TSimFrames Handle(TSimState& state, const TSimRequest& request, bool continuation = true) const;

private:
    std::map<std::uint8_t, TSimStreamHandler> handlers_;
};

// Helpers for handlers.
// First bytes of an answer: 01, the command code, the result code.
std::vector<std::uint8_t> SimAnswerHead(std::uint8_t code, std::uint8_t result);
// A text field of the register: code page 1251, cut to width, NUL-padded.
void PutSimText(std::vector<std::uint8_t>& out, const std::string& utf8, std::size_t width);
// An answer of one frame, or of several when longer than a frame holds.
TSimFrames SplitSimFrames(const std::vector<std::uint8_t>& bytes, std::size_t frameSize = 255);

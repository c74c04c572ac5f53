#include "sim/SimCommands.h"

#include "app/TextCodec.h"
#include "sim/SimRegisterCommands.h"

#include <algorithm>

namespace {

// 01 01: identity, 44 bytes.
TSimFrames GetInfo(TSimState& state, const TSimRequest&) {
    auto a = SimAnswerHead(0x01, SimOk);
    PutSimText(a, state.Identity.Model, 16);
    PutSimText(a, state.Identity.SerialNumber, 12);
    PutSimText(a, state.Identity.Version, 12);
    a.push_back(state.Identity.Mode);
    return {a};
}

struct TBuiltIn {
    std::uint8_t Code;
    TSimFrames (*Handler)(TSimState&, const TSimRequest&);
};

const TBuiltIn kBuiltIn[] = {
    {0x01, GetInfo},
};

}  // namespace

std::vector<std::uint8_t> SimAnswerHead(std::uint8_t code, std::uint8_t result) { return {0x01, code, result}; }

void PutSimText(std::vector<std::uint8_t>& out, const std::string& utf8, std::size_t width) {
    const std::string bytes = Utf8ToCp1251(utf8);
    for (std::size_t i = 0; i < width; ++i) out.push_back(i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0);
}

TSimFrames SplitSimFrames(const std::vector<std::uint8_t>& bytes, std::size_t frameSize) {
    TSimFrames frames;
    if (frameSize == 0) frameSize = 255;
    for (std::size_t i = 0; i < bytes.size(); i += frameSize)
        frames.emplace_back(bytes.begin() + static_cast<long>(i),
                            bytes.begin() + static_cast<long>(std::min(bytes.size(), i + frameSize)));
    if (frames.empty()) frames.emplace_back();
    return frames;
}

TSimCommands::TSimCommands() {
    for (const auto& c : kBuiltIn) Register(c.Code, c.Handler);
    AddSimRegisterCommands(*this);
}

void TSimCommands::Register(std::uint8_t code, TSimCommandHandler handler) {
    handlers_[code] = [h = std::move(handler)](TSimState& state, const TSimRequest& request, bool) {
        return h(state, request);
    };
}

void TSimCommands::Register(std::uint8_t code, TSimStreamHandler handler) { handlers_[code] = std::move(handler); }

TSimFrames TSimCommands::Handle(TSimState& state, const TSimRequest& request, bool continuation) const {
    if (request.size() < 2 || request[0] != 0x01)
        return {SimAnswerHead(request.size() >= 2 ? request[1] : 0, SimBadFormat)};
    const auto it = handlers_.find(request[1]);
    if (it == handlers_.end()) return {SimAnswerHead(request[1], SimUnknownCommand)};
    return it->second(state, request, continuation);
}

#include "sim/RegisterSimulator.h"

#include "app/U_filedirwork.h"
#include "link/ComportSystem.h"
#include "sim/SimLink.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

TRegisterSimulator::TRegisterSimulator(TSimOptions options) : options_(std::move(options)) {}

TRegisterSimulator::~TRegisterSimulator() { Stop(); }

bool TRegisterSimulator::Start(std::string& error) {
    if (Running()) return true;
    TSimState state;
    if (!options_.StateFile.empty() && !state.Load(options_.StateFile, error)) return false;
    if (options_.NetNumber != 0) {
        if (options_.NetNumber < 1 || options_.NetNumber > 98) {
            error = "the network number must be 1..98";
            return false;
        }
        state.NetNumber = options_.NetNumber;
    }
    if (options_.Mode != -1) {
        if (options_.Mode < 0 || options_.Mode > 2) {
            error = "the mode must be 0, 1 or 2";
            return false;
        }
        state.Identity.Mode = static_cast<std::uint8_t>(options_.Mode);
    }
    if (options_.Speed < 0) {
        error = "the speed must not be negative";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = state;
    }
    if (!options_.LogFile.empty() && !recorder_.OpenLog(options_.LogFile, error)) return false;
    if (!line_.Open(error)) return false;
    line_.SetSpeed(options_.Speed);
    line_.SetStrictSpeed(options_.StrictSpeed);
    if (options_.ComNumber > 0 && !MakeComLink(error)) {
        line_.Close();
        return false;
    }
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        RemoveComLink();
        line_.Close();
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

bool TRegisterSimulator::Stop() {
    if (!Running()) return true;
    stop_ = true;
    const char b = 1;
    (void)!write(wake_[1], &b, 1);
    thread_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    stopError_.clear();
    const bool saved = options_.StateFile.empty() || SaveState(stopError_);
    RemoveComLink();
    line_.Close();
    return saved;
}

void TRegisterSimulator::Run() {
    // Pacing sleeps to the microsecond; the default slack of 50 us a sleep
    // would add up to a slower line than the one simulated.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    TSimLink link(line_, faults_, recorder_, [this](const TSimRequest& r, bool more) { return Execute(r, more); });
    {
        std::lock_guard<std::mutex> lock(mutex_);
        link.SetNetNumber(state_.NetNumber);
    }
    std::vector<std::uint8_t> bytes;
    std::vector<TSimLine::Clock::time_point> arrivals;
    while (!stop_) {
        bytes.clear();
        arrivals.clear();
        const auto r = line_.Receive(bytes, arrivals, 200, wake_[0]);
        if (r != TSimLine::TReceive::Data) {
            if (r == TSimLine::TReceive::Failed) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        // A two-wire line: the computer hears its own bytes as they go out.
        if (options_.Echo) line_.Send(bytes, false);
        link.Feed(bytes, arrivals);
    }
}

TSimFrames TRegisterSimulator::Execute(const TSimRequest& request, bool continuation) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!prepared_.empty()) {
        TSimFrames frames = std::move(prepared_.front());
        prepared_.pop_front();
        return frames;
    }
    return commands_.Handle(state_, request, continuation);
}

bool TRegisterSimulator::AddFault(const std::string& faultText, std::string& error) {
    TSimFault f;
    if (!ParseSimFault(faultText, f, error)) return false;
    faults_.Add(f);
    return true;
}

void TRegisterSimulator::PrepareAnswer(const std::vector<std::uint8_t>& answer, std::size_t frameSize) {
    PrepareFrames(SplitSimFrames(answer, frameSize));
}

void TRegisterSimulator::PrepareFrames(TSimFrames frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    prepared_.push_back(std::move(frames));
}

void TRegisterSimulator::PrepareStream(int count, std::size_t size) {
    TSimFrames frames;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> f(size);
        for (std::size_t k = 0; k < size; ++k) f[k] = static_cast<std::uint8_t>(k * 7 + static_cast<std::size_t>(i));
        for (std::size_t k = 0; k < 4 && 3 + k < size; ++k) f[3 + k] = static_cast<std::uint8_t>(i >> (8 * k));
        if (size >= 3) {
            f[0] = 0x01;
            f[1] = 0x0F;
            f[2] = 0x00;
        }
        frames.push_back(std::move(f));
    }
    PrepareFrames(std::move(frames));
}

void TRegisterSimulator::RegisterCommand(std::uint8_t code, TSimCommandHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.Register(code, std::move(handler));
}

void TRegisterSimulator::RegisterCommand(std::uint8_t code, TSimStreamHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.Register(code, std::move(handler));
}

TSimState TRegisterSimulator::State() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void TRegisterSimulator::SetState(const TSimState& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
}

bool TRegisterSimulator::SaveState(std::string& error) const {
    if (options_.StateFile.empty()) {
        error = "no state file was given";
        return false;
    }
    return State().Save(options_.StateFile, error);
}

bool TRegisterSimulator::MakeComLink(std::string& error) {
    const std::string dir = options_.PortsDir.empty() ? std::string("ports") : options_.PortsDir;
    if (!ForceDir(dir)) {
        error = "cannot create the folder " + dir;
        return false;
    }
    const std::string link = JoinPath(dir, "COM" + std::to_string(options_.ComNumber));
    std::string old;
    if (ComReadLink(link, old)) ::unlink(link.c_str());  // left by an earlier run
    if (::symlink(line_.DevicePath().c_str(), link.c_str()) != 0) {
        error = "cannot create the link " + link + ": " + std::strerror(errno);
        return false;
    }
    comLink_ = link;
    return true;
}

void TRegisterSimulator::RemoveComLink() {
    if (comLink_.empty()) return;
    std::string target;
    if (ComReadLink(comLink_, target) && target == line_.DevicePath()) ::unlink(comLink_.c_str());
    comLink_.clear();
}

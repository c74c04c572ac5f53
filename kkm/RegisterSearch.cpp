#include "kkm/RegisterSearch.h"

#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "kkm/RegisterProbe.h"
#include "link/Comport.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

namespace {

constexpr int kFirstSpeeds[] = {115200, 57600, 38400, 19200, 9600};
constexpr int kAllSpeeds[] = {128000, 115200, 57600, 56000, 38400, 19200, 14400, 9600, 4800, 2400};
// How often the caller's thread looks at the ports' reports and lets the
// window work.
constexpr auto kReportInterval = std::chrono::milliseconds(20);

std::string PortName(const TSearchPort& p) { return "COM" + std::to_string(p.Number); }

// What a port's thread tells the caller's thread.
struct TPortReport {
    enum TKind { Probed, Busy, Missing, Failed, Unconfirmed, Found } Kind = Probed;
    int Probes = 0;  // Probed: how many
    TFoundRegister Register;  // Found; Unconfirmed: port, speed and number
};

class TReportQueue {
public:
    void Post(TPortReport r) {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.push_back(std::move(r));
        wake_.notify_one();
    }
    void PortDone() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++portsDone_;
        wake_.notify_one();
    }
    // Waits a little for reports; takes them all. Returns the ports done.
    int Take(std::deque<TPortReport>& out) {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, kReportInterval, [&] { return !reports_.empty(); });
        out.swap(reports_);
        reports_.clear();
        return portsDone_;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TPortReport> reports_;
    int portsDone_ = 0;
};

// One port, on a thread of its own: every speed in turn until the register
// at the one number was found, or at every speed for all numbers.
void SearchPort(const TSearchPort& port, const std::vector<int>& speeds, const std::vector<int>& nets, int marginMs,
                const std::atomic<bool>& stop, TReportQueue& queue) {
    TRegisterProbe probe(port.Device, stop, marginMs);
    int left = static_cast<int>(speeds.size());
    bool missing = false;
    TFoundRegister at;
    at.Port = port.Number;
    at.Device = port.Device;
    if (!probe.Open(missing)) {
        queue.Post({missing ? TPortReport::Missing : TPortReport::Busy, 0, at});
    } else {
        std::set<int> found;
        for (int speed : speeds) {
            std::vector<int> wanted;
            for (int n : nets)
                if (!found.count(n)) wanted.push_back(n);
            if (stop || wanted.empty()) break;
            at.Speed = speed;
            if (probe.SetSpeed(speed)) {
                for (int net : probe.Probe(wanted)) {
                    at.Net = net;
                    // One more try: a frame lost on the line is not a register missing.
                    if (probe.Identify(net, at.Identity) || probe.Identify(net, at.Identity)) {
                        found.insert(net);
                        queue.Post({TPortReport::Found, 0, at});
                    } else if (!stop && !probe.Failed()) {
                        queue.Post({TPortReport::Unconfirmed, 0, at});
                    }
                }
            }
            if (probe.Failed()) {
                queue.Post({TPortReport::Failed, 0, at});
                break;
            }
            if (stop) break;
            queue.Post({TPortReport::Probed, 1, {}});
            --left;
        }
    }
    // A port finished early counts its remaining speeds as done.
    if (!stop && left > 0) queue.Post({TPortReport::Probed, left, {}});
    queue.PortDone();
}

}  // namespace

std::vector<TSearchPort> SearchPortList() {
    std::vector<TSearchPort> ports;
    std::istringstream in(EnumComPorts());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("COM", 0) != 0) continue;
        TSearchPort p;
        p.Number = std::atoi(line.c_str() + 3);
        p.Device = PortDevicePath(p.Number);
        p.Busy = line.find("BUSY") != std::string::npos;
        ports.push_back(p);
    }
    return ports;
}

std::vector<int> SearchSpeedOrder(int first) {
    std::vector<int> order{first};
    const auto add = [&](int s) {
        if (std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
    };
    for (int s : kFirstSpeeds) add(s);
    for (int s : kAllSpeeds) add(s);
    return order;
}

std::string FoundRegisterLine(const TFoundRegister& r) {
    return "COM" + std::to_string(r.Port) + " " + std::to_string(r.Speed) + " " + std::to_string(r.Net) + " " +
           r.Identity.Model + " " + r.Identity.SerialNumber + " " + r.Identity.Version;
}

std::vector<TFoundRegister> TRegisterSearch::Run(const std::vector<TSearchPort>& ports) {
    stop_ = false;
    stopped_ = false;
    running_ = true;
    const std::vector<int> speeds = SearchSpeedOrder(IsValidSpeed(FirstSpeed) ? FirstSpeed : 19200);
    // A network number no register can have (a bad settings file) is no
    // search at all: every number is tried instead.
    const bool allNets = AllNets || NetNumber < 1 || NetNumber > 98;
    std::vector<int> nets;
    for (int n = allNets ? 1 : NetNumber; n <= (allNets ? 98 : NetNumber); ++n) nets.push_back(n);

    const auto busy = [&](const TSearchPort& p) {
        Warning(PortName(p) + ": порт занят другой программой, поиск на нём не ведётся", false, true, true);
        if (OnBusy) OnBusy(p);
    };
    std::vector<TFoundRegister> found;
    std::vector<const TSearchPort*> searched;
    for (const auto& p : ports) {
        if (p.Busy) busy(p);
        else searched.push_back(&p);
    }
    Mess("Поиск ККМ: портов " + std::to_string(searched.size()) + ", " +
             (allNets ? std::string("все сетевые номера") : "сетевой номер " + std::to_string(NetNumber)),
         false, true, true);
    const int total = static_cast<int>(searched.size() * speeds.size());
    int done = 0;
    if (OnProgress) OnProgress(done, total);

    TReportQueue queue;
    std::vector<std::thread> threads;
    for (const auto* p : searched)
        threads.emplace_back([&, p] { SearchPort(*p, speeds, nets, AnswerMarginMs, stop_, queue); });

    std::deque<TPortReport> reports;
    for (bool last = threads.empty(); !last;) {
        last = queue.Take(reports) == static_cast<int>(threads.size());
        for (auto& r : reports) {
            const TSearchPort port{r.Register.Port, r.Register.Device, true};
            switch (r.Kind) {
                case TPortReport::Probed:
                    done += r.Probes;
                    if (OnProgress) OnProgress(done, total);
                    break;
                case TPortReport::Busy:
                    busy(port);
                    break;
                case TPortReport::Missing:
                    Warning(PortName(port) + ": порт недоступен", false, true, true);
                    break;
                case TPortReport::Failed:
                    Warning(PortName(port) + ": порт отказал, поиск на нём прерван: " + port.Device, false, true,
                            true);
                    break;
                case TPortReport::Unconfirmed:
                    Warning(PortName(port) + " " + std::to_string(r.Register.Speed) +
                                ", сетевой номер " + std::to_string(r.Register.Net) +
                                ": ответ есть, но сведения о ККМ не получены",
                            false, true, true);
                    break;
                case TPortReport::Found:
                    Mess("Найдена ККМ: " + FoundRegisterLine(r.Register), false, true, true);
                    found.push_back(r.Register);
                    if (OnFound) OnFound(r.Register);
                    break;
            }
        }
        reports.clear();
        ProcessPendingEvents();
        if (ApplicationTerminating()) stop_ = true;
    }
    for (auto& t : threads) t.join();

    std::sort(found.begin(), found.end(), [](const TFoundRegister& a, const TFoundRegister& b) {
        return a.Port != b.Port ? a.Port < b.Port : a.Net < b.Net;
    });
    stopped_ = stop_;
    running_ = false;
    Mess(std::string(stopped_ ? "Поиск ККМ остановлен" : "Поиск ККМ закончен") +
             ", найдено ККМ: " + std::to_string(found.size()),
         false, true, true);
    return found;
}

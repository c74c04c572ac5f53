#include "serve/ServeHttp.h"

#include "app/ConfigFile.h"
#include "app/Dialog.h"
#include "app/Platform.h"
#include "app/U_filedirwork.h"
#include "link/Comport.h"
#include "serve/ServeApi.h"
#include "serve/ServeConnections.h"
#include "serve/ServeGate.h"
#include "serve/ServeScratch.h"
#include "serve/ServeSocket.h"
#include "serve/ServeToken.h"

#include <httplib.h>


#include <algorithm>
#include <atomic>
#include <cctype>
#include <ostream>
#include <thread>

namespace {

// Connections served at once; more wait for the next free one. One address
// holds at most a third of them (TConnectionLimits::PerAddress), so a single
// client cannot take them all.
constexpr int kServerThreads = 96;

// The HTTP library's server, each connection read through a
// TServeConnection, which holds the request head to its deadline and budget.
class TWatchedServer : public httplib::Server {
public:
    explicit TWatchedServer(TServeConnections& connections) : connections_(connections) {}

private:
    bool process_and_close_socket(socket_t sock) override {
        const TConnectionLimits& limits = connections_.Limits();
        TServeConnection c(sock, limits);
        bool ok = false;
        if (connections_.Open(c)) {
            for (int left = limits.KeepAliveRequests; left > 0 && is_running(); --left) {
                if (left != limits.KeepAliveRequests) c.AwaitHead(limits.IdleTime + limits.HeadTime);
                bool closed = false;
                ok = process_request(c, left == 1, closed, nullptr);
                // A head that never came whole ends the connection.
                if (c.InHead()) c.CloseAfterAnswer();
                if (!ok || closed || c.Closing()) break;
            }
            connections_.Closed(c);
        }
        if (c.Closing() && !c.WasCut()) {
            SocketCloseGently(sock, 2000, 2 * ServeMaxBody);
        } else {
            SocketCut(sock);
            SocketClose(sock);
        }
        return ok;
    }

    TServeConnections& connections_;
};

TServeRequest FromHttp(const httplib::Request& req) {
    TServeRequest r;
    r.Method = req.method;
    r.Path = req.path;
    r.Query.insert(req.params.begin(), req.params.end());
    for (const auto& [name, value] : req.headers) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        r.Headers.emplace(lower, value);
    }
    return r;
}

// This answer ends its connection: what is left of the request is not read.
void CloseAfter(httplib::Response& res) {
    if (TServeConnection* c = TServeConnections::Current()) c->CloseAfterAnswer();
    res.set_header("Connection", "close");
}

void ToHttp(TServeResponse r, httplib::Response& res) {
    AddSafetyHeaders(r);
    res.status = r.Status;
    for (const auto& [name, value] : r.Headers) res.set_header(name, value);
    res.set_content(r.Body, r.ContentType.c_str());
}

// The texts of the statuses the library answers by itself, for a JSON body.
std::string StatusText(int status) {
    switch (status) {
        case 400: return "malformed request";
        case 404: return "no such path";
        case 413: return "the request body is over 16 MB";
        case 414: return "the request line is too long";
        default: return "request refused (" + std::to_string(status) + ")";
    }
}

// The settings file's speed and network number, as the configurator uses them.
void LineDefaults(int& speed, int& net) {
    TComPort port;
    port.LoadFromIni(ConfigFilePath(), "Port");
    speed = port.GetSpeed();
    net = ReadNetNumber();
}

std::string WebFolder() {
    const std::string beside = JoinPath(ProgramDir(), "web");
    return DirExists(beside) ? beside : JoinPath(DataDir(), "web");
}

}  // namespace

bool IsLoopbackHost(const std::string& host) { return ResolvesToLoopbackOnly(host); }

bool SplitListen(const std::string& listen, std::string& host, int& port) {
    std::size_t colon;
    if (!listen.empty() && listen[0] == '[') {
        const auto close = listen.find(']');
        if (close == std::string::npos || close + 1 >= listen.size() || listen[close + 1] != ':') return false;
        host = listen.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = listen.rfind(':');
        if (colon == std::string::npos || colon == 0) return false;
        host = listen.substr(0, colon);
        if (host.find(':') != std::string::npos) return false;
    }
    const std::string digits = listen.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    port = std::stoi(digits);
    return port <= 65535 && !host.empty();
}

int RunServe(const TServeOptions& options, std::ostream& out, std::ostream& err) {
    std::string host;
    int port = 0;
    if (!SplitListen(options.Listen, host, port)) {
        err << "vornik-cli: --listen takes ADDR:PORT, like 127.0.0.1:8765\n";
        return 2;
    }
    if (!IsLoopbackHost(host) && !options.AllowRemote) {
        err << "vornik-cli: listening on " << host << " lets other computers in: add --allow-remote to do it\n";
        return 2;
    }
    const std::string tokenFile = options.TokenFile.empty() ? JoinPath(CurrentDir(), ServeTokenFileName) : options.TokenFile;
    TServeConfig config;
    bool made = false;
    std::string error;
    if (!LoadOrMakeToken(tokenFile, config.Token, made, error)) {
        err << "vornik-cli: " << error << "\n";
        return 1;
    }
    LineDefaults(config.DefaultSpeed, config.DefaultNet);
    config.WebDir = WebFolder();
    TScratchFolder scratch;
    if (!scratch.Make(error)) {
        err << "vornik-cli: " << error << "\n";
        return 1;
    }
    config.ScratchDir = scratch.Path();
    config.PortDevice = [](int n) { return PortDevicePath(n); };

    // Stop requests (SIGINT, SIGTERM; Ctrl+C or a closed console on Windows)
    // are taken by one thread that stops the server.
    SysCatchStopRequests();

    TServeApi api(config);
    TGateRules gate;
    gate.Token = config.Token;
    gate.Hosts = ServedHosts(host, options.HostNames);
    TServeConnections connections;
    TWatchedServer server(connections);
    server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    server.set_payload_max_length(ServeMaxBody);
    // What the Keep-Alive header announces is what the connection loop keeps.
    server.set_keep_alive_max_count(static_cast<std::size_t>(connections.Limits().KeepAliveRequests));
    server.set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(connections.Limits().IdleTime).count());
    // Everything that can be judged on the head is, before the body is read.
    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
        TServeConnection* c = TServeConnections::Current();
        if (c) c->HeadRead();
        TServeResponse refusal;
        if (AdmitHead(gate, FromHttp(req), req.headers.size(), refusal)) return httplib::Server::HandlerResponse::Unhandled;
        CloseAfter(res);
        ToHttp(refusal, res);
        return httplib::Server::HandlerResponse::Handled;
    });
    const auto handler = [&api](const httplib::Request& req, httplib::Response& res) { ToHttp(api.Handle(FromHttp(req)), res); };
    // Bodies are counted as they come, chunked or not, and refused past the limit.
    const auto withBody = [&](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& read) {
        TServeRequest r = FromHttp(req);
        bool over = false;
        const bool whole = read([&](const char* data, std::size_t size) {
            over = r.Body.size() + size > ServeMaxBody;
            if (!over) r.Body.append(data, size);
            return !over;
        });
        if (over || !whole) {
            CloseAfter(res);  // the rest of the body is not read
            return ToHttp(over ? ErrorResponse(413, StatusText(413), "body")
                               : ErrorResponse(400, "the body came incomplete", "body"), res);
        }
        ToHttp(api.Handle(r), res);
    };
    server.Get(".*", handler);
    server.Post(".*", withBody);
    server.Put(".*", withBody);
    server.Delete(".*", withBody);
    server.Patch(".*", withBody);
    server.Options(".*", handler);
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) ToHttp(ErrorResponse(res.status, StatusText(res.status)), res);
    });

    const int bound = port == 0 ? server.bind_to_any_port(host) : (server.bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        err << "vornik-cli: cannot listen on " << options.Listen << ": " << SysErrorText() << "\n";
        return 1;
    }
    const std::string where = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(bound);
    out << "vornik-cli serve: listening on http://" << where << "/, token in " << tokenFile
        << (made ? " (made now)" : "") << "\n";
    if (!IsLoopbackHost(host))
        out << "vornik-cli serve: WARNING: the traffic is not encrypted; the token and the register's data can be read "
               "on the network\n";
    out.flush();
    Mess("Старт: HTTP service on " + where, false, false, true);

    // The first stop request stops the server and the reads; running writes
    // go on to their end, so that no register is left half written. A second
    // request cuts them too.
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> over{false};
    std::thread stopper([&] {
        SysWaitForStop();
        stopRequested = true;
        api.BeginStop();
        server.stop();
        connections.CutWaiting();
        while (!over) {
            if (SysWaitForStopFor(200) && !over) api.CutWrites();
        }
    });
    server.listen_after_bind();
    // Ended by a stop request, or by a failure of the server: then the
    // stopper is woken from here.
    if (!stopRequested) SysRequestStop();
    api.Stop();
    over = true;
    stopper.join();
    Mess("Стоп", false, false, true);
    out << "vornik-cli serve: stopped\n";
    return 0;
}

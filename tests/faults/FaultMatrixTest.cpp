// The link fault matrix as a test. The cases spend most of their time
// waiting for time-outs and pauses, so they run in a few worker processes
// at once (VORNIK_FAULT_WORKERS, 6 by default); each worker has its own
// simulators, ports and log. With VORNIK_FAULT_TABLE set to a file name the
// matrix with its outcomes and times is written there as a markdown table.
#include "FaultMatrix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace faults;

namespace {

struct TCase {
    const TMatrixRow* Row;
    std::string Fault;
    TFaultPosition Position;
    const TCleanRun* Clean;
};

std::string OneLine(std::string s) {
    for (char& c : s)
        if (c == '\n' || c == '\t' || c == '\r') c = ' ';
    return s;
}

// A result as one line of a worker's file, and back.
std::string Encode(std::size_t index, const TCaseResult& r) {
    std::string line = std::to_string(index) + "\t" + (r.Ok ? "1" : "0") + "\t" + std::to_string(r.Ms) + "\t" +
                       std::to_string(r.BoundMs) + "\t" + OneLine(r.Outcome);
    for (const auto& p : r.Problems) line += "\t" + OneLine(p);
    return line + "\n";
}

bool Decode(const std::string& line, std::size_t& index, TCaseResult& r) {
    std::vector<std::string> parts;
    std::stringstream s(line);
    for (std::string part; std::getline(s, part, '\t');) parts.push_back(part);
    if (parts.size() < 5) return false;
    index = std::stoul(parts[0]);
    r.Ok = parts[1] == "1";
    r.Ms = std::stoll(parts[2]);
    r.BoundMs = std::stoll(parts[3]);
    r.Outcome = parts[4];
    r.Problems.assign(parts.begin() + 5, parts.end());
    return true;
}

int Workers() {
    const char* v = std::getenv("VORNIK_FAULT_WORKERS");
    const int n = v ? std::atoi(v) : 6;
    return n < 1 ? 1 : n;
}

// Runs every case in worker processes; a case whose worker died or hung
// gets a result that says so.
std::vector<TCaseResult> RunAll(const std::vector<TCase>& cases, const std::string& dir) {
    const int workers = Workers();
    long long boundSum = 0;
    for (const auto& c : cases) boundSum += BoundMs(c.Row->Kind, c.Row->Frames, c.Position.PortTimeouts);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundSum / workers + 60000);

    std::fflush(nullptr);
    std::vector<pid_t> pids;
    for (int w = 0; w < workers; ++w) {
        const pid_t pid = fork();
        if (pid == 0) {
            std::ofstream out(dir + "/results-" + std::to_string(w));
            std::ofstream progress(dir + "/running-" + std::to_string(w));
            for (std::size_t i = static_cast<std::size_t>(w); i < cases.size(); i += static_cast<std::size_t>(workers)) {
                progress << i << "\n" << std::flush;
                const TCase& c = cases[i];
                out << Encode(i, RunCase(*c.Row, c.Position, *c.Clean)) << std::flush;
            }
            std::_Exit(0);
        }
        pids.push_back(pid);
    }
    std::vector<int> status(pids.size(), -1);
    for (std::size_t left = pids.size(); left > 0;) {
        for (std::size_t w = 0; w < pids.size(); ++w)
            if (status[w] == -1) {
                int st = 0;
                if (waitpid(pids[w], &st, WNOHANG) == pids[w]) {
                    status[w] = st;
                    --left;
                }
            }
        if (left == 0) break;
        if (std::chrono::steady_clock::now() > deadline) {
            for (std::size_t w = 0; w < pids.size(); ++w)
                if (status[w] == -1) {
                    kill(pids[w], SIGKILL);
                    waitpid(pids[w], nullptr, 0);
                    status[w] = 0;
                }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    std::vector<TCaseResult> results(cases.size());
    std::vector<bool> done(cases.size(), false);
    for (int w = 0; w < workers; ++w) {
        std::ifstream in(dir + "/results-" + std::to_string(w));
        for (std::string line; std::getline(in, line);) {
            std::size_t index = 0;
            TCaseResult r;
            if (Decode(line, index, r) && index < cases.size()) {
                results[index] = r;
                done[index] = true;
            }
        }
    }
    for (std::size_t i = 0; i < cases.size(); ++i)
        if (!done[i]) {
            results[i].Outcome = "no result";
            results[i].Problems.push_back("the case crashed or hung its worker (or a case before it did)");
        }
    return results;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

void WriteTable(const std::string& path, const std::vector<TMatrixRow>& rows, const std::vector<TCleanRun>& cleans,
                const std::vector<TCase>& cases, const std::vector<TCaseResult>& results) {
    std::ofstream f(path);
    f << "| operation | clean run, ms |\n|---|---|\n";
    for (std::size_t i = 0; i < rows.size(); ++i) f << "| " << rows[i].Name << " | " << cleans[i].Ms << " |\n";
    f << "\n| operation | fault | position | must | outcome | ms | bound, ms | problems |\n"
         "|---|---|---|---|---|---|---|---|\n";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TCase& c = cases[i];
        const TCaseResult& r = results[i];
        std::string problems;
        for (const auto& p : r.Problems) problems += (problems.empty() ? "" : "; ") + p.substr(0, 200);
        f << "| " << c.Row->Name << " | " << c.Fault << " | " << c.Position.Label << " | "
          << ExpectText(c.Position.Expect) << " | " << r.Outcome << " | " << r.Ms << " | " << r.BoundMs << " | "
          << Escape(problems.empty() ? "-" : problems) << " |\n";
    }
}

void RunMatrix(const std::vector<TMatrixRow>& rows) {
    std::vector<TCleanRun> cleans;
    for (const auto& row : rows) {
        cleans.push_back(RunClean(row));
        for (const auto& p : cleans.back().Problems) ADD_FAILURE() << row.Name << ": " << p;
    }
    if (::testing::Test::HasFailure()) return;

    std::vector<TCase> cases;
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (const auto& kind : FaultKinds(rows[i].Kind))
            for (const auto& position : kind.Positions) cases.push_back({&rows[i], kind.Name, position, &cleans[i]});

    linktest::TTempDir dir;
    const auto results = RunAll(cases, dir.Path);
    for (std::size_t i = 0; i < cases.size(); ++i)
        for (const auto& p : results[i].Problems)
            ADD_FAILURE() << cases[i].Row->Name << " / " << cases[i].Fault << " / " << cases[i].Position.Label << ": "
                          << p;
    if (const char* table = std::getenv("VORNIK_FAULT_TABLE")) WriteTable(table, rows, cleans, cases, results);
}

}  // namespace

// VORNIK_FAULT_DEBUG=text: runs, in this process, the cases whose
// "operation / fault / position" contains the text and prints their logs.
TEST(FaultMatrix, DebugCases) {
    const char* only = std::getenv("VORNIK_FAULT_DEBUG");
    if (!only) GTEST_SKIP() << "VORNIK_FAULT_DEBUG not set";
    std::vector<TMatrixRow> rows = CommandRows();
    for (auto& row : StreamRows()) rows.push_back(std::move(row));
    for (const auto& row : rows)
        for (const auto& kind : FaultKinds(row.Kind))
            for (const auto& position : kind.Positions) {
                const std::string name = row.Name + " / " + kind.Name + " / " + position.Label;
                if (name.find(only) == std::string::npos) continue;
                const TCleanRun clean = RunClean(row);
                const TCaseResult r = RunCase(row, position, clean);
                std::printf("=== %s: %s, %lld ms\n%s\n", name.c_str(), r.Outcome.c_str(), r.Ms, r.Log.c_str());
                for (const auto& p : r.Problems) ADD_FAILURE() << name << ": " << p;
            }
}

TEST(FaultMatrix, EveryOperationUnderEveryFault) {
    std::vector<TMatrixRow> rows = CommandRows();
    for (auto& row : StreamRows()) rows.push_back(std::move(row));
    RunMatrix(rows);
}

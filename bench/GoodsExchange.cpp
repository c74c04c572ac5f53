// Export and import speed of the goods exchange file.
//
// Fills the goods table with N rows (default 100,000) shaped like a shop's
// goods - names in Russian, prices with kopecks, barcodes, sold quantities -
// then times, on one thread:
//   export - the goods table to a new dBase file (ExportGoods);
//   import - that file back into the goods table (ImportGoods).
// Each is run three times; the best and the worst time are printed with the
// peak resident memory. The file is left in the folder given, so that an
// independent tool can be timed on the same data.
//
// Usage: bench_GoodsExchange [rows] [folder]
#include "goods/GoodsExchange.h"
#include "settings/Unitbd.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

const char* const kNames[] = {"Хлеб белый нарезной", "Молоко 3,2% 1 л", "Сыр Российский весовой", "Чай чёрный 100 г",
                              "Кофе молотый 250 г", "Вода питьевая 1,5 л", "Яблоки Голден", "Пакет майка"};

void Fill(TMemTable& t, int rows) {
    t.DisableControls();
    for (int i = 1; i <= rows; ++i) {
        t.Append();
        t.SetValue("Code", i);
        t.SetValue("Type", i % 10 == 0 ? 165 : 170);
        t.SetValue("Name", std::string(kNames[i % 8]) + " " + std::to_string(i));
        t.SetValue("NG", 1 + i % 5);
        t.SetValue("Price", TCurrency{static_cast<std::int64_t>(100 + (i * 37) % 99900) * 100});
        t.SetValue("Section", 1 + i % 16);
        t.SetValue("Vesovoy", 1 + i % 2);
        t.SetValue("Shtrih", std::to_string(4600000000000LL + i));
        t.SetValue("isBlock", i % 50 == 0);
        t.SetValue("Count", TCurrency{static_cast<std::int64_t>((i * 1237) % 1000000) * 10});
        t.Post();
    }
    t.EnableControls();
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    const std::string path = dir + "/goods-bench.dbf";
    SetRegionalDecimalSeparator(',');

    TBD bd;
    const auto f0 = std::chrono::steady_clock::now();
    Fill(bd.mtTOBAP, rows);
    const auto f1 = std::chrono::steady_clock::now();
    std::printf("rows: %d, filled in %.3f s\n", rows, Seconds(f0, f1));

    double exportBest = 1e9, exportWorst = 0, importBest = 1e9, importWorst = 0;
    for (int run = 0; run < 3; ++run) {
        std::string error;
        const auto t0 = std::chrono::steady_clock::now();
        if (ExportGoods(bd.mtTOBAP, path, error) != TGoodsFileResult::Ok) {
            std::fprintf(stderr, "export failed: %s\n", error.c_str());
            return 1;
        }
        const auto t1 = std::chrono::steady_clock::now();
        if (ImportGoods(bd.mtTOBAP, path, rows, error) != TGoodsFileResult::Ok || bd.mtTOBAP.RecordCount() != rows) {
            std::fprintf(stderr, "import failed: %s\n", error.c_str());
            return 1;
        }
        const auto t2 = std::chrono::steady_clock::now();
        exportBest = std::min(exportBest, Seconds(t0, t1));
        exportWorst = std::max(exportWorst, Seconds(t0, t1));
        importBest = std::min(importBest, Seconds(t1, t2));
        importWorst = std::max(importWorst, Seconds(t1, t2));
    }
    const auto size = std::filesystem::file_size(path);
    std::printf("file: %s, %.1f MB\n", path.c_str(), static_cast<double>(size) / 1e6);
    std::printf("export: %.3f - %.3f s (%.0f rows/s)\n", exportBest, exportWorst, rows / exportBest);
    std::printf("import: %.3f - %.3f s (%.0f rows/s)\n", importBest, importWorst, rows / importBest);
    std::printf("peak memory: %.1f MB\n", static_cast<double>(PeakKb()) / 1024.0);
    return 0;
}

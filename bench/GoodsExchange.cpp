// Export and import speed of the goods exchange file, dBase and CSV.
//
// Fills the goods table with N rows (default 100,000) shaped like a shop's
// goods - names in Russian, prices with kopecks, barcodes, sold quantities -
// then times, on one thread, for each kind of file:
//   export - the goods table to a new file (ExportGoods, ExportGoodsCsv);
//   import - that file back into the goods table (ImportGoods, ImportGoodsCsv).
// Each is run three times, the kinds taking turns so that a busy machine
// weighs on both alike; the best and the worst time are printed with the
// peak resident memory. The files are left in the folder given, so that
// independent tools can be timed on the same data.
//
// Usage: bench_GoodsExchange [rows] [folder]
#include "goods/GoodsCsv.h"
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

    struct TKind {
        const char* Name;
        std::string Path;
        TGoodsFileResult (*Export)(TMemTable&, const std::string&, std::string&);
        TGoodsFileResult (*Import)(TMemTable&, const std::string&, int, std::string&, int*);
        double ExportBest = 1e9, ExportWorst = 0, ImportBest = 1e9, ImportWorst = 0;
    };
    TKind kinds[] = {{"dBase", path, ExportGoods, ImportGoods}, {"CSV", dir + "/goods-bench.csv", ExportGoodsCsv, ImportGoodsCsv}};
    for (int run = 0; run < 3; ++run) {
        for (TKind& k : kinds) {
            std::string error;
            const auto t0 = std::chrono::steady_clock::now();
            if (k.Export(bd.mtTOBAP, k.Path, error) != TGoodsFileResult::Ok) {
                std::fprintf(stderr, "%s export failed: %s\n", k.Name, error.c_str());
                return 1;
            }
            const auto t1 = std::chrono::steady_clock::now();
            if (k.Import(bd.mtTOBAP, k.Path, rows, error, nullptr) != TGoodsFileResult::Ok ||
                bd.mtTOBAP.RecordCount() != rows) {
                std::fprintf(stderr, "%s import failed: %s\n", k.Name, error.c_str());
                return 1;
            }
            const auto t2 = std::chrono::steady_clock::now();
            k.ExportBest = std::min(k.ExportBest, Seconds(t0, t1));
            k.ExportWorst = std::max(k.ExportWorst, Seconds(t0, t1));
            k.ImportBest = std::min(k.ImportBest, Seconds(t1, t2));
            k.ImportWorst = std::max(k.ImportWorst, Seconds(t1, t2));
        }
    }
    for (const TKind& k : kinds) {
        const auto size = std::filesystem::file_size(k.Path);
        std::printf("%s file: %s, %.1f MB\n", k.Name, k.Path.c_str(), static_cast<double>(size) / 1e6);
        std::printf("  export: %.3f - %.3f s (%.0f rows/s)\n", k.ExportBest, k.ExportWorst, rows / k.ExportBest);
        std::printf("  import: %.3f - %.3f s (%.0f rows/s)\n", k.ImportBest, k.ImportWorst, rows / k.ImportBest);
    }
    double textBest = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const std::string text = GoodsCsvText(bd.mtTOBAP, ',');
        textBest = std::min(textBest, Seconds(t0, std::chrono::steady_clock::now()));
    }
    std::printf("  of which the CSV text in memory: %.3f s\n", textBest);
    std::printf("CSV / dBase, best times: export %.2f, import %.2f\n", kinds[1].ExportBest / kinds[0].ExportBest,
                kinds[1].ImportBest / kinds[0].ImportBest);
    std::printf("peak memory: %.1f MB\n", static_cast<double>(PeakKb()) / 1024.0);
    return 0;
}

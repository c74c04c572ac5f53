// The main window's goods grid with a large goods table.
//
// Opens the main window on the goods page (Qt's offscreen platform unless
// QT_QPA_PLATFORM says otherwise) in a scratch working directory and times:
//   import   - N rows (default 100,000) loaded from a goods file into the
//              shown grid (one model reset);
//   appends  - the same rows appended one by one with the grid listening, as
//              a read-all from the register adds them;
//   paint    - one full repaint of the grid after each fill;
//   scroll   - jumping to the last row and back, with a repaint each;
//   edit     - changing one cell through the grid's model;
//   search   - typing into the search box above the grid, key by key, and
//              erasing it again with Backspace (each key: the rows filtered,
//              the grid reset and repainted).
// Prints the times and the memory the rows add to the window (heap in use)
// with the window's resident set.
//
// Usage: bench_GoodsGridWindow [rows]
#include "app/MainWindow.h"
#include "goods/GoodsExchange.h"
#include "goods/GoodsPage.h"
#include "goods/GoodsSearch.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>

#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using TClock = std::chrono::steady_clock;

double Ms(TClock::time_point a, TClock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// Heap in use now, in MB (what the rows cost, whatever the allocator keeps).
double HeapMb() { return static_cast<double>(mallinfo2().uordblks) / 1e6; }

// Resident memory now, in MB.
double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

void AddRow(TMemTable& t, int i) {
    t.Append();
    t.SetValue("Code", i);
    t.SetValue("Type", 170);
    t.SetValue("Name", "Товар номер " + std::to_string(i));
    t.SetValue("NG", 1 + i % 5);
    t.SetValue("Price", TCurrency{static_cast<std::int64_t>(100 + (i * 37) % 99900) * 100});
    t.SetValue("Section", 1 + i % 16);
    t.SetValue("Vesovoy", 1 + i % 2);
    t.SetValue("Shtrih", std::to_string(4600000000000LL + i));
    t.SetValue("isBlock", i % 50 == 0);
    t.SetValue("Count", TCurrency{static_cast<std::int64_t>((i * 1237) % 1000000) * 10});
    t.Post();
}

// Processor time of this thread, in ms (what a busy machine does not add).
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// One key pressed in the search box, until the grid shows the result:
// elapsed and processor time.
std::pair<double, double> Key(QLineEdit* box, QTableView* grid, int key, const QString& text) {
    const auto t0 = TClock::now();
    const double c0 = CpuMs();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
    QApplication::processEvents();
    grid->viewport()->repaint();
    return {Ms(t0, TClock::now()), CpuMs() - c0};
}

double Repaint(QTableView* grid) {
    const auto t0 = TClock::now();
    grid->viewport()->repaint();
    QApplication::processEvents();
    return Ms(t0, TClock::now());
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    char scratch[] = "/tmp/vornik-gridbench-XXXXXX";
    std::filesystem::current_path(::mkdtemp(scratch));
    QApplication app(argc, argv);

    auto* w = new TfmMain;
    w->FormCreate();
    w->resize(1000, 640);
    w->show();
    w->MainPageControl()->setCurrentIndex(1);
    QApplication::processEvents();
    TGoodsPage& page = *w->GoodsPage();
    QTableView* grid = page.DBGridEhTOBAP;
    TMemTable& t = w->BD->mtTOBAP;

    // A goods file of the rows, written before anything is measured.
    for (int i = 1; i <= rows; ++i) AddRow(t, i);
    std::string error;
    if (ExportGoods(t, "bench.dbf", error) != TGoodsFileResult::Ok) {
        std::fprintf(stderr, "export failed: %s\n", error.c_str());
        return 1;
    }
    t.EmptyTable();
    QApplication::processEvents();
    const double before = ResidentMb();
    const double heapBefore = HeapMb();

    auto t0 = TClock::now();
    if (ImportGoods(t, "bench.dbf", rows, error) != TGoodsFileResult::Ok) {
        std::fprintf(stderr, "import failed: %s\n", error.c_str());
        return 1;
    }
    QApplication::processEvents();
    const double importMs = Ms(t0, TClock::now());
    const double importPaint = Repaint(grid);
    const double afterImport = ResidentMb();
    const double heapAfter = HeapMb();

    t.EmptyTable();
    QApplication::processEvents();
    t0 = TClock::now();
    for (int i = 1; i <= rows; ++i) AddRow(t, i);
    QApplication::processEvents();
    const double appendMs = Ms(t0, TClock::now());
    const double appendPaint = Repaint(grid);

    t0 = TClock::now();
    grid->scrollToBottom();
    const double bottomPaint = Repaint(grid);
    grid->scrollToTop();
    const double topPaint = Repaint(grid);
    const double scrollMs = Ms(t0, TClock::now());

    t0 = TClock::now();
    grid->model()->setData(grid->model()->index(rows / 2, 2), "Правленое имя", Qt::EditRole);
    QApplication::processEvents();
    const double editMs = Ms(t0, TClock::now());

    // Typing a name, erasing it, then a barcode: each key timed.
    std::vector<double> keys, keysCpu;
    const QString typed[] = {"номер 99999", "4600000099"};
    int narrowest = rows;
    for (const QString& text : typed) {
        for (const QChar c : text) {
            const auto [ms, cpu] = Key(page.eSearch, grid, 0, QString(c));
            keys.push_back(ms);
            keysCpu.push_back(cpu);
            narrowest = std::min(narrowest, grid->model()->rowCount());
        }
        while (!page.eSearch->text().isEmpty()) {
            const auto [ms, cpu] = Key(page.eSearch, grid, Qt::Key_Backspace, {});
            keys.push_back(ms);
            keysCpu.push_back(cpu);
        }
    }
    std::sort(keys.begin(), keys.end());
    std::sort(keysCpu.begin(), keysCpu.end());
    // The rows filtered alone, without the grid hearing of it.
    double filterMs = 0;
    t.DisableControls();
    for (const char* text : {"номер 9", "номер 99", "4600000099", ""}) {
        const auto f0 = TClock::now();
        SetGoodsSearch(t, text);
        filterMs = std::max(filterMs, Ms(f0, TClock::now()));
    }
    t.EnableControls();
    QApplication::processEvents();

    std::printf("rows: %d (grid shows %d)\n", rows, grid->model()->rowCount());
    std::printf("import into the shown grid: %.0f ms, then a repaint %.1f ms\n", importMs, importPaint);
    std::printf("appends one by one (as a read-all): %.0f ms, then a repaint %.1f ms\n", appendMs, appendPaint);
    std::printf("scroll to the last row and back: %.1f ms (repaints %.1f and %.1f ms)\n", scrollMs, bottomPaint, topPaint);
    std::printf("edit one cell: %.2f ms\n", editMs);
    std::printf("search, %zu keys (down to %d rows shown and back): median %.1f ms, slowest %.1f ms\n", keys.size(),
                narrowest, keys[keys.size() / 2], keys.back());
    std::printf("  processor time of a key: median %.1f ms, most %.1f ms\n", keysCpu[keysCpu.size() / 2], keysCpu.back());
    std::printf("  of which filtering all rows, slowest: %.1f ms\n", filterMs);
    std::printf("heap in use: %.1f MB before the rows, %.1f MB with them (+%.1f MB, %.0f bytes a row)\n", heapBefore,
                heapAfter, heapAfter - heapBefore, (heapAfter - heapBefore) * 1e6 / rows);
    std::printf("resident memory: %.1f MB with the rows (%.1f MB before, pages kept from writing the file)\n", afterImport,
                before);

    delete w;
    std::filesystem::remove_all(std::filesystem::current_path());
    return 0;
}

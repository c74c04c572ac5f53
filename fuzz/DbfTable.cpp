// Any bytes as a dBase table file, headers whose sizes disagree with the file
// included: opened, every field of every record read, a filter on the first
// field, then a record appended with the values just read, changed, posted
// and deleted, and the table closed.
//
// Checked besides memory safety: a file that opens keeps counts that agree
// with its size, and the values read come back unchanged once written.
#include "FuzzSupport.h"
#include "profiles/DbfTable.h"

#include <sys/stat.h>

#include <cstdlib>

namespace {

const std::string& TablePath() {
    static const std::string path = fuzz::ScratchFileRemovedAtExit("table.dbf");
    return path;
}

struct TRow {
    std::vector<std::string> text;
};

void ReadAll(TDbfTable& t, TRow& firstRow) {
    bool first = true;
    int guard = 0;
    for (bool ok = t.First(); ok && !t.Eof() && guard < 100000; ok = t.Next(), ++guard) {
        TRow row;
        for (int i = 0; i < static_cast<int>(t.Fields().size()); ++i) {
            row.text.push_back(t.GetText(i));
            (void)t.GetInteger(i);
            (void)t.GetBool(i);
            (void)t.IsNull(i);
        }
        (void)t.GetText(t.Fields()[0].Name);
        if (first) firstRow = row;
        first = false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    const std::string& path = TablePath();
    if (!fuzz::WriteWhole(path, data, size)) std::abort();

    TDbfTable t;
    if (!t.OpenExisting(path)) {
        if (t.LastError().empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    const auto& fields = t.Fields();
    if (fields.empty()) __builtin_trap();
    const std::uint64_t body = size - static_cast<std::uint64_t>(t.HeaderSize());
    if (static_cast<std::uint64_t>(t.RecordCount()) * static_cast<std::uint64_t>(t.RecordSize()) > body) __builtin_trap();

    TRow firstRow;
    ReadAll(t, firstRow);
    const long long live = t.Count();
    if (live < 0 || live > static_cast<long long>(t.RecordCount())) __builtin_trap();
    if (!firstRow.text.empty()) {
        t.SetFilter({{fields[0].Name, firstRow.text[0]}});
        (void)t.Count();
        t.ClearFilter();
    }
    t.SetFilter({{"NO_FIELD", "x"}});
    t.ClearFilter();

    // A new record written from the first record's values reads them back.
    if (!firstRow.text.empty() && t.Append()) {
        std::vector<bool> written(fields.size(), false);
        for (std::size_t i = 0; i < fields.size(); ++i)
            written[i] = t.SetText(static_cast<int>(i), firstRow.text[i]);
        if (t.Post()) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const char kind = fields[i].Kind;
                // Text comes back as written; numbers keep only their whole part.
                if (written[i] && kind == 'C' && t.GetText(static_cast<int>(i)) != firstRow.text[i]) __builtin_trap();
            }
            t.SetInteger(0, -123456789);
            t.SetBool(0, true);
            t.SetNull(0);
            t.Post();
            t.Delete();
        }
    }
    t.Close();
    return 0;
}

// goods read-all and goods write-all: the register's whole goods table to a
// goods exchange file and back, with the goods page's own transfers.
#include "cli/CliCommand.h"
#include "cli/CliWriteInput.h"
#include "ops/RegisterOps.h"

#include <ostream>

namespace {

using TRecordBytes = std::array<std::uint8_t, 54>;  // what a write sends of a record

int ReadAll(TCliContext& ctx) {
    const std::string& path = ctx.Tool.Out;
    if (path.empty()) return ctx.Usage("goods read-all: --out FILE.dbf or FILE.csv names the file to write");
    nlohmann::json doc;
    if (const int status = ReadAllGoods(ctx, path, doc); status != CliOk) return status;
    if (ctx.Tool.Json) {
        ctx.PrintJson(doc);
        return CliOk;
    }
    ctx.Out << "read " << doc["records"].get<int>() << " goods records from the register "
            << doc["serialNumber"].get<std::string>() << " into " << path << "\n";
    return CliOk;
}

int WriteAll(TCliContext& ctx) {
    const std::string& path = ctx.Args[0];
    nlohmann::json doc;
    const int status = WriteAllGoods(ctx, path, doc);
    return ReportWrite(ctx, status, doc, "goods", [&](const nlohmann::json& r) {
        if (r["check"].get<bool>())
            ctx.Out << r["differing"].get<int>() << " of " << r["records"].get<int>()
                    << " goods records differ from the register's\n";
        else if (r["changed"].get<bool>() && r["confirmed"].get<bool>())
            ctx.Out << "wrote " << r["records"].get<int>() << " goods records from " << path << " to the register "
                    << r["serialNumber"].get<std::string>() << ", read back and confirmed\n";
    });
}

}  // namespace

void AddGoodsTransferCommands() {
    AddCliCommand({"goods read-all", "--out FILE.dbf|FILE.csv", "the register's whole goods table into a goods exchange file",
                   "Reads every goods record the register holds (one streamed transfer; a progress\n"
                   "bar on a terminal) and writes them to a file of the goods exchange layout:\n"
                   "CODE, TYPE, NAME, NG, PRICE, SECTION, VESOVOY, SHTRIH, ISBLOCK, COUNT; prices\n"
                   "and quantities with the locale's decimal separator. A name ending in .csv (any\n"
                   "case) gives a CSV file (UTF-8 with a byte-order mark, ';', CR LF), any other\n"
                   "a dBase file. An existing file is replaced only once the new one is complete.\n",
                   true, 0, 0, ReadAll});
    AddCliCommand({"goods write-all", "FILE.dbf|FILE.csv [--check]", "a goods exchange file's rows into the register",
                   "Writes the rows of a goods exchange file (dBase, or CSV when the name ends in\n"
                   ".csv) to the register in their order, as \"Записать все в ККМ\" does, keeping\n"
                   "the register's sold quantities. The register must be off-line. Rows without\n"
                   "a code are skipped. Every row is checked first, and one the register cannot\n"
                   "take means nothing is written (status 2): TYPE other than 0, 160, 165, 170;\n"
                   "NG outside 0..5; SECTION outside 0..255; a NAME over 32 characters; a\n"
                   "barcode that is not up to 20 digits; a price with a fraction of a kopeck; a\n"
                   "code outside 1..999999 or on two rows; rows past the model's capacity.\n"
                   "The register's table is read first: when it holds every row already,\n"
                   "nothing is written. Afterwards it is read back and every record compared.\n"
                   "With --check nothing is written; with --json the report is {changed, check,\n"
                   "records, differing, serialNumber, confirmed}.\n",
                   true, 1, 1, WriteAll});
}

// The goods exchange file on a full disk and in a read-only folder: the
// export fails with "Не удалось создать DBF файл" and an error naming the
// file, the file exported before stays as it was and still imports, and no
// unfinished file is left beside it.
#include "StressSupport.h"

#include "app/TransferState.h"
#include "goods/GoodsExchange.h"
#include "goods/GoodsTransfer.h"
#include "kkm/RegisterSession.h"
#include "settings/Unitbd.h"

using namespace stresstest;

namespace {

// The goods page's exchange buttons over a goods table of its own.
struct TGoodsRig {
    TGoodsRig() { SetRegionalDecimalSeparator('.'); }
    ~TGoodsRig() { SetRegionalDecimalSeparator('\0'); }

    // count goods rows, codes first..first+count-1.
    void Fill(int first, int count) {
        TMemTable& t = BD.mtTOBAP;
        t.EmptyTable();
        for (int code = first; code < first + count; ++code) {
            t.Append();
            t.SetValue("Code", code);
            t.SetValue("Type", 170);
            t.SetValue("Name", "Товар " + std::to_string(code));
            t.SetValue("Price", TCurrency::FromDouble(code + 0.5));
            t.SetValue("Vesovoy", 1);
            t.Post();
        }
    }
    std::vector<int> Codes() {
        std::vector<int> codes;
        TMemTable& t = BD.mtTOBAP;
        for (int r = 0; r < t.RecordCount(); ++r) codes.push_back(t.VisibleRecord(r).AsInteger("Code"));
        return codes;
    }

    TRegisterSession Session;
    TBD BD;
    TTransferState Transfer;
    TGoodsTransfer Goods{Session, BD, Transfer};
    TGoodsExchange Exchange{Goods};
};

std::vector<int> Range(int first, int count) {
    std::vector<int> v;
    for (int i = first; i < first + count; ++i) v.push_back(i);
    return v;
}

// The folder with goods.dbf exported from three rows.
struct TExchangeFolder {
    TExchangeFolder() {
        TMessages quiet;
        TGoodsRig rig;
        rig.Fill(1, 3);
        EXPECT_TRUE(rig.Exchange.bSaveTOBAPtoDBFClick(Path()));
        Before = Bytes(Path());
    }
    std::string Path() const { return Dir / "goods.dbf"; }
    // The old file imports as it was exported.
    void ExpectOldFileImports() const {
        TMessages quiet;
        TGoodsRig rig;
        EXPECT_TRUE(rig.Exchange.bLoadTOBAPfromDBFClick(Path()));
        EXPECT_EQ(rig.Codes(), Range(1, 3));
    }
    TTempDir Dir;
    std::string Before;
};

bool ExportMany(const std::string& path) {
    TGoodsRig rig;
    rig.Fill(100, 400);
    return rig.Exchange.bSaveTOBAPtoDBFClick(path);
}

void ExpectExportFailureReported(const TChildRun& run, const std::string& path) {
    ASSERT_TRUE(run.Finished) << run.All();
    EXPECT_FALSE(run.Ok);
    EXPECT_TRUE(run.Said("Не удалось создать DBF файл")) << run.All();
    EXPECT_TRUE(run.Said(path)) << "the error names the file\n" << run.All();
}

}  // namespace

TEST(GoodsFileStress, FullDiskKeepsTheOldExchangeFile) {
    TExchangeFolder f;
    const TChildRun run = OnFullDisk(static_cast<long long>(f.Before.size()) + 1000, [&] { return ExportMany(f.Path()); });
    ExpectExportFailureReported(run, f.Path());
    EXPECT_EQ(Bytes(f.Path()), f.Before);
    EXPECT_EQ(Entries(f.Dir.Path), std::vector<std::string>{"goods.dbf"}) << "no unfinished file beside it";
    f.ExpectOldFileImports();
}

TEST(GoodsFileStress, DiskFullAtOnceKeepsTheOldExchangeFile) {
    TExchangeFolder f;
    const TChildRun run = OnFullDisk(0, [&] { return ExportMany(f.Path()); });
    ExpectExportFailureReported(run, f.Path());
    EXPECT_EQ(Bytes(f.Path()), f.Before);
    EXPECT_EQ(Entries(f.Dir.Path), std::vector<std::string>{"goods.dbf"});
}

TEST(GoodsFileStress, ReadOnlyFolderRefusesTheExportAndStillImports) {
    TExchangeFolder f;
    const TChildRun run = InReadOnlyFolder(f.Dir.Path, [&] { return ExportMany(f.Path()); });
    if (!run.Skipped.empty()) GTEST_SKIP() << run.Skipped;
    ExpectExportFailureReported(run, f.Path());
    EXPECT_EQ(Bytes(f.Path()), f.Before);
    EXPECT_EQ(Entries(f.Dir.Path), std::vector<std::string>{"goods.dbf"});

    const TChildRun import = InReadOnlyFolder(f.Dir.Path, [&] {
        TGoodsRig rig;
        return rig.Exchange.bLoadTOBAPfromDBFClick(f.Path()) && rig.Codes() == Range(1, 3);
    });
    ASSERT_TRUE(import.Finished) << import.All();
    EXPECT_TRUE(import.Ok) << "a file on a read-only medium imports\n" << import.All();
}

TEST(GoodsFileStress, AFolderInPlaceOfTheFileIsAnError) {
    TTempDir dir;
    const std::string path = dir / "goods.dbf";
    fs::create_directory(path);
    TMessages messages;
    TGoodsRig rig;
    rig.Fill(1, 3);
    EXPECT_FALSE(rig.Exchange.bSaveTOBAPtoDBFClick(path));
    EXPECT_FALSE(rig.Exchange.bLoadTOBAPfromDBFClick(path));
    EXPECT_EQ(rig.Codes(), Range(1, 3)) << "a failed import keeps the goods table";
    ASSERT_EQ(messages.Boxes.size(), 2u);
    EXPECT_EQ(messages.Boxes[0], "Не удалось создать DBF файл");
    EXPECT_EQ(messages.Boxes[1], "Не удалось открыть DBF файл");
    bool named = false;
    for (const auto& l : messages.Lines) named = named || l.find(path) != std::string::npos;
    EXPECT_TRUE(named);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(Entries(dir.Path), std::vector<std::string>{"goods.dbf"});
}

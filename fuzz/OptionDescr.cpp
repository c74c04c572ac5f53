// Option descriptions "Min,Max,Def,'caption'" of a model configuration file:
// one description parsed into any option slot (slots outside 0..63 too), or,
// when the first byte says so, the rest taken as a whole model configuration
// file and read the way the connect sequence reads it.
#include "FuzzSupport.h"
#include "app/U_filedirwork.h"
#include "kkm/U_kkms.h"

#include <cstdlib>
#include <memory>

namespace {

// A data folder of this process with its ECR_CFG folder.
const std::string& DataFolder() {
    static const std::string dir = [] {
        std::string d = fuzz::ScratchFile("data");
        ForceDir(d);
        ForceDir(JoinPath(d, "ECR_CFG"));
        SetDataDir(d);
        std::atexit([] {
            std::remove(JoinPath(JoinPath(fuzz::ScratchFile("data"), "ECR_CFG"), "R1_000000.ini").c_str());
            std::remove(JoinPath(fuzz::ScratchFile("data"), "ECR_CFG").c_str());
            std::remove(fuzz::ScratchFile("data").c_str());
        });
        return d;
    }();
    return dir;
}

void ReadBack(const TKKMInfo& info) {
    for (int n = 0; n <= KKMOptionCount + 1; ++n) {
        (void)info.GetOptionRange(n);
        (void)info.GetOptionDef(n);
        (void)info.GetOptionCaption(n);
    }
    for (int f = -1; f <= KKMFontNameCount + 1; ++f) (void)info.GetFontName(f);
    (void)info.GetFontCount();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    fuzz::TInput in(data, size);
    const std::uint8_t pick = in.Byte();
    auto info = std::make_unique<TKKMInfo>();

    if (pick == 0xFF) {
        info->Version = "R1";
        info->CfgSuffix = "000000";
        const std::string file = in.Rest();
        const std::string& folder = DataFolder();
        const std::string path = info->ModelConfigPath();
        if (path.rfind(folder, 0) != 0) std::abort();
        if (!fuzz::WriteWhole(path, reinterpret_cast<const std::uint8_t*>(file.data()), file.size())) std::abort();
        (void)info->LoadModelConfig();
        ReadBack(*info);
        return 0;
    }

    const int slot = static_cast<int>(pick) - 64;  // -64..190: mostly outside 0..63
    const int i = (pick & 0x80) ? slot : pick % KKMOptionCount;
    const bool ok = info->ParseOptionDescr(i, in.Rest());
    if (i < 0 || i >= KKMOptionCount) {
        if (ok) __builtin_trap();
    } else if (ok && info->Options[i].Caption.empty()) {
        __builtin_trap();  // an option always ends with a caption
    }
    ReadBack(*info);
    return 0;
}

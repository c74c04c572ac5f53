// Settings page actions as rows of the matrix: what the operator's button
// leaves in the working tables (reads) and on the register (writes).
#include "FaultMatrix.h"

#include "settings/SettingsActions.h"

namespace faults {

std::vector<TMatrixRow> PageRows() {
    std::vector<TMatrixRow> rows;

    // Departments 1..8 (the model's count) read one by one; the rows of the
    // working table are replaced only once all of them came.
    TMatrixRow readDeps;
    readDeps.Name = "page: read departments";
    readDeps.Exchanges = 8;
    readDeps.SetUp = [](TSimState&, TKKMInfo&) {};
    readDeps.Run = [](TFaultRig& rig) {
        TSettingsActions actions(rig.Session, rig.BD);
        return actions.bDepLoadFromKKMClick();
    };
    readDeps.Local = [](TFaultRig& rig) { return TableText(rig.BD.mtDepatment); };
    rows.push_back(readDeps);

    // The register profile's option rows (32 rows of value 0 at start)
    // written in one command.
    TMatrixRow writeOptions;
    writeOptions.Name = "page: write options";
    writeOptions.SetUp = [](TSimState&, TKKMInfo&) {};
    writeOptions.Run = [](TFaultRig& rig) {
        TSettingsActions actions(rig.Session, rig.BD);
        return actions.bSaveOptionsClick();
    };
    writeOptions.Local = [](TFaultRig& rig) { return TableText(rig.BD.mtOptions); };
    rows.push_back(writeOptions);
    return rows;
}

}  // namespace faults

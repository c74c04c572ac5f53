// The one record that says whether a long transfer (goods or journal) runs and
// whether the operator asked it to stop.
#pragma once
#include <cstdint>

struct TTransferState {
    bool TransferRunning = false;
    std::int32_t TransferPos = 0;
    bool StopRequested = false;

    void Begin() {
        TransferRunning = true;
        TransferPos = 0;
    }
    void End() {
        TransferRunning = false;
        TransferPos = 0;
        StopRequested = false;
    }
};

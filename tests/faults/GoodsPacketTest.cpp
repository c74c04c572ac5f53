// A read-all packet that is not one goods record: the matrix's oversize
// answer used to become a row (code 70605) of the goods table.
#include "FaultMatrix.h"

#include "goods/GoodsTransfer.h"

using namespace faults;

namespace {

// 01 10, result 0 and the 64 bytes of goods record 42, then more bytes.
std::vector<std::uint8_t> RecordPacket(std::size_t extra) {
    TSimGoods g;
    g.Name = "Лишние байты";
    g.Price = 100;
    const auto record = SimGoodsRecord(42, g);
    std::vector<std::uint8_t> p{0x01, 0x10, 0x00};
    p.insert(p.end(), record.begin(), record.end());
    p.insert(p.end(), extra, 0x55);
    return p;
}

int RowsAfterReadAll(std::size_t extra) {
    TFaultRig rig(false);
    std::string error;
    if (!rig.Start(TSimState{}, BaselineImage(), error)) {
        ADD_FAILURE() << error;
        return -1;
    }
    rig.Sim.PrepareFrames({RecordPacket(extra)});
    TGoodsTransfer transfer(rig.Session, rig.BD, rig.Transfer);
    EXPECT_TRUE(transfer.bLoadTOBAPClick());
    return rig.BD.mtTOBAP.RecordCount();
}

}  // namespace

TEST(GoodsReadAllPacket, ARecordPacketOfTheRightLengthAddsARow) { EXPECT_EQ(RowsAfterReadAll(0), 1); }

TEST(GoodsReadAllPacket, APacketLongerThanARecordAddsNoRow) {
    EXPECT_EQ(RowsAfterReadAll(188), 0) << "only a packet of 01 10, the result code and 64 record bytes is a record";
}

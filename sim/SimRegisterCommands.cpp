// The register's commands beyond its identity: clock, options, taxes, receipt
// lines, departments, goods (single records and the whole-table stream) and
// the electronic journal stream.
#include "sim/SimRegisterCommands.h"

#include "app/TextCodec.h"

#include <ctime>

namespace {

using TAnswer = std::vector<std::uint8_t>;

constexpr std::uint8_t SimWrongMode = 2;
constexpr std::uint8_t SimNotFound = 9;
constexpr std::uint8_t OfflineMode = 2;

TSimFrames Refuse(std::uint8_t code, std::uint8_t result) { return {SimAnswerHead(code, result)}; }

// Text of a register field: code page 1251 up to the first 0x00 or width.
std::string FieldText(const std::uint8_t* bytes, std::size_t width) {
    std::size_t n = 0;
    while (n < width && bytes[n] != 0) ++n;
    return Cp1251ToUtf8(std::string(reinterpret_cast<const char*>(bytes), n));
}

std::uint8_t BcdByte(int v) { return static_cast<std::uint8_t>((v / 10) * 16 + v % 10); }

// 01 02: day, month, year, hours, minutes, seconds of the local clock.
TSimFrames GetDateTime(TSimState&, const TSimRequest&) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    TAnswer a = SimAnswerHead(0x02, SimOk);
    for (int v : {tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec}) a.push_back(BcdByte(v));
    return {a};
}

// 01 09: the option values, option 1 first.
TSimFrames GetOptions(TSimState& state, const TSimRequest&) {
    TAnswer a = SimAnswerHead(0x09, SimOk);
    a.insert(a.end(), state.Register.Options.begin(), state.Register.Options.end());
    return {a};
}

// 01 0A and the values: the register takes exactly as many as it has.
TSimFrames SetOptions(TSimState& state, const TSimRequest& r) {
    auto& options = state.Register.Options;
    if (r.size() != options.size() + 2) return Refuse(0x0A, SimBadFormat);
    options.assign(r.begin() + 2, r.end());
    return {SimAnswerHead(0x0A, SimOk)};
}

// 01 0D n: tax n (1..5).
TSimFrames GetTax(TSimState& state, const TSimRequest& r) {
    if (r.size() != 3 || r[2] < 1 || r[2] > 5) return Refuse(0x0D, SimBadFormat);
    const TSimTax& t = state.Register.Taxes[r[2] - 1u];
    TAnswer a = SimAnswerHead(0x0D, SimOk);
    a.push_back(t.Defined ? 0xAA : 0x00);
    a.push_back(t.Type);
    a.push_back(BcdByte(t.Hundredths % 100));
    a.push_back(BcdByte(t.Hundredths / 100));
    PutSimText(a, t.Name, 12);
    return {a};
}

// 01 03 / 01 05 and the line (0..5): its number, font and text.
TSimFrames GetLine(std::array<TSimReceiptLine, 6>& lines, std::uint8_t code, const TSimRequest& r) {
    if (r.size() != 3 || r[2] > 5) return Refuse(code, SimBadFormat);
    const TSimReceiptLine& line = lines[r[2]];
    TAnswer a = SimAnswerHead(code, SimOk);
    a.push_back(r[2]);
    a.push_back(line.Font);
    PutSimText(a, line.Text, 32);
    return {a};
}

// 01 04 / 01 06, the line (0..5), the font and 32 text bytes.
TSimFrames SetLine(std::array<TSimReceiptLine, 6>& lines, std::uint8_t code, const TSimRequest& r) {
    if (r.size() != 36 || r[2] > 5) return Refuse(code, SimBadFormat);
    lines[r[2]] = {r[3], FieldText(r.data() + 4, 32)};
    return {SimAnswerHead(code, SimOk)};
}

TSimFrames GetHeader(TSimState& s, const TSimRequest& r) { return GetLine(s.Register.Header, 0x03, r); }
TSimFrames SetHeader(TSimState& s, const TSimRequest& r) { return SetLine(s.Register.Header, 0x04, r); }
TSimFrames GetFooter(TSimState& s, const TSimRequest& r) { return GetLine(s.Register.Footer, 0x05, r); }
TSimFrames SetFooter(TSimState& s, const TSimRequest& r) { return SetLine(s.Register.Footer, 0x06, r); }

bool DepartmentNumber(const TSimState& s, const TSimRequest& r) {
    return r.size() >= 3 && r[2] >= 1 && r[2] <= s.Register.Departments.size();
}

// 01 07 n: department n, 36 bytes.
TSimFrames GetDepartment(TSimState& s, const TSimRequest& r) {
    if (r.size() != 3 || !DepartmentNumber(s, r)) return Refuse(0x07, SimBadFormat);
    const TSimDepartment& d = s.Register.Departments[r[2] - 1u];
    TAnswer a = SimAnswerHead(0x07, SimOk);
    a.push_back(r[2]);
    a.push_back(d.Kind);
    const bool open = d.Kind != 0xA3;
    PutSimText(a, open ? d.Name : std::string(), 22);
    a.insert(a.end(), {0, 0, 0, open ? d.TaxGroup : std::uint8_t{0}});
    std::uint8_t price[5] = {};
    if (open) SimPutBcd(price, 5, d.Price);
    a.insert(a.end(), price, price + 5);
    return {a};
}

// 01 08, the department record (33 bytes).
TSimFrames SetDepartment(TSimState& s, const TSimRequest& r) {
    if (r.size() != 35 || !DepartmentNumber(s, r)) return Refuse(0x08, SimBadFormat);
    TSimDepartment d;
    d.Kind = r[3] == 0xA1 || r[3] == 0xA2 ? r[3] : 0xA3;
    if (d.Kind != 0xA3) {
        if (r[29] > 5 || !SimGetBcd(r.data() + 30, 5, d.Price)) return Refuse(0x08, SimBadFormat);
        d.Name = FieldText(r.data() + 4, 22);
        d.TaxGroup = r[29];
    }
    s.Register.Departments[r[2] - 1u] = d;
    return {SimAnswerHead(0x08, SimOk)};
}

// One goods packet: 01 10, the result code and the 64-byte record.
TAnswer GoodsPacket(std::uint8_t result, const std::array<std::uint8_t, 64>& record) {
    TAnswer a = SimAnswerHead(0x10, result);
    a.insert(a.end(), record.begin(), record.end());
    return a;
}

TAnswer GoodsPacketFor(const TSimRegister& reg, int code) {
    const auto it = reg.Goods.find(code);
    if (it == reg.Goods.end()) return GoodsPacket(SimNotFound, {});
    return GoodsPacket(SimOk, SimGoodsRecord(code, it->second));
}

// 01 10 and a four-digit code. With the continuation flag clear: that one
// record. With it set: the table from that code on, one packet per record
// (or per code slot), each in its own frame.
TSimFrames GetGoods(TSimState& s, const TSimRequest& r, bool continuation) {
    long long start = 0;
    if (r.size() != 4 || !SimGetBcd(r.data() + 2, 2, start)) return Refuse(0x10, SimBadFormat);
    const TSimRegister& reg = s.Register;
    if (!continuation) return {GoodsPacketFor(reg, static_cast<int>(start))};
    TSimFrames frames;
    if (reg.GoodsStream == TSimGoodsStream::Slots) {
        for (long long code = start; code <= reg.GoodsSlots; ++code)
            frames.push_back(GoodsPacketFor(reg, static_cast<int>(code)));
    } else {
        for (auto it = reg.Goods.lower_bound(static_cast<int>(start)); it != reg.Goods.end(); ++it)
            frames.push_back(GoodsPacket(SimOk, SimGoodsRecord(it->first, it->second)));
    }
    if (frames.empty()) frames.push_back(GoodsPacket(SimNotFound, {}));
    return frames;
}

// 01 11, record bytes 0..53 and the count flag (0x00 keep the sold quantity,
// 0xAA clear it). Type 0 removes the record. Only off-line.
TSimFrames SetGoods(TSimState& s, const TSimRequest& r) {
    if (r.size() != 57) return Refuse(0x11, SimBadFormat);
    if (s.Identity.Mode != OfflineMode) return Refuse(0x11, SimWrongMode);
    const std::uint8_t* rec = r.data() + 2;
    const std::uint8_t flag = r[56];
    long long code = 0;
    if (!SimGetBcd(rec + 2, 3, code) || (flag != 0x00 && flag != 0xAA)) return Refuse(0x11, SimBadFormat);
    auto& table = s.Register.Goods;
    if (rec[0] == 0) {
        table.erase(static_cast<int>(code));
        return {SimAnswerHead(0x11, SimOk)};
    }
    TSimGoods g;
    g.Type = rec[0];
    if ((g.Type != 0xAA && g.Type != 0xA5 && g.Type != 0xA0) || rec[42] > 5 || !SimGetBcd(rec + 37, 5, g.Price))
        return Refuse(0x11, SimBadFormat);
    if (g.Type == 0xAA) {
        if (!SimGetBcd(rec + 44, 10, g.Barcode)) return Refuse(0x11, SimBadFormat);
        if (g.Barcode == "0") g.Barcode.clear();
    }
    g.Piece = (rec[1] & 1) != 0;
    g.Blocked = (rec[1] & 2) != 0;
    g.Name = FieldText(rec + 5, 32);
    g.TaxGroup = rec[42];
    g.Section = rec[43];
    const auto old = table.find(static_cast<int>(code));
    g.Sold = flag == 0x00 && old != table.end() ? old->second.Sold : 0;
    table[static_cast<int>(code)] = g;
    return {SimAnswerHead(0x11, SimOk)};
}

// 01 0F 00 00: the journal, packets of whole records, then 01 0F 09.
TSimFrames GetJournal(TSimState& s, const TSimRequest& r) {
    if (r.size() != 4) return Refuse(0x0F, SimBadFormat);
    return SimJournalPackets(s.Register.Journal);
}

}  // namespace

void AddSimRegisterCommands(TSimCommands& commands) {
    commands.Register(0x02, GetDateTime);
    commands.Register(0x03, GetHeader);
    commands.Register(0x04, SetHeader);
    commands.Register(0x05, GetFooter);
    commands.Register(0x06, SetFooter);
    commands.Register(0x07, GetDepartment);
    commands.Register(0x08, SetDepartment);
    commands.Register(0x09, GetOptions);
    commands.Register(0x0A, SetOptions);
    commands.Register(0x0D, GetTax);
    commands.Register(0x0F, GetJournal);
    commands.Register(0x10, TSimStreamHandler(GetGoods));
    commands.Register(0x11, SetGoods);
}

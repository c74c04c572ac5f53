#include "profiles/DbfTable.h"

#include "app/Dialog.h"
#include "profiles/DbfHeader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// Records read ahead while scanning, and appended records a replacing table
// keeps before writing them in one go.
constexpr std::size_t kWindowBytes = 64 * 1024;
constexpr std::size_t kAppendBufferBytes = 256 * 1024;

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

TDbfTable::~TDbfTable() {
    if (replacing_)
        Discard();
    else
        Close();
}

bool TDbfTable::Fail(std::string text) const {
    error_ = std::move(text);
    return false;
}

bool TDbfTable::FailSystem(const std::string& what) const { return FailSystem(what, file_.Status()); }

bool TDbfTable::FailSystem(const std::string& what, const TFileStatus& status) const {
    return Fail(what + " " + path_ + ": " + status.Text);
}

// Nothing thrown below (out of memory, in practice) leaves the layer.
template <class T, class Op>
T TDbfTable::Guard(T onFailure, Op&& op) const noexcept {
    try {
        return op();
    } catch (const std::exception& e) {
        NoteException(e.what());
    } catch (...) {
        NoteException("unexpected failure");
    }
    return onFailure;
}

void TDbfTable::NoteException(const char* what) const noexcept {
    try {
        error_ = "Table " + path_ + ": " + what;
    } catch (...) {
        error_.clear();
    }
}

void TDbfTable::Reset() {
    file_.Close();
    newPath_.clear();
    readOnly_ = replacing_ = dirtyTail_ = false;
    writeError_.clear();
    fields_.clear();
    offsets_.clear();
    version_ = language_ = 0;
    codePage_ = TCodePage::cp1251;
    headerSize_ = recordSize_ = 0;
    count_ = diskCount_ = 0;
    filter_.clear();
    filterBroken_ = false;
    window_.clear();
    windowFirst_ = windowCount_ = 0;
    appendBuffer_.clear();
    record_.clear();
    current_ = 0;
    eof_ = true;
    appending_ = modified_ = false;
}

// ---- opening and closing ----------------------------------------------------

bool TDbfTable::Open(const std::string& path, const std::vector<TDbfFieldDef>& fields) {
    return Guard(false, [&]() -> bool {
        Close();
        Reset();
        path_ = path;
        std::string empty, why;
        if (!DbfBuildEmptyTable(fields, empty, why)) return Fail("Cannot create table " + path + ": " + why);
        using TMode = TSysFile::TMode;
        bool created = false;
        for (;;) {
            if (file_.Open(path, TMode::ReadWrite)) break;
            if (file_.Status().Fault == TFileFault::Denied) {
                readOnly_ = file_.Open(path, TMode::Read);
                break;
            }
            if (file_.Status().Fault != TFileFault::NotFound) break;
            // Missing: create it; another creator in between means open theirs.
            created = file_.Open(path, TMode::CreateNew);
            if (created || file_.Status().Fault != TFileFault::Exists) break;
        }
        if (!IsOpen()) return FailSystem("Cannot open table");
        // A new file, or an empty one left by a creation cut short (nothing to
        // lose), becomes the empty table.
        std::uint64_t size = 1;
        if (!readOnly_ && file_.Size(size) && size == 0 && !file_.WriteAt(0, empty.data(), empty.size())) {
            const TFileStatus failed = file_.Status();
            if (created) {
                file_.Close();
                SysRemoveFile(path);
            } else {
                file_.Truncate(0);
            }
            Discard();
            return FailSystem("Cannot create table", failed);
        }
        if (!LoadStructure() || !HasFields(fields)) {
            const std::string why2 = error_;
            Discard();
            return Fail(why2);
        }
        return First();
    });
}

bool TDbfTable::OpenExisting(const std::string& path, bool readOnly) {
    return Guard(false, [&]() -> bool {
        Close();
        Reset();
        path_ = path;
        using TMode = TSysFile::TMode;
        if (readOnly || (!file_.Open(path, TMode::ReadWrite) && file_.Status().Fault == TFileFault::Denied)) {
            file_.Open(path, TMode::Read);
            readOnly_ = true;
        }
        if (!IsOpen()) return FailSystem("Cannot open table");
        if (!LoadStructure()) {
            const std::string why = error_;
            Discard();
            return Fail(why);
        }
        return First();
    });
}

bool TDbfTable::CreateReplacing(const std::string& path, const std::vector<TDbfFieldDef>& fields) {
    return Guard(false, [&]() -> bool {
        Close();
        Reset();
        path_ = path;
        std::string empty, why;
        if (!DbfBuildEmptyTable(fields, empty, why)) return Fail("Cannot create table " + path + ": " + why);
        const TPathKind kind = SysPathKind(path);
        if (kind == TPathKind::Dir) return Fail("Cannot create table " + path + ": it is a folder");
        if (kind != TPathKind::None && !SysCanWrite(path))
            return FailSystem("Cannot replace table", {TFileFault::Denied, SysLastErrorText()});
        if (!file_.CreateBeside(path, newPath_)) return FailSystem("Cannot create table");
        replacing_ = true;
        if (!file_.WriteAt(0, empty.data(), empty.size())) {
            FailSystem("Cannot create table");
            const std::string why2 = error_;
            Discard();
            return Fail(why2);
        }
        if (!LoadStructure()) {
            const std::string why2 = error_;
            Discard();
            return Fail(why2);
        }
        return First();
    });
}

bool TDbfTable::Close() {
    return Guard(false, [&]() -> bool {
        if (!IsOpen()) return true;
        bool ok = PostIfModified();
        ok = FlushAppends() && ok;
        if (replacing_) {
            if (ok && !writeError_.empty()) ok = Fail(writeError_);
            if (ok && !file_.Sync()) ok = FailSystem("Cannot write to");
            if (!file_.Close() && ok) ok = FailSystem("Cannot write to");
            TFileStatus replaced;
            if (ok && !SysReplaceFile(newPath_, path_, replaced)) ok = FailSystem("Cannot replace table", replaced);
            if (!ok) SysRemoveFile(newPath_);
        } else if (!file_.Close() && ok) {
            ok = FailSystem("Cannot write to");
        }
        Reset();
        return ok;
    });
}

void TDbfTable::Discard() {
    if (!IsOpen()) return;
    file_.Close();
    if (replacing_) SysRemoveFile(newPath_);
    Reset();
}

bool TDbfTable::LoadStructure() {
    std::uint64_t size = 0;
    if (!file_.Size(size)) return FailSystem("Cannot read table");
    const std::string bad = "Cannot open table " + path_ + ": ";
    std::string header(static_cast<std::size_t>(std::min<std::uint64_t>(size, 32)), '\0');
    if (!file_.ReadAt(0, header.data(), header.size())) return FailSystem("Cannot read table");
    if (header.size() == 32) {
        // The whole header, as far as the file holds it.
        const auto declared = static_cast<std::uint64_t>(static_cast<unsigned char>(header[8]) | static_cast<unsigned char>(header[9]) << 8);
        header.resize(static_cast<std::size_t>(std::min(size, std::max<std::uint64_t>(declared, 32))));
        if (!file_.ReadAt(0, header.data(), header.size())) return FailSystem("Cannot read table");
    }
    TDbfLayout layout;
    std::string why;
    if (!DbfParseHeader(header, layout, why)) return Fail(bad + why);

    const std::uint64_t data = size - static_cast<std::uint64_t>(layout.HeaderSize);
    const std::uint64_t records = data / static_cast<std::uint64_t>(layout.RecordSize);
    const std::uint64_t rest = data % static_cast<std::uint64_t>(layout.RecordSize);
    char last = kDbfEndOfFile;
    if (rest == 1 && !file_.ReadAt(size - 1, &last, 1)) return FailSystem("Cannot read table");
    if (records > 0xFFFFFFFFull) return Fail(bad + "the file holds too many records");
    // Whole records count; anything after them but the end mark (a record cut
    // short, a stray byte, 0x00 for 0x1A) is skipped, and the next write
    // leaves a clean file.
    dirtyTail_ = rest > 1 || (rest == 1 && last != kDbfEndOfFile);
    if (dirtyTail_)
        Warning("Таблица " + path_ + ": " + std::to_string(rest) + " байт после записи " + std::to_string(records) +
                    " не составляют целой записи и пропущены",
                false, true, true);

    version_ = layout.Version;
    language_ = layout.Language;
    codePage_ = DbfCodePageOfLanguage(language_);
    headerSize_ = layout.HeaderSize;
    recordSize_ = layout.RecordSize;
    fields_ = std::move(layout.Fields);
    offsets_.clear();
    int offset = 1;
    for (const auto& f : fields_) {
        offsets_.push_back(offset);
        offset += f.Width;
    }
    // The file size decides the count; the header's is corrected by the
    // next append.
    count_ = diskCount_ = static_cast<std::uint32_t>(records);
    // A table open for writing has its header count put right at once.
    if (!readOnly_ && layout.HeaderCount != count_ && !WriteHeaderCount()) return false;
    return true;
}

// ---- structure ---------------------------------------------------------------

int TDbfTable::FieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (SameName(fields_[i].Name, name)) return static_cast<int>(i);
    return -1;
}

bool TDbfTable::HasField(std::string_view name, char kind) const {
    const int i = FieldIndex(name);
    return i >= 0 && fields_[static_cast<std::size_t>(i)].Kind == kind;
}

bool TDbfTable::HasFields(const std::vector<TDbfFieldDef>& required) const {
    return Guard(false, [&]() -> bool {
        for (const auto& f : required)
            if (!HasField(f.Name, f.Kind))
                return Fail("Table " + path_ + " has no field " + f.Name + " of kind " + std::string(1, f.Kind));
        return true;
    });
}

int TDbfTable::Index(std::string_view name) const {
    const int i = FieldIndex(name);
    try {
        missingField_ = i < 0 ? std::string(name) : std::string();
    } catch (...) {
        missingField_.clear();
    }
    return i;
}

bool TDbfTable::ValidField(int field) const {
    if (field >= 0 && static_cast<std::size_t>(field) < fields_.size()) return true;
    if (!IsOpen()) return Fail("Table " + path_ + " is not open");
    if (field == -1 && !missingField_.empty()) return Fail("Table " + path_ + " has no field " + missingField_);
    return Fail("Table " + path_ + " has no field number " + std::to_string(field));
}

// ---- reading records --------------------------------------------------------

const char* TDbfTable::RecordBytes(std::uint32_t index) {
    const auto rs = static_cast<std::size_t>(recordSize_);
    if (index >= diskCount_) return appendBuffer_.data() + (index - diskCount_) * rs;
    if (index < windowFirst_ || index >= windowFirst_ + windowCount_) {
        const std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max<std::size_t>(1, kWindowBytes / rs)),
                                                        diskCount_ - index);
        window_.resize(n * rs);
        windowCount_ = 0;
        if (!file_.ReadAt(RecordOffset(index), window_.data(), window_.size())) {
            FailSystem("Cannot read table");
            return nullptr;
        }
        windowFirst_ = index;
        windowCount_ = n;
    }
    return window_.data() + (index - windowFirst_) * rs;
}

bool TDbfTable::Passes(const char* record) const {
    if (filterBroken_) return false;
    for (const auto& t : filter_) {
        const auto& f = fields_[static_cast<std::size_t>(t.Field)];
        const std::string_view value(record + offsets_[static_cast<std::size_t>(t.Field)], static_cast<std::size_t>(f.Width));
        if (DbfTrimValue(value, f.Kind) != t.Bytes) return false;
    }
    return true;
}

bool TDbfTable::Seek(std::uint32_t from) {
    for (std::uint32_t i = from; i < count_; ++i) {
        const char* p = RecordBytes(i);
        if (!p) {
            eof_ = true;
            record_.clear();
            return false;
        }
        if (p[0] != '*' && Passes(p)) {
            current_ = i;
            record_.assign(p, static_cast<std::size_t>(recordSize_));
            eof_ = false;
            return true;
        }
    }
    eof_ = true;
    record_.clear();
    return true;
}

bool TDbfTable::SetFilter(std::vector<TDbfCondition> conditions) {
    return Guard(false, [&]() -> bool {
        if (!IsOpen()) return Fail("Table " + path_ + " is not open");
        bool ok = PostIfModified();
        filter_.clear();
        filterBroken_ = false;
        for (const auto& c : conditions) {
            const int i = FieldIndex(c.Field);
            if (i < 0) {
                filterBroken_ = true;
                ok = Fail("Table " + path_ + " has no field " + c.Field);
                continue;
            }
            const auto& f = fields_[static_cast<std::size_t>(i)];
            // The literal as the field would hold it, so that what was written
            // is found again.
            std::string bytes = (f.Kind == 'C' || f.Kind == 'D') ? DbfEncodeText(c.Value, f.Width, codePage_) : Utf8ToCp(c.Value, codePage_);
            filter_.push_back({i, std::string(DbfTrimValue(bytes, f.Kind))});
        }
        return First() && ok;
    });
}

void TDbfTable::ClearFilter() {
    if (!IsOpen()) return;
    Guard(false, [&] { return PostIfModified(); });
    filter_.clear();
    filterBroken_ = false;
    First();
}

bool TDbfTable::First() {
    return Guard(false, [&]() -> bool {
        if (!IsOpen()) return Fail("Table " + path_ + " is not open");
        const bool posted = PostIfModified();
        return Seek(0) && posted;
    });
}

bool TDbfTable::Next() {
    return Guard(false, [&]() -> bool {
        if (!IsOpen()) return Fail("Table " + path_ + " is not open");
        const bool posted = PostIfModified();
        if (eof_) return posted;
        return Seek(current_ + 1) && posted;
    });
}

long long TDbfTable::Count() {
    return Guard(-1LL, [&]() -> long long {
        if (!IsOpen()) return 0;
        long long n = 0;
        for (std::uint32_t i = 0; i < count_; ++i) {
            const char* p = RecordBytes(i);
            if (!p) return -1;
            if (p[0] != '*' && Passes(p)) ++n;
        }
        return n;
    });
}

// ---- writing records ----------------------------------------------------------

bool TDbfTable::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
    if (dirtyTail_) {
        // The bytes after the last whole record go before the first write.
        const std::uint64_t end = RecordOffset(diskCount_);
        if (!file_.Truncate(end) || !file_.WriteAt(end, &kDbfEndOfFile, 1)) {
            FailSystem("Cannot write to");
            if (writeError_.empty()) writeError_ = error_;
            return false;
        }
        dirtyTail_ = false;
    }
    if (file_.WriteAt(offset, data, size)) return true;
    FailSystem("Cannot write to");
    if (writeError_.empty()) writeError_ = error_;
    return false;
}

bool TDbfTable::WriteHeaderCount() {
    char bytes[7];
    DbfPutToday(bytes);
    DbfPutU32(bytes + 3, count_);
    return WriteAt(1, bytes, sizeof bytes);
}

bool TDbfTable::FlushAppends() {
    if (appendBuffer_.empty()) return true;
    const std::uint64_t end = RecordOffset(diskCount_);
    appendBuffer_ += kDbfEndOfFile;
    const bool ok = WriteAt(end, appendBuffer_.data(), appendBuffer_.size()) && WriteHeaderCount();
    appendBuffer_.clear();
    if (ok) {
        diskCount_ = count_;
        return true;
    }
    // Put the file back as it was: earlier records and their count stay.
    if (file_.Truncate(end)) file_.WriteAt(end, &kDbfEndOfFile, 1);
    char count[4];
    DbfPutU32(count, diskCount_);
    file_.WriteAt(4, count, sizeof count);
    count_ = diskCount_;
    if (!eof_ && current_ >= count_) {
        eof_ = true;
        record_.clear();
    }
    return false;
}

bool TDbfTable::Flush() {
    return Guard(false, [&] { return !IsOpen() || FlushAppends(); });
}

bool TDbfTable::PostIfModified() {
    if (!modified_) return true;
    modified_ = false;
    const auto rs = static_cast<std::size_t>(recordSize_);
    if (appending_) {
        appending_ = false;
        appendBuffer_ += record_;
        current_ = count_++;
        if (!replacing_ || appendBuffer_.size() >= kAppendBufferBytes) return FlushAppends();
        return true;
    }
    if (current_ >= diskCount_) {
        std::memcpy(appendBuffer_.data() + (current_ - diskCount_) * rs, record_.data(), rs);
        return true;
    }
    if (!WriteAt(RecordOffset(current_), record_.data(), rs)) {
        // The change is dropped; the record reads as it is in the file.
        if (const char* p = RecordBytes(current_)) record_.assign(p, rs);
        return false;
    }
    if (current_ >= windowFirst_ && current_ < windowFirst_ + windowCount_)
        std::memcpy(window_.data() + (current_ - windowFirst_) * rs, record_.data(), rs);
    return true;
}

bool TDbfTable::Post() {
    return Guard(false, [&]() -> bool {
        if (!IsOpen()) return Fail("Table " + path_ + " is not open");
        return PostIfModified();
    });
}

bool TDbfTable::Append() {
    return Guard(false, [&]() -> bool {
        if (!IsOpen()) return Fail("Table " + path_ + " is not open");
        if (readOnly_) return Fail("Cannot write to " + path_ + ": the file is read-only");
        if (!PostIfModified()) return false;
        record_.assign(static_cast<std::size_t>(recordSize_), ' ');
        beforeAppend_ = eof_ ? count_ : current_;
        current_ = count_;
        eof_ = false;
        appending_ = modified_ = true;
        return true;
    });
}

void TDbfTable::Cancel() {
    if (!IsOpen() || !modified_) return;
    modified_ = false;
    if (appending_) {
        appending_ = false;
        current_ = beforeAppend_;
        eof_ = current_ >= count_;
    }
    Guard(false, [&] {
        if (eof_)
            record_.clear();
        else if (const char* p = RecordBytes(current_))
            record_.assign(p, static_cast<std::size_t>(recordSize_));
        return true;
    });
}

bool TDbfTable::Delete() {
    return Guard(false, [&]() -> bool {
        if (!IsOpen()) return Fail("Table " + path_ + " is not open");
        if (appending_) {
            Cancel();
            return true;
        }
        if (eof_) return Fail("Table " + path_ + " has no current record to delete");
        if (readOnly_) return Fail("Cannot write to " + path_ + ": the file is read-only");
        Cancel();
        if (current_ >= diskCount_) {
            appendBuffer_[(current_ - diskCount_) * static_cast<std::size_t>(recordSize_)] = '*';
        } else {
            if (!WriteAt(RecordOffset(current_), "*", 1)) return false;
            if (current_ >= windowFirst_ && current_ < windowFirst_ + windowCount_)
                window_[(current_ - windowFirst_) * static_cast<std::size_t>(recordSize_)] = '*';
        }
        return Seek(current_ + 1);
    });
}

// ---- field access -------------------------------------------------------------

const char* TDbfTable::FieldBytes(int field) const { return record_.data() + offsets_[static_cast<std::size_t>(field)]; }

bool TDbfTable::CanRead(int field) const {
    if (!ValidField(field)) return false;
    if (eof_) return Fail("Table " + path_ + " has no current record");
    const auto& f = fields_[static_cast<std::size_t>(field)];
    if (!DbfKindReadable(f.Kind))
        return Fail("Field " + f.Name + " of table " + path_ + " has the kind " + std::string(1, f.Kind) + ", which this program does not read");
    return true;
}

bool TDbfTable::CanWrite(int field) {
    if (!CanRead(field)) return false;
    if (readOnly_) return Fail("Cannot write to " + path_ + ": the file is read-only");
    return true;
}

void TDbfTable::PutField(int field, const std::string& bytes) {
    std::memcpy(record_.data() + offsets_[static_cast<std::size_t>(field)], bytes.data(), bytes.size());
    modified_ = true;
}

std::string TDbfTable::GetText(int field) const {
    return Guard(std::string(), [&]() -> std::string {
        if (!CanRead(field)) return {};
        if (IsNull(field)) return {};
        const auto& f = fields_[static_cast<std::size_t>(field)];
        return CpToUtf8(DbfTrimValue(std::string_view(FieldBytes(field), static_cast<std::size_t>(f.Width)), f.Kind), codePage_);
    });
}

std::optional<long long> TDbfTable::GetInteger(int field) const {
    return Guard(std::optional<long long>(), [&]() -> std::optional<long long> {
        if (!CanRead(field)) return std::nullopt;
        const auto& f = fields_[static_cast<std::size_t>(field)];
        if (f.Kind == 'L') {
            Fail("Field " + f.Name + " of table " + path_ + " is a boolean, not a number");
            return std::nullopt;
        }
        return DbfDecodeInteger(std::string_view(FieldBytes(field), static_cast<std::size_t>(f.Width)));
    });
}

std::optional<bool> TDbfTable::GetBool(int field) const {
    return Guard(std::optional<bool>(), [&]() -> std::optional<bool> {
        if (!CanRead(field)) return std::nullopt;
        const auto& f = fields_[static_cast<std::size_t>(field)];
        if (f.Kind != 'L') {
            Fail("Field " + f.Name + " of table " + path_ + " is not a boolean");
            return std::nullopt;
        }
        return DbfDecodeBool(*FieldBytes(field));
    });
}

bool TDbfTable::IsNull(int field) const {
    if (!ValidField(field) || eof_) return true;
    const auto& f = fields_[static_cast<std::size_t>(field)];
    const std::string_view v = DbfTrimValue(std::string_view(FieldBytes(field), static_cast<std::size_t>(f.Width)), f.Kind);
    return v.empty() || (f.Kind == 'L' && v == "?");
}

bool TDbfTable::SetText(int field, std::string_view utf8) {
    return Guard(false, [&]() -> bool {
        if (!CanWrite(field)) return false;
        const auto& f = fields_[static_cast<std::size_t>(field)];
        const std::string_view blank = " \t";
        const bool empty = utf8.find_first_not_of(blank) == std::string_view::npos;
        switch (f.Kind) {
            case 'N':
            case 'F': {
                if (empty) return SetNull(field);
                long long v = 0;
                if (!DbfParseInteger(utf8, v))
                    return Fail("Field " + f.Name + " of table " + path_ + ": \"" + std::string(utf8) + "\" is not a whole number");
                return SetInteger(field, v);
            }
            case 'L': {
                if (empty) return SetNull(field);
                const char c = utf8[utf8.find_first_not_of(blank)];
                if (std::strchr("TtYy", c)) return SetBool(field, true);
                if (std::strchr("FfNn", c)) return SetBool(field, false);
                return Fail("Field " + f.Name + " of table " + path_ + ": \"" + std::string(utf8) + "\" is not a boolean");
            }
            default:
                PutField(field, DbfEncodeText(utf8, f.Width, codePage_));
                return true;
        }
    });
}

bool TDbfTable::SetInteger(int field, long long value) {
    return Guard(false, [&]() -> bool {
        if (!CanWrite(field)) return false;
        const auto& f = fields_[static_cast<std::size_t>(field)];
        switch (f.Kind) {
            case 'N':
            case 'F': PutField(field, DbfEncodeInteger(value, f.Width, f.Decimals)); return true;
            case 'L': return Fail("Field " + f.Name + " of table " + path_ + " is a boolean, not a number");
            default: PutField(field, DbfEncodeText(std::to_string(value), f.Width, codePage_)); return true;
        }
    });
}

bool TDbfTable::SetBool(int field, bool value) {
    return Guard(false, [&]() -> bool {
        if (!CanWrite(field)) return false;
        const auto& f = fields_[static_cast<std::size_t>(field)];
        if (f.Kind != 'L') return Fail("Field " + f.Name + " of table " + path_ + " is not a boolean");
        PutField(field, value ? "T" : "F");
        return true;
    });
}

bool TDbfTable::SetNull(int field) {
    return Guard(false, [&]() -> bool {
        if (!CanWrite(field)) return false;
        PutField(field, std::string(static_cast<std::size_t>(fields_[static_cast<std::size_t>(field)].Width), ' '));
        return true;
    });
}

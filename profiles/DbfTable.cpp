#include "profiles/DbfTable.h"

#include "app/Dialog.h"
#include "profiles/DbfHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
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

bool ReadAt(int fd, std::uint64_t offset, char* data, std::size_t size, int& err) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : 0;  // 0: the file ended early
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteRaw(int fd, std::uint64_t offset, const char* data, std::size_t size, int& err) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool NotWritable(int err) { return err == EACCES || err == EROFS || err == EPERM; }

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

bool TDbfTable::FailSystem(const std::string& what, int err) const {
    return Fail(what + " " + path_ + ": " + (err ? std::strerror(err) : "the file ended unexpectedly"));
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
    fd_ = -1;
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
        bool created = false;
        for (;;) {
            fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd_ < 0 && NotWritable(errno)) {
                fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
                readOnly_ = fd_ >= 0;
            }
            if (fd_ >= 0 || errno != ENOENT) break;
            // Missing: create it; another creator in between means open theirs.
            fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            created = fd_ >= 0;
            if (fd_ >= 0 || errno != EEXIST) break;
        }
        if (fd_ < 0) return FailSystem("Cannot open table", errno);
        // A new file, or an empty one left by a creation cut short (nothing to
        // lose), becomes the empty table.
        struct stat st {};
        if (!readOnly_ && ::fstat(fd_, &st) == 0 && st.st_size == 0) {
            int err = 0;
            if (!WriteRaw(fd_, 0, empty.data(), empty.size(), err)) {
                if (created)
                    ::unlink(path.c_str());
                else if (::ftruncate(fd_, 0) != 0)
                    err = errno;
                Discard();
                return FailSystem("Cannot create table", err);
            }
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
        fd_ = readOnly ? -1 : ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0 && (readOnly || NotWritable(errno))) {
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            readOnly_ = true;
        }
        if (fd_ < 0) return FailSystem("Cannot open table", errno);
        if (!LoadStructure()) {
            const std::string why = error_;
            Discard();
            return Fail(why);
        }
        return First();
    });
}

namespace {

// A new file beside path, made exclusively with mode 0666 (less the mask).
int CreateBeside(const std::string& path, std::string& made) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = path + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        const int fd = ::open(made.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool TDbfTable::CreateReplacing(const std::string& path, const std::vector<TDbfFieldDef>& fields) {
    return Guard(false, [&]() -> bool {
        Close();
        Reset();
        path_ = path;
        std::string empty, why;
        if (!DbfBuildEmptyTable(fields, empty, why)) return Fail("Cannot create table " + path + ": " + why);
        struct stat st {};
        const bool exists = ::stat(path.c_str(), &st) == 0;
        if (exists && S_ISDIR(st.st_mode)) return Fail("Cannot create table " + path + ": it is a folder");
        if (exists && ::access(path.c_str(), W_OK) != 0) return FailSystem("Cannot replace table", errno);
        std::string tmp = path + ".XXXXXX";
        // A replaced table keeps its mode; a new one gets 0666 less the
        // process's mask, applied by the system as the file is made (reading
        // the mask would change it for every thread for a moment).
        fd_ = exists ? ::mkstemp(tmp.data()) : CreateBeside(path, tmp);
        if (fd_ < 0) return FailSystem("Cannot create table", errno);
        newPath_ = tmp;
        replacing_ = true;
        if (exists) ::fchmod(fd_, st.st_mode & 07777);
        int err = 0;
        if (!WriteRaw(fd_, 0, empty.data(), empty.size(), err)) {
            FailSystem("Cannot create table", err);
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
            if (ok && ::fsync(fd_) != 0 && errno != EINVAL) ok = FailSystem("Cannot write to", errno);
            if (::close(fd_) != 0 && ok) ok = FailSystem("Cannot write to", errno);
            if (ok && ::rename(newPath_.c_str(), path_.c_str()) != 0) ok = FailSystem("Cannot replace table", errno);
            if (!ok) ::unlink(newPath_.c_str());
        } else if (::close(fd_) != 0 && ok) {
            ok = FailSystem("Cannot write to", errno);
        }
        Reset();
        return ok;
    });
}

void TDbfTable::Discard() {
    if (!IsOpen()) return;
    ::close(fd_);
    if (replacing_) ::unlink(newPath_.c_str());
    Reset();
}

bool TDbfTable::LoadStructure() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return FailSystem("Cannot read table", errno);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::string bad = "Cannot open table " + path_ + ": ";
    std::string header(static_cast<std::size_t>(std::min<std::uint64_t>(size, 32)), '\0');
    int err = 0;
    if (!ReadAt(fd_, 0, header.data(), header.size(), err)) return FailSystem("Cannot read table", err);
    if (header.size() == 32) {
        // The whole header, as far as the file holds it.
        const auto declared = static_cast<std::uint64_t>(static_cast<unsigned char>(header[8]) | static_cast<unsigned char>(header[9]) << 8);
        header.resize(static_cast<std::size_t>(std::min(size, std::max<std::uint64_t>(declared, 32))));
        if (!ReadAt(fd_, 0, header.data(), header.size(), err)) return FailSystem("Cannot read table", err);
    }
    TDbfLayout layout;
    std::string why;
    if (!DbfParseHeader(header, layout, why)) return Fail(bad + why);

    const std::uint64_t data = size - static_cast<std::uint64_t>(layout.HeaderSize);
    const std::uint64_t records = data / static_cast<std::uint64_t>(layout.RecordSize);
    const std::uint64_t rest = data % static_cast<std::uint64_t>(layout.RecordSize);
    char last = kDbfEndOfFile;
    if (rest == 1 && !ReadAt(fd_, size - 1, &last, 1, err)) return FailSystem("Cannot read table", err);
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
        int err = 0;
        if (!ReadAt(fd_, RecordOffset(index), window_.data(), window_.size(), err)) {
            FailSystem("Cannot read table", err);
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
    int err = 0;
    if (dirtyTail_) {
        // The bytes after the last whole record go before the first write.
        const std::uint64_t end = RecordOffset(diskCount_);
        if (::ftruncate(fd_, static_cast<off_t>(end)) != 0 || !WriteRaw(fd_, end, &kDbfEndOfFile, 1, err)) {
            FailSystem("Cannot write to", err ? err : errno);
            if (writeError_.empty()) writeError_ = error_;
            return false;
        }
        dirtyTail_ = false;
    }
    if (WriteRaw(fd_, offset, data, size, err)) return true;
    FailSystem("Cannot write to", err);
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
    int err = 0;
    if (::ftruncate(fd_, static_cast<off_t>(end)) == 0) WriteRaw(fd_, end, &kDbfEndOfFile, 1, err);
    char count[4];
    DbfPutU32(count, diskCount_);
    WriteRaw(fd_, 4, count, sizeof count, err);
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

// A dBase IV table file (.dbf) scanned record by record: the profile store's
// tables and the goods exchange file. No memo or index files.
//
// The table has one current record. Setting a field changes the current
// record in memory; Post writes it (at the end of the file after Append, in
// place otherwise). Moving (First, Next, Append, a new filter) and Close post
// a changed record first. Delete marks the current record deleted at once
// (unposted changes of it are dropped).
//
// Nothing is thrown: operations that can fail return false and leave the
// reason, naming the file, in LastError(). A write that fails leaves the file
// as it was before that operation (earlier records stay).
#pragma once
#include "app/Platform.h"
#include "app/TextCodec.h"
#include "profiles/DbfField.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One test of a filter: the field's value equals the literal.
struct TDbfCondition {
    std::string Field;
    std::string Value;  // UTF-8
};

class TDbfTable {
public:
    TDbfTable() = default;
    // Closes the table; a table made by CreateReplacing that was not closed
    // is discarded and its target left as it was.
    ~TDbfTable();
    TDbfTable(const TDbfTable&) = delete;
    TDbfTable& operator=(const TDbfTable&) = delete;

    // Opens the file for reading and writing, creating it empty with these
    // fields when it does not exist. An existing file must hold every one of
    // the fields by name and kind (widths and further fields may differ).
    bool Open(const std::string& path, const std::vector<TDbfFieldDef>& fields);
    // Opens an existing file; never creates one. A file that cannot be
    // written is opened for reading only (writes then fail with an error).
    bool OpenExisting(const std::string& path, bool readOnly = false);
    // Makes a new empty table that will replace the file at path: it is
    // written beside the target and takes its place only when Close succeeds,
    // so a failed or abandoned table never destroys the previous file.
    // Appended records are written in large blocks.
    bool CreateReplacing(const std::string& path, const std::vector<TDbfFieldDef>& fields);
    // Posts a changed record, writes what is buffered and closes; a table
    // made by CreateReplacing replaces its target now. False when a write
    // failed (the table is closed anyway; a replacing table is discarded).
    bool Close();
    // Closes without posting; a replacing table's new file is removed.
    void Discard();
    // Writes buffered appended records.
    bool Flush();

    bool IsOpen() const { return file_.IsOpen(); }
    bool IsReadOnly() const { return readOnly_; }
    const std::string& FileName() const { return path_; }
    // The reason of the last failure, naming the file.
    const std::string& LastError() const { return error_; }

    // Structure of the open table.
    const std::vector<TDbfFieldDef>& Fields() const { return fields_; }
    // Index of the field with this name, compared ignoring case; -1 if none.
    int FieldIndex(std::string_view name) const;
    bool HasField(std::string_view name, char kind) const;
    // True when every field of the list is present by name and kind; else
    // false with LastError naming the first one missing.
    bool HasFields(const std::vector<TDbfFieldDef>& required) const;
    std::uint8_t Version() const { return version_; }
    std::uint8_t LanguageByte() const { return language_; }
    TCodePage CodePage() const { return codePage_; }
    int HeaderSize() const { return headerSize_; }
    int RecordSize() const { return recordSize_; }
    // Records in the file, deleted ones included.
    std::uint32_t RecordCount() const { return count_; }

    // Restricts navigation and Count to records where every field's value
    // equals its literal: letters case-sensitive, text without trailing
    // spaces, the literal taken as the field would store it; an empty literal
    // matches only an empty field. Moves to the first such record. A field
    // that does not exist: false, and no record passes until the filter is
    // changed.
    bool SetFilter(std::vector<TDbfCondition> conditions);
    void ClearFilter();

    // First and Next move over live records passing the filter; Eof is true
    // past the last one. They return false only when something failed.
    bool First();
    bool Next();
    bool Eof() const { return eof_; }
    // Physical number (1-based) of the current record; 0 when there is none.
    std::uint32_t RecNo() const { return eof_ ? 0 : current_ + 1; }
    // Live records passing the filter, as written; the position stays.
    // -1 when the file cannot be read.
    long long Count();

    // A new record with every field null becomes current; Post writes it at
    // the end of the file.
    bool Append();
    bool Post();
    // Drops the changes of the current record (and a record not yet posted).
    void Cancel();
    // Marks the current record deleted and moves to the next one.
    bool Delete();
    bool Modified() const { return modified_; }

    // Field access on the current record, by name (ignoring case) or index.
    // Text is UTF-8; null reads as "" (IsNull tells the two apart).
    std::string GetText(std::string_view field) const { return GetText(Index(field)); }
    std::string GetText(int field) const;
    std::optional<long long> GetInteger(std::string_view field) const { return GetInteger(Index(field)); }
    std::optional<long long> GetInteger(int field) const;
    std::optional<bool> GetBool(std::string_view field) const { return GetBool(Index(field)); }
    std::optional<bool> GetBool(int field) const;
    bool IsNull(std::string_view field) const { return IsNull(Index(field)); }
    bool IsNull(int field) const;

    // Setting an N field from text parses a decimal integer ("" is null);
    // setting a C field from an integer writes its decimal text.
    bool SetText(std::string_view field, std::string_view utf8) { return SetText(Index(field), utf8); }
    bool SetText(int field, std::string_view utf8);
    bool SetInteger(std::string_view field, long long value) { return SetInteger(Index(field), value); }
    bool SetInteger(int field, long long value);
    bool SetBool(std::string_view field, bool value) { return SetBool(Index(field), value); }
    bool SetBool(int field, bool value);
    bool SetNull(std::string_view field) { return SetNull(Index(field)); }
    bool SetNull(int field);

private:
    struct TFilterTest {
        int Field;
        std::string Bytes;  // the literal as stored, without trailing blanks
    };

    bool Fail(std::string text) const;
    // what, the file's name and the system's reason of the last file call.
    bool FailSystem(const std::string& what) const;
    bool FailSystem(const std::string& what, const TFileStatus& status) const;
    template <class T, class Op>
    T Guard(T onFailure, Op&& op) const noexcept;
    void NoteException(const char* what) const noexcept;
    // Index of a named field; -1 (and the name kept for the error) if none.
    int Index(std::string_view name) const;
    bool ValidField(int field) const;
    void Reset();

    bool CreateFile(const std::string& path, const std::vector<TDbfFieldDef>& fields, bool exclusive);
    bool LoadStructure();
    bool WriteAt(std::uint64_t offset, const char* data, std::size_t size);
    bool WriteHeaderCount();

    std::uint64_t RecordOffset(std::uint32_t index) const {
        return static_cast<std::uint64_t>(headerSize_) + static_cast<std::uint64_t>(index) * recordSize_;
    }
    const char* RecordBytes(std::uint32_t index);
    bool Seek(std::uint32_t from);
    bool Passes(const char* record) const;
    bool FlushAppends();
    bool PostIfModified();

    const char* FieldBytes(int field) const;
    bool CanRead(int field) const;
    bool CanWrite(int field);
    void PutField(int field, const std::string& bytes);

    TSysFile file_;
    std::string path_;     // the table's name
    std::string newPath_;  // CreateReplacing: the file being written
    bool readOnly_ = false;
    bool replacing_ = false;
    bool dirtyTail_ = false;  // bytes after the last whole record, dropped by the next write
    std::string writeError_;  // a replacing table that lost a write is never committed
    mutable std::string error_;
    mutable std::string missingField_;

    std::vector<TDbfFieldDef> fields_;
    std::vector<int> offsets_;  // of each field in a record
    std::uint8_t version_ = 0;
    std::uint8_t language_ = 0;
    TCodePage codePage_ = TCodePage::cp1251;
    int headerSize_ = 0;
    int recordSize_ = 0;
    std::uint32_t count_ = 0;      // records, buffered appends included
    std::uint32_t diskCount_ = 0;  // records in the file

    std::vector<TFilterTest> filter_;
    bool filterBroken_ = false;

    // A run of records read ahead, so that a scan reads the file in blocks.
    std::string window_;
    std::uint32_t windowFirst_ = 0;
    std::uint32_t windowCount_ = 0;

    std::string appendBuffer_;  // posted records not yet in the file

    std::string record_;  // the current record
    std::uint32_t current_ = 0;
    std::uint32_t beforeAppend_ = 0;  // where Cancel of an append returns
    bool eof_ = true;
    bool appending_ = false;
    bool modified_ = false;
};

// An ordered in-memory table of typed, nullable fields with a cursor, edit
// states, a key filter and row events: the working tables and the goods table
// are all of this kind.
//
// Rows stay in the order they were appended (Insert puts a row before the
// current one); nothing sorts them. A filter on one text field (field/value
// pair, exact match) and a row filter (any test of a row, such as a search)
// decide which rows are visible; the cursor, the row counts and the
// visible-row access all work on the visible rows only. The table-row access
// reaches every row whatever is visible.
// Visible row indices are 0-based; RecNo() is the classic 1-based position.
//
// Appending and reading visible rows are O(1); switching the filter and
// deleting or inserting in the middle are O(total rows).
#pragma once
#include "settings/FieldValue.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TMemTable;

enum class TDataSetState { Inactive, Browse, Edit, Insert };

struct TFieldDef {
    std::string Name;
    TFieldType Type = TFieldType::Integer;
    int Size = 0;               // String: most characters (code page 1251 characters)
    std::string DisplayLabel;   // grid column caption
    bool Calculated = false;    // computed by OnCalcFields when the row is read, never stored
    int DisplayWidth = 0;       // characters a grid shows; 0 = Size
    std::string DisplayFormat;  // Currency/Float display pattern ("#", "#0.00"); empty = plain text
    TFieldValue Default;        // value of the field in a new row

    // The field's value was set (every assignment, also with the same value).
    // The table is in Edit or Insert state on the changed row.
    std::function<void(TMemTable&)> OnChange;
    // Text a grid shows for a value; when unset: DisplayFormat or plain text.
    std::function<std::string(const TFieldValue&)> OnGetText;
    // Value for a text typed or picked in a grid; nullopt refuses the text.
    std::function<std::optional<TFieldValue>(const std::string&)> OnSetText;
    // Texts a grid offers for the field, in order (empty = free input).
    std::function<std::vector<std::string>()> PickList;
};

// What a grid model needs to follow the table. Begin/End pairs come around
// the change (before the first call the rows are as they were, after the
// second as they are now). Nothing is reported while controls are disabled;
// enabling them again reports one reset.
class IMemTableObserver {
public:
    virtual ~IMemTableObserver() = default;
    virtual void BeginReset() = 0;
    virtual void EndReset() = 0;
    virtual void BeginInsertRow(int row) = 0;
    virtual void EndInsertRow() = 0;
    virtual void BeginRemoveRow(int row) = 0;
    virtual void EndRemoveRow() = 0;
    virtual void RowChanged(int row) = 0;
    virtual void CurrentChanged(int /*row*/) {}
    virtual void StateChanged(TDataSetState /*state*/) {}
};

struct TRow {
    std::vector<TFieldValue> Values;  // one per field, calculated fields included
};

// A handle on one row of a table (used by OnCalcFields and by the display
// rules that look at a row without moving the cursor). Valid until the row
// is deleted or the table closed.
class TRecordRef {
public:
    TRecordRef() = default;
    TRecordRef(TMemTable* table, TRow* row) : Table(table), Row(row) {}
    bool Valid() const { return Table != nullptr && Row != nullptr; }

    TFieldValue Value(std::string_view field) const;
    bool IsNull(std::string_view field) const { return Value(field).IsNull(); }
    std::int32_t AsInteger(std::string_view field) const { return Value(field).AsInteger(); }
    std::string AsString(std::string_view field) const { return Value(field).AsString(); }
    double AsFloat(std::string_view field) const { return Value(field).AsFloat(); }
    TCurrency AsCurrency(std::string_view field) const { return Value(field).AsCurrency(); }
    bool AsBoolean(std::string_view field) const { return Value(field).AsBoolean(); }
    // Only calculated fields, only from OnCalcFields; false otherwise.
    bool SetCalcValue(std::string_view field, const TFieldValue& v) const;

    TMemTable* Table = nullptr;
    TRow* Row = nullptr;
};

class TMemTable {
public:
    explicit TMemTable(std::string name = {});
    TMemTable(const TMemTable&) = delete;
    TMemTable& operator=(const TMemTable&) = delete;

    std::string Name;  // for error texts: "mtOptions"

    // --- fields (define before the first Open) ---
    int AddField(TFieldDef def);  // the field's index
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    const TFieldDef& Field(int i) const { return m_fields.at(static_cast<std::size_t>(i)); }
    TFieldDef& Field(int i) { return m_fields.at(static_cast<std::size_t>(i)); }
    int FieldIndex(std::string_view name) const;  // case-insensitive; -1 when missing
    TFieldDef* FindField(std::string_view name);

    // --- life ---
    // Open starts with no rows; Close drops every row of every filter key
    // (a pending edit is discarded). Close then Open empties the table.
    void Open();
    void Close();
    void EmptyTable() { Close(); Open(); }
    bool Active() const { return m_state != TDataSetState::Inactive; }
    TDataSetState State() const { return m_state; }
    bool Modified() const { return m_modified; }

    // --- visible rows and the cursor ---
    int RecordCount() const { return static_cast<int>(m_visible.size()); }
    int TotalRowCount() const { return static_cast<int>(m_rows.size()); }
    bool IsEmpty() const { return m_visible.empty(); }
    int CurrentRow() const { return m_cur; }  // -1 when no row is visible
    int RecNo() const { return m_cur + 1; }   // 0 when no row is visible
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }

    // Moving the cursor first ends a pending edit (posted when something was
    // changed, cancelled otherwise). First/Last always report a scroll;
    // Next/Prior/MoveBy/GoToRow only when the current row changes.
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);  // rows actually moved, signed
    bool GoToRow(int row);     // 0-based
    bool SetRecNo(int recNo) { return GoToRow(recNo - 1); }
    // First visible row whose field equals the value (compared as text).
    bool Locate(std::string_view field, const TFieldValue& value);

    // --- states ---
    bool Edit();    // on an empty table: Insert()
    bool Append();  // a new row after the last row of the table
    bool Insert();  // a new row before the current row
    bool Post();    // no-op in Browse state
    void Cancel();
    bool Delete();  // the current row; in Insert state cancels the new row

    // --- fields of the current row ---
    TFieldValue Value(std::string_view field);
    bool IsNull(std::string_view field) { return Value(field).IsNull(); }
    std::int32_t AsInteger(std::string_view field) { return Value(field).AsInteger(); }
    std::string AsString(std::string_view field) { return Value(field).AsString(); }
    double AsFloat(std::string_view field) { return Value(field).AsFloat(); }
    TCurrency AsCurrency(std::string_view field) { return Value(field).AsCurrency(); }
    bool AsBoolean(std::string_view field) { return Value(field).AsBoolean(); }
    // Needs Edit or Insert state; the value is converted to the field's type
    // (text cut to its width). False, with an error line, when not possible.
    bool SetValue(std::string_view field, const TFieldValue& v);
    bool SetNull(std::string_view field) { return SetValue(field, TFieldValue{}); }
    TRecordRef CurrentRecord();

    // --- filter: rows whose field equals the value (as text) ---
    // Changing the filter or switching it ends a pending edit, rebuilds the
    // visible rows and puts the cursor on the first of them.
    void SetFilter(std::string field, std::string value);
    void SetFiltered(bool on);
    bool Filtered() const { return m_filtered; }
    const std::string& FilterField() const { return m_filterField; }
    const std::string& FilterValue() const { return m_filterValue; }
    // A test every visible row passes as well (empty: none). Setting it ends
    // a pending edit and rebuilds the visible rows; the cursor stays on its
    // row when that row is still visible, else goes to the first.
    // narrows: the new test passes only rows the current one passes (a
    // search for a longer text), so only the visible rows are tested again.
    using TRowFilter = std::function<bool(const TRow&)>;
    void SetRowFilter(TRowFilter filter, bool narrows = false);
    bool RowFiltered() const { return static_cast<bool>(m_rowFilter); }
    const TRowFilter& RowFilter() const { return m_rowFilter; }

    // --- every row of the table, in table order, whatever is visible ---
    TRecordRef TableRecord(int tableRow);
    TFieldValue TableValue(int tableRow, int field);
    // The table row of a visible row; -1 when there is no such row.
    int TableRowOf(int visibleRow) const;

    // --- visible-row access for grids (the cursor does not move) ---
    TFieldValue VisibleValue(int row, int field);
    std::string DisplayText(int row, int field);
    TRecordRef VisibleRecord(int row);
    // Edit through a grid: goes to the row, edits, sets, posts.
    bool SetVisibleValue(int row, int field, const TFieldValue& v);
    bool SetVisibleText(int row, int field, const std::string& text);
    // The value for a text by the field's OnSetText or type conversion.
    std::optional<TFieldValue> ValueFromText(int field, const std::string& text) const;
    // The text for a value by the field's OnGetText or DisplayFormat.
    std::string TextOfValue(int field, const TFieldValue& v) const;

    // --- controls ---
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disabled > 0; }
    // Not from inside a notification.
    void AddObserver(IMemTableObserver* o);
    void RemoveObserver(IMemTableObserver* o);

    // --- events ---
    // Append/Insert: BeforeScroll, the new row with defaults, AfterInsert,
    // AfterScroll. Post: BeforePost, AfterPost (cursor still on the posted
    // row, before the filter may hide it). Delete: BeforeScroll, AfterDelete,
    // AfterScroll.
    std::function<void(TMemTable&)> AfterInsert;
    std::function<void(TMemTable&)> BeforePost;
    std::function<void(TMemTable&)> AfterPost;
    std::function<void(TMemTable&)> AfterCancel;
    std::function<void(TMemTable&)> AfterDelete;
    std::function<void(TMemTable&)> BeforeScroll;
    std::function<void(TMemTable&)> AfterScroll;
    // Fills the calculated fields of a row (they are cleared just before);
    // runs each time a calculated field of a row is read.
    std::function<void(TRecordRef)> OnCalcFields;

private:
    friend class TRecordRef;

    int RequireField(std::string_view name) const;  // index or -1 with an error line
    bool RequireActive(const char* what);
    void CheckBrowseMode();
    bool NewRow(bool atEnd);
    // Puts the cursor on keep when it is visible, else on the first row.
    // narrow: only the rows visible now are tested.
    void RebuildVisible(const TRow* keep = nullptr, bool narrow = false);
    bool Matches(const TRow& r) const;
    TFieldValue ReadField(TRow& r, int field);
    void Calculate(TRow& r);
    void SetCursor(int row, bool scrollEvents, bool bof, bool eof);
    void RemoveRowAt(int visibleRow);
    void Report(const std::string& text) const;

    template <class F>
    void Notify(F&& f) {
        if (m_disabled == 0)
            for (auto* o : m_observers) f(*o);
    }

    std::vector<TFieldDef> m_fields;
    std::vector<std::unique_ptr<TRow>> m_rows;  // every row, table order
    std::vector<TRow*> m_visible;               // rows passing the filter, table order
    TDataSetState m_state = TDataSetState::Inactive;
    int m_cur = -1;
    bool m_eof = true;
    bool m_bof = true;
    bool m_modified = false;
    std::vector<TFieldValue> m_backup;  // row values before Edit, for Cancel
    int m_cursorBeforeInsert = -1;
    TRow* m_calculating = nullptr;
    bool m_filtered = false;
    std::string m_filterField;
    int m_filterIndex = -1;
    std::string m_filterValue;
    TRowFilter m_rowFilter;
    int m_disabled = 0;
    std::vector<IMemTableObserver*> m_observers;
};

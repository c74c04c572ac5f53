#include "settings/MemTable.h"

#include "app/Dialog.h"

#include <algorithm>

namespace {

bool SameNameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- TRecordRef

TFieldValue TRecordRef::Value(std::string_view field) const {
    if (!Valid()) return {};
    int f = Table->RequireField(field);
    if (f < 0) return {};
    return Table->ReadField(*Row, f);
}

bool TRecordRef::SetCalcValue(std::string_view field, const TFieldValue& v) const {
    if (!Valid()) return false;
    int f = Table->RequireField(field);
    if (f < 0) return false;
    const TFieldDef& def = Table->Field(f);
    if (!def.Calculated || Table->m_calculating != Row) {
        Table->Report("поле " + def.Name + " заполняется только при расчёте полей");
        return false;
    }
    auto converted = v.ConvertTo(def.Type, def.Size);
    if (!converted) {
        Table->Report("значение \"" + v.AsString() + "\" не подходит для поля " + def.Name);
        return false;
    }
    Row->Values[static_cast<std::size_t>(f)] = std::move(*converted);
    return true;
}

// ----------------------------------------------------------------- TMemTable

TMemTable::TMemTable(std::string name) : Name(std::move(name)) {}

void TMemTable::Report(const std::string& text) const { Error(Name + ": " + text, false, true, true); }

int TMemTable::AddField(TFieldDef def) {
    if (Active()) {
        Report("поле " + def.Name + " нельзя добавить в открытую таблицу");
        return -1;
    }
    m_fields.push_back(std::move(def));
    if (m_filterIndex < 0 && !m_filterField.empty()) m_filterIndex = FieldIndex(m_filterField);
    return FieldCount() - 1;
}

int TMemTable::FieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (SameNameNoCase(m_fields[i].Name, name)) return static_cast<int>(i);
    return -1;
}

TFieldDef* TMemTable::FindField(std::string_view name) {
    int i = FieldIndex(name);
    return i < 0 ? nullptr : &m_fields[static_cast<std::size_t>(i)];
}

int TMemTable::RequireField(std::string_view name) const {
    int i = FieldIndex(name);
    if (i < 0) Report("поле " + std::string(name) + " не найдено");
    return i;
}

bool TMemTable::RequireActive(const char* what) {
    if (Active()) return true;
    Report(std::string(what) + ": таблица закрыта");
    return false;
}

// ---------------------------------------------------------------------- life

void TMemTable::Open() {
    if (Active()) return;
    Notify([](IMemTableObserver& o) { o.BeginReset(); });
    m_rows.clear();
    m_visible.clear();
    m_state = TDataSetState::Browse;
    m_cur = -1;
    m_eof = m_bof = true;
    m_modified = false;
    Notify([](IMemTableObserver& o) { o.EndReset(); });
    Notify([this](IMemTableObserver& o) {
        o.StateChanged(m_state);
        o.CurrentChanged(m_cur);
    });
}

void TMemTable::Close() {
    if (!Active()) return;
    Notify([](IMemTableObserver& o) { o.BeginReset(); });
    m_visible.clear();
    m_rows.clear();
    m_backup.clear();
    m_state = TDataSetState::Inactive;
    m_cur = -1;
    m_eof = m_bof = true;
    m_modified = false;
    Notify([](IMemTableObserver& o) { o.EndReset(); });
    Notify([this](IMemTableObserver& o) {
        o.StateChanged(m_state);
        o.CurrentChanged(m_cur);
    });
}

// -------------------------------------------------------------------- cursor

void TMemTable::CheckBrowseMode() {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) return;
    if (m_modified) Post();
    else Cancel();
}

void TMemTable::SetCursor(int row, bool scrollEvents, bool bof, bool eof) {
    if (scrollEvents && BeforeScroll) BeforeScroll(*this);
    m_cur = m_visible.empty() ? -1 : std::clamp(row, 0, RecordCount() - 1);
    m_bof = bof || m_visible.empty();
    m_eof = eof || m_visible.empty();
    Notify([this](IMemTableObserver& o) { o.CurrentChanged(m_cur); });
    if (scrollEvents && AfterScroll) AfterScroll(*this);
}

void TMemTable::First() {
    if (!Active()) return;
    CheckBrowseMode();
    SetCursor(0, true, true, false);
}

void TMemTable::Last() {
    if (!Active()) return;
    CheckBrowseMode();
    SetCursor(RecordCount() - 1, true, false, true);
}

void TMemTable::Next() { MoveBy(1); }
void TMemTable::Prior() { MoveBy(-1); }

int TMemTable::MoveBy(int distance) {
    if (!Active() || distance == 0) return 0;
    CheckBrowseMode();
    if (m_visible.empty()) {
        m_eof = m_bof = true;
        return 0;
    }
    long target = static_cast<long>(m_cur) + distance;
    bool overshoot = target < 0 || target >= RecordCount();
    int dest = static_cast<int>(std::clamp<long>(target, 0, RecordCount() - 1));
    bool bof = distance < 0 && overshoot;
    bool eof = distance > 0 && overshoot;
    int start = m_cur;
    if (dest != m_cur) {
        SetCursor(dest, true, bof, eof);
    } else {
        m_bof = bof;
        m_eof = eof;
    }
    return m_cur - start;
}

bool TMemTable::GoToRow(int row) {
    if (!Active() || row < 0 || row >= RecordCount()) return false;
    TRow* target = m_visible[static_cast<std::size_t>(row)];
    CheckBrowseMode();  // may hide a posted row or drop a new one
    auto it = std::find(m_visible.begin(), m_visible.end(), target);
    if (it == m_visible.end()) return false;
    int dest = static_cast<int>(it - m_visible.begin());
    if (dest != m_cur) {
        SetCursor(dest, true, false, false);
    } else {
        m_eof = m_bof = false;
    }
    return m_cur == dest;
}

bool TMemTable::Locate(std::string_view field, const TFieldValue& value) {
    int f = RequireField(field);
    if (f < 0 || !Active()) return false;
    std::string wanted = value.AsString();
    for (int i = 0; i < RecordCount(); ++i)
        if (ReadField(*m_visible[static_cast<std::size_t>(i)], f).AsString() == wanted) return GoToRow(i);
    return false;
}

// -------------------------------------------------------------------- states

bool TMemTable::Edit() {
    if (!RequireActive("Edit")) return false;
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) return true;
    if (m_visible.empty()) return Insert();
    m_backup = m_visible[static_cast<std::size_t>(m_cur)]->Values;
    m_state = TDataSetState::Edit;
    m_modified = false;
    Notify([this](IMemTableObserver& o) { o.StateChanged(m_state); });
    return true;
}

bool TMemTable::Append() { return NewRow(true); }
bool TMemTable::Insert() { return NewRow(false); }

bool TMemTable::NewRow(bool atEnd) {
    if (!RequireActive(atEnd ? "Append" : "Insert")) return false;
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(*this);

    auto row = std::make_unique<TRow>();
    row->Values.reserve(m_fields.size());
    for (const auto& f : m_fields) row->Values.push_back(f.Calculated ? TFieldValue{} : f.Default);
    TRow* raw = row.get();

    int vi = RecordCount();
    auto pos = m_rows.end();
    if (!atEnd && m_cur >= 0) {
        vi = m_cur;
        TRow* before = m_visible[static_cast<std::size_t>(m_cur)];
        // Visible and table positions differ once any filter hides rows.
        pos = m_filtered || m_rowFilter
                  ? std::find_if(m_rows.begin(), m_rows.end(), [before](const auto& p) { return p.get() == before; })
                  : m_rows.begin() + m_cur;
    }
    Notify([vi](IMemTableObserver& o) { o.BeginInsertRow(vi); });
    m_rows.insert(pos, std::move(row));
    m_visible.insert(m_visible.begin() + vi, raw);
    Notify([](IMemTableObserver& o) { o.EndInsertRow(); });

    m_cursorBeforeInsert = m_cur;
    m_cur = vi;
    m_eof = m_bof = false;
    m_state = TDataSetState::Insert;
    m_modified = false;
    m_backup.clear();
    Notify([this](IMemTableObserver& o) {
        o.StateChanged(m_state);
        o.CurrentChanged(m_cur);
    });
    if (AfterInsert) AfterInsert(*this);
    if (AfterScroll) AfterScroll(*this);
    return true;
}

bool TMemTable::Post() {
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) return true;
    if (BeforePost) BeforePost(*this);
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) return true;  // the handler ended it
    TRow* posted = m_visible[static_cast<std::size_t>(m_cur)];
    m_state = TDataSetState::Browse;
    m_modified = false;
    m_backup.clear();
    int cur = m_cur;
    Notify([this, cur](IMemTableObserver& o) {
        o.StateChanged(m_state);
        o.RowChanged(cur);
    });
    if (AfterPost) AfterPost(*this);

    // A row that no longer passes the filters leaves the view now.
    if (Active() && !Matches(*posted)) {
        auto it = m_cur >= 0 && m_visible[static_cast<std::size_t>(m_cur)] == posted
                      ? m_visible.begin() + m_cur
                      : std::find(m_visible.begin(), m_visible.end(), posted);
        if (it != m_visible.end()) {
            int vi = static_cast<int>(it - m_visible.begin());
            Notify([vi](IMemTableObserver& o) { o.BeginRemoveRow(vi); });
            m_visible.erase(it);
            Notify([](IMemTableObserver& o) { o.EndRemoveRow(); });
            if (m_cur > vi || m_cur >= RecordCount()) --m_cur;
            if (m_visible.empty()) m_eof = m_bof = true;
            Notify([this](IMemTableObserver& o) { o.CurrentChanged(m_cur); });
        }
    }
    return true;
}

void TMemTable::Cancel() {
    if (m_state == TDataSetState::Edit) {
        m_visible[static_cast<std::size_t>(m_cur)]->Values = std::move(m_backup);
        m_backup.clear();
        m_state = TDataSetState::Browse;
        m_modified = false;
        int cur = m_cur;
        Notify([this, cur](IMemTableObserver& o) {
            o.StateChanged(m_state);
            o.RowChanged(cur);
        });
    } else if (m_state == TDataSetState::Insert) {
        RemoveRowAt(m_cur);
        m_state = TDataSetState::Browse;
        m_modified = false;
        m_cur = m_visible.empty() ? -1 : std::clamp(m_cursorBeforeInsert, 0, RecordCount() - 1);
        m_eof = m_bof = m_visible.empty();
        Notify([this](IMemTableObserver& o) {
            o.StateChanged(m_state);
            o.CurrentChanged(m_cur);
        });
    } else {
        return;
    }
    if (AfterCancel) AfterCancel(*this);
}

bool TMemTable::Delete() {
    if (!RequireActive("Delete")) return false;
    if (m_state == TDataSetState::Insert) {
        Cancel();
        return true;
    }
    if (m_visible.empty()) {
        Report("нет строки для удаления");
        return false;
    }
    if (m_state == TDataSetState::Edit) {  // the edit goes with the row
        m_backup.clear();
        m_state = TDataSetState::Browse;
        m_modified = false;
        Notify([this](IMemTableObserver& o) { o.StateChanged(m_state); });
    }
    if (BeforeScroll) BeforeScroll(*this);
    if (m_visible.empty()) return false;
    int at = std::clamp(m_cur, 0, RecordCount() - 1);
    bool wasLast = at == RecordCount() - 1;
    RemoveRowAt(at);
    m_cur = m_visible.empty() ? -1 : std::min(at, RecordCount() - 1);
    m_eof = m_visible.empty() || wasLast;
    m_bof = m_visible.empty();
    Notify([this](IMemTableObserver& o) { o.CurrentChanged(m_cur); });
    if (AfterDelete) AfterDelete(*this);
    if (AfterScroll) AfterScroll(*this);
    return true;
}

void TMemTable::RemoveRowAt(int vi) {
    TRow* r = m_visible[static_cast<std::size_t>(vi)];
    Notify([vi](IMemTableObserver& o) { o.BeginRemoveRow(vi); });
    m_visible.erase(m_visible.begin() + vi);
    if (!m_filtered && static_cast<std::size_t>(vi) < m_rows.size() && m_rows[static_cast<std::size_t>(vi)].get() == r) {
        m_rows.erase(m_rows.begin() + vi);
    } else {
        auto it = std::find_if(m_rows.begin(), m_rows.end(), [r](const auto& p) { return p.get() == r; });
        if (it != m_rows.end()) m_rows.erase(it);
    }
    Notify([](IMemTableObserver& o) { o.EndRemoveRow(); });
}

// -------------------------------------------------------------------- fields

TFieldValue TMemTable::ReadField(TRow& r, int field) {
    if (m_fields[static_cast<std::size_t>(field)].Calculated && m_calculating != &r) Calculate(r);
    return r.Values[static_cast<std::size_t>(field)];
}

void TMemTable::Calculate(TRow& r) {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].Calculated) r.Values[i] = TFieldValue{};
    if (!OnCalcFields) return;
    TRow* outer = m_calculating;
    m_calculating = &r;
    OnCalcFields(TRecordRef{this, &r});
    m_calculating = outer;
}

TFieldValue TMemTable::Value(std::string_view field) {
    int f = RequireField(field);
    if (f < 0 || m_cur < 0) return {};
    return ReadField(*m_visible[static_cast<std::size_t>(m_cur)], f);
}

bool TMemTable::SetValue(std::string_view field, const TFieldValue& v) {
    int f = RequireField(field);
    if (f < 0) return false;
    const TFieldDef& def = m_fields[static_cast<std::size_t>(f)];
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) {
        Report("поле " + def.Name + " можно менять только при редактировании строки");
        return false;
    }
    if (def.Calculated) {
        Report("поле " + def.Name + " вычисляется, его нельзя задать");
        return false;
    }
    auto converted = v.ConvertTo(def.Type, def.Size);
    if (!converted) {
        Report("значение \"" + v.AsString() + "\" не подходит для поля " + def.Name);
        return false;
    }
    m_visible[static_cast<std::size_t>(m_cur)]->Values[static_cast<std::size_t>(f)] = std::move(*converted);
    m_modified = true;
    int cur = m_cur;
    Notify([cur](IMemTableObserver& o) { o.RowChanged(cur); });
    if (def.OnChange) def.OnChange(*this);
    return true;
}

TRecordRef TMemTable::CurrentRecord() {
    if (m_cur < 0) return {};
    return TRecordRef{this, m_visible[static_cast<std::size_t>(m_cur)]};
}

// -------------------------------------------------------------------- filter

bool TMemTable::Matches(const TRow& r) const {
    if (m_rowFilter && !m_rowFilter(r)) return false;
    if (!m_filtered || m_filterIndex < 0) return true;
    return r.Values[static_cast<std::size_t>(m_filterIndex)].AsString() == m_filterValue;
}

void TMemTable::RebuildVisible(const TRow* keep, bool narrow) {
    Notify([](IMemTableObserver& o) { o.BeginReset(); });
    std::vector<TRow*> candidates;
    if (narrow) candidates.swap(m_visible);
    else
        for (const auto& r : m_rows) candidates.push_back(r.get());
    m_visible.clear();
    m_visible.reserve(candidates.size());
    m_cur = -1;
    for (TRow* r : candidates) {
        if (!Matches(*r)) continue;
        if (r == keep) m_cur = static_cast<int>(m_visible.size());
        m_visible.push_back(r);
    }
    if (m_cur < 0) m_cur = m_visible.empty() ? -1 : 0;
    m_bof = m_cur <= 0;
    m_eof = m_visible.empty();
    Notify([](IMemTableObserver& o) { o.EndReset(); });
    Notify([this](IMemTableObserver& o) { o.CurrentChanged(m_cur); });
}

void TMemTable::SetFilter(std::string field, std::string value) {
    if (Active()) CheckBrowseMode();
    m_filterIndex = FieldIndex(field);
    if (m_filterIndex < 0 && !field.empty()) Report("поле фильтра " + field + " не найдено");
    m_filterField = std::move(field);
    m_filterValue = std::move(value);
    if (m_filtered && Active()) RebuildVisible();
}

void TMemTable::SetFiltered(bool on) {
    if (Active()) CheckBrowseMode();
    m_filtered = on;
    if (Active()) RebuildVisible();
}

void TMemTable::SetRowFilter(TRowFilter filter, bool narrows) {
    if (Active()) CheckBrowseMode();
    m_rowFilter = std::move(filter);
    if (Active()) RebuildVisible(m_cur >= 0 ? m_visible[static_cast<std::size_t>(m_cur)] : nullptr, narrows);
}

// ---------------------------------------------------------- table-row access

TRecordRef TMemTable::TableRecord(int tableRow) {
    if (tableRow < 0 || tableRow >= TotalRowCount()) return {};
    return TRecordRef{this, m_rows[static_cast<std::size_t>(tableRow)].get()};
}

TFieldValue TMemTable::TableValue(int tableRow, int field) {
    if (tableRow < 0 || tableRow >= TotalRowCount() || field < 0 || field >= FieldCount()) return {};
    return ReadField(*m_rows[static_cast<std::size_t>(tableRow)], field);
}

int TMemTable::TableRowOf(int visibleRow) const {
    if (visibleRow < 0 || visibleRow >= RecordCount()) return -1;
    const TRow* row = m_visible[static_cast<std::size_t>(visibleRow)];
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].get() == row) return static_cast<int>(i);
    return -1;
}

// ------------------------------------------------------- visible-row access

TFieldValue TMemTable::VisibleValue(int row, int field) {
    if (row < 0 || row >= RecordCount() || field < 0 || field >= FieldCount()) return {};
    return ReadField(*m_visible[static_cast<std::size_t>(row)], field);
}

TRecordRef TMemTable::VisibleRecord(int row) {
    if (row < 0 || row >= RecordCount()) return {};
    return TRecordRef{this, m_visible[static_cast<std::size_t>(row)]};
}

std::string TMemTable::TextOfValue(int field, const TFieldValue& v) const {
    if (field < 0 || field >= FieldCount()) return {};
    const TFieldDef& def = m_fields[static_cast<std::size_t>(field)];
    if (def.OnGetText) return def.OnGetText(v);
    if (v.IsNull()) return {};
    if ((def.Type == TFieldType::Currency || def.Type == TFieldType::Float) && !def.DisplayFormat.empty())
        return FormatFloat(v.AsFloat(), def.DisplayFormat);
    return v.AsString();
}

std::string TMemTable::DisplayText(int row, int field) { return TextOfValue(field, VisibleValue(row, field)); }

std::optional<TFieldValue> TMemTable::ValueFromText(int field, const std::string& text) const {
    if (field < 0 || field >= FieldCount()) return std::nullopt;
    const TFieldDef& def = m_fields[static_cast<std::size_t>(field)];
    if (def.OnSetText) return def.OnSetText(text);
    return TFieldValue(text).ConvertTo(def.Type, def.Size);
}

bool TMemTable::SetVisibleValue(int row, int field, const TFieldValue& v) {
    if (!RequireActive("SetVisibleValue")) return false;
    if (row < 0 || row >= RecordCount() || field < 0 || field >= FieldCount()) {
        Report("нет строки " + std::to_string(row) + " или поля " + std::to_string(field));
        return false;
    }
    const std::string& name = m_fields[static_cast<std::size_t>(field)].Name;
    bool pendingHere = row == m_cur && (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert);
    if (!pendingHere && !GoToRow(row)) return false;
    if (!Edit()) return false;
    if (!SetValue(name, v)) {
        if (!pendingHere) Cancel();
        return false;
    }
    return Post();
}

bool TMemTable::SetVisibleText(int row, int field, const std::string& text) {
    auto v = ValueFromText(field, text);
    if (!v) {
        Report("текст \"" + text + "\" не подходит для поля " +
               (field >= 0 && field < FieldCount() ? m_fields[static_cast<std::size_t>(field)].Name : std::string("?")));
        return false;
    }
    return SetVisibleValue(row, field, *v);
}

// ------------------------------------------------------------------ controls

void TMemTable::DisableControls() { ++m_disabled; }

void TMemTable::EnableControls() {
    if (m_disabled == 0) return;
    if (--m_disabled > 0) return;
    Notify([](IMemTableObserver& o) {
        o.BeginReset();
        o.EndReset();
    });
    Notify([this](IMemTableObserver& o) {
        o.StateChanged(m_state);
        o.CurrentChanged(m_cur);
    });
}

void TMemTable::AddObserver(IMemTableObserver* o) {
    if (o && std::find(m_observers.begin(), m_observers.end(), o) == m_observers.end()) m_observers.push_back(o);
}

void TMemTable::RemoveObserver(IMemTableObserver* o) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), o), m_observers.end());
}

// A Qt table model over a core in-memory table: it shows the table's visible
// rows (no copy of rows into widgets) and edits them through the table.
#pragma once
// moc cannot parse the C++20 headers of the core; it needs only the names.
#ifndef Q_MOC_RUN
#include "settings/MemTable.h"
#else
class TMemTable;
class IMemTableObserver {};
#endif

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <functional>
#include <vector>

struct TGridColumn {
    std::string Field;
    int Width = 60;
    bool ReadOnly = false;
    Qt::Alignment Align = Qt::AlignLeft | Qt::AlignVCenter;
    bool Grey = false;  // read-only columns are drawn on a grey background
    bool Bold = false;
    std::string Title;  // empty: the field's display label
    Qt::Alignment TitleAlign = {};  // caption alignment; none: the view's default
    // Whole numbers Lowest..Highest only (the editor and the model refuse others).
    bool Limited = false;
    int Lowest = 0, Highest = 0;
};

// A column built field by field: GridColumn("Num", 36).ReadOnlyGrey().Centred().
struct TGridColumnBuilder {
    TGridColumn C;
    TGridColumnBuilder& ReadOnlyGrey() { C.ReadOnly = C.Grey = true; return *this; }
    TGridColumnBuilder& ReadOnly() { C.ReadOnly = true; return *this; }
    TGridColumnBuilder& Centred() { C.Align = Qt::AlignCenter; return *this; }
    TGridColumnBuilder& Right() { C.Align = Qt::AlignRight | Qt::AlignVCenter; return *this; }
    TGridColumnBuilder& Bold() { C.Bold = true; return *this; }
    TGridColumnBuilder& TitleRight() { C.TitleAlign = Qt::AlignRight | Qt::AlignVCenter; return *this; }
    TGridColumnBuilder& Within(int lowest, int highest) {
        C.Limited = true;
        C.Lowest = lowest;
        C.Highest = highest;
        return *this;
    }
    operator TGridColumn() const { return C; }
};
inline TGridColumnBuilder GridColumn(std::string field, int width) {
    TGridColumnBuilder b;
    b.C.Field = std::move(field);
    b.C.Width = width;
    return b;
}

class TMemTableModelQt : public QAbstractTableModel, public IMemTableObserver {
    Q_OBJECT
public:
    TMemTableModelQt(TMemTable& table, std::vector<TGridColumn> columns, QObject* parent = nullptr);
    ~TMemTableModelQt() override;

    TMemTable& Table() const { return table_; }
    const TGridColumn& Column(int c) const { return columns_.at(static_cast<std::size_t>(c)); }
    int FieldOf(int column) const { return fields_.at(static_cast<std::size_t>(column)); }
    // Extra looks (colours, fonts) for a cell: return an invalid QVariant for the default.
    std::function<QVariant(int row, int column, int role)> CellLook;
    bool AllowInsert = false;
    // Everything shown may have changed (language, display format, marks).
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Observer of the table.
    void BeginReset() override { beginResetModel(); }
    void EndReset() override { endResetModel(); }
    void BeginInsertRow(int row) override { beginInsertRows({}, row, row); }
    void EndInsertRow() override { endInsertRows(); }
    void BeginRemoveRow(int row) override { beginRemoveRows({}, row, row); }
    void EndRemoveRow() override { endRemoveRows(); }
    void RowChanged(int row) override;
    void CurrentChanged(int row) override { emit CurrentRowChanged(row); }

signals:
    void CurrentRowChanged(int row);

private:
    TMemTable& table_;
    std::vector<TGridColumn> columns_;
    std::vector<int> fields_;
};

// Editor for cells whose field offers a pick list: a drop-down list of the
// texts (no free text); a limited column's editor takes only its numbers.
class TPickListDelegateQt : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

class QTableView;
// Puts the model into the view with the columns' widths and the pick-list editor.
void SetupGridQt(QTableView* view, TMemTableModelQt* model, int rowHeight = 18);

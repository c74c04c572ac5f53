#include "settings/MemTableModelQt.h"

#include "app/QtText.h"

#include <QApplication>
#include <QComboBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QHeaderView>
#include <QTableView>

TMemTableModelQt::TMemTableModelQt(TMemTable& table, std::vector<TGridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns)) {
    for (const auto& c : columns_) fields_.push_back(table_.FieldIndex(c.Field));
    table_.AddObserver(this);
}

TMemTableModelQt::~TMemTableModelQt() { table_.RemoveObserver(this); }

int TMemTableModelQt::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !table_.Active() ? 0 : table_.RecordCount();
}

int TMemTableModelQt::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TMemTableModelQt::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int field = FieldOf(index.column());
    if (field < 0) return {};
    if (CellLook) {
        const QVariant v = CellLook(index.row(), index.column(), role);
        if (v.isValid()) return v;
    }
    const TGridColumn& col = Column(index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return Q(table_.DisplayText(index.row(), field));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(col.Align);
        case Qt::BackgroundRole:
            if (col.Grey) return QApplication::palette().color(QPalette::Button);
            return {};
        case Qt::FontRole:
            if (col.Bold) {
                QFont f;
                f.setBold(true);
                return f;
            }
            return {};
        default:
            return {};
    }
}

bool TMemTableModelQt::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    const int field = FieldOf(index.column());
    const TGridColumn& column = Column(index.column());
    if (field < 0 || column.ReadOnly) return false;
    if (column.Limited) {
        bool number = false;
        const int v = value.toString().trimmed().toInt(&number);
        if (!number || v < column.Lowest || v > column.Highest) return false;
    }
    return table_.SetVisibleText(index.row(), field, S(value.toString()));
}

Qt::ItemFlags TMemTableModelQt::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int field = FieldOf(index.column());
    if (field >= 0 && !Column(index.column()).ReadOnly && !table_.Field(field).Calculated) f |= Qt::ItemIsEditable;
    return f;
}

QVariant TMemTableModelQt::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns_.size())) return {};
    const TGridColumn& col = Column(section);
    if (role == Qt::TextAlignmentRole && col.TitleAlign) return QVariant::fromValue(col.TitleAlign);
    if (role != Qt::DisplayRole) return {};
    if (!col.Title.empty()) return Q(col.Title);
    const int field = FieldOf(section);
    return field < 0 ? QVariant() : QVariant(Q(table_.Field(field).DisplayLabel));
}

void TMemTableModelQt::Refresh() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    if (columnCount() > 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void TMemTableModelQt::RowChanged(int row) {
    if (row < 0 || row >= rowCount()) return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

QWidget* TPickListDelegateQt::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    const auto* model = qobject_cast<const TMemTableModelQt*>(index.model());
    if (!model) return QStyledItemDelegate::createEditor(parent, option, index);
    if (const TGridColumn& column = model->Column(index.column()); column.Limited) {
        auto* edit = new QLineEdit(parent);
        edit->setValidator(new QIntValidator(column.Lowest, column.Highest, edit));
        return edit;
    }
    const TFieldDef& def = model->Table().Field(model->FieldOf(index.column()));
    if (!def.PickList) return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QComboBox(parent);
    for (const auto& item : def.PickList()) box->addItem(Q(item));
    box->setMaxVisibleItems(9);
    return box;
}

void TPickListDelegateQt::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void TPickListDelegateQt::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, box->currentText(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

void SetupGridQt(QTableView* view, TMemTableModelQt* model, int rowHeight) {
    view->setModel(model);
    view->setItemDelegate(new TPickListDelegateQt(view));
    view->verticalHeader()->setMinimumSectionSize(rowHeight);
    view->verticalHeader()->setDefaultSectionSize(rowHeight);
    view->verticalHeader()->setVisible(false);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int c = 0; c < model->columnCount(); ++c) view->setColumnWidth(c, model->Column(c).Width);
    view->horizontalHeader()->setStretchLastSection(true);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
                     [model](const QModelIndex& current, const QModelIndex&) {
                         if (current.isValid() && current.row() != model->Table().CurrentRow())
                             model->Table().GoToRow(current.row());
                     });
    QObject::connect(model, &TMemTableModelQt::CurrentRowChanged, view, [view, model](int row) {
        if (row >= 0 && view->currentIndex().row() != row)
            view->setCurrentIndex(model->index(row, std::max(0, view->currentIndex().column())));
    });
}

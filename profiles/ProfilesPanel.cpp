#include "profiles/ProfilesPanel.h"

#include "app/ProjectsVars.h"
#include "app/QtText.h"
#include "profiles/ProfileActions.h"
#include "profiles/ProfileStore.h"
#include "settings/MemTableModelQt.h"
#include "settings/Unitbd.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int kIconSize = 14;

bool IsTemplateKey(const std::string& key) { return !key.empty() && key[0] == '-'; }

// A small sheet with a folded corner: the mark of every entry.
QPixmap EntryIcon() {
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(2, 1);
    sheet.lineTo(9, 1);
    sheet.lineTo(12, 4);
    sheet.lineTo(12, 13);
    sheet.lineTo(2, 13);
    sheet.closeSubpath();
    p.setPen(QColor(0x40, 0x60, 0x90));
    p.setBrush(QColor(0xE8, 0xF0, 0xFF));
    p.drawPath(sheet);
    p.drawLine(9, 1, 9, 4);
    p.drawLine(9, 4, 12, 4);
    for (int y = 6; y <= 10; y += 2) p.drawLine(4, y, 10, y);
    return pm;
}

// An entry: the icon at the left and the name centred in a rounded frame;
// the current entry on the button-face colour.
class TProfileEntryDelegate : public QStyledItemDelegate {
public:
    TProfileEntryDelegate(TMemTable& table, QObject* parent)
        : QStyledItemDelegate(parent), table_(table), icon_(EntryIcon()) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), TProfilesPanel::EntryHeight};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRect r = option.rect;
        const bool current = index.row() == table_.CurrentRow();
        const QPalette& pal = QApplication::palette();
        p->fillRect(r, current ? pal.color(QPalette::Button) : QColor(Qt::white));
        const QRect frame = r.adjusted(2, 2, -2, -2);
        p->setPen(QPen(pal.color(QPalette::Mid), 1));
        p->setBrush(Qt::NoBrush);
        p->drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        p->drawPixmap(frame.left() + 4, frame.top() + (frame.height() - kIconSize) / 2, icon_);
        QFont f = option.font;
        const QVariant font = index.data(Qt::FontRole);
        if (font.canConvert<QFont>()) f = font.value<QFont>();
        p->setFont(f);
        p->setPen(pal.color(QPalette::Text));
        const QRect text = frame.adjusted(kIconSize + 6, 0, -4, 0);
        p->drawText(text, Qt::AlignCenter,
                    QFontMetrics(f).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, text.width()));
        p->restore();
    }

private:
    TMemTable& table_;
    QPixmap icon_;
};

}  // namespace

TProfilesPanel::TProfilesPanel(TRegisterSession& session, TBD& bd, const TLoadedFlags& loaded, QWidget* parent)
    : QWidget(parent),
      bd_(bd),
      store_(std::make_unique<TProfileStore>(bd)),
      actions_(std::make_unique<TProfileActions>(session, bd, *store_, loaded)) {
    setObjectName("pnlProfiles");
    actions_->AddAfterConnectStep();
    actions_->InputQuery = [this](const std::string& caption, const std::string& prompt,
                                  const std::string& initial) -> std::optional<std::string> {
        if (isAUTONOM) return std::nullopt;  // no boxes: the box counts as cancelled
        bool ok = false;
        const QString text = QInputDialog::getText(this, Q(caption), Q(prompt), QLineEdit::Normal, Q(initial), &ok);
        if (!ok) return std::nullopt;
        return S(text);
    };
    actions_->Repaint = [this] {
        QWidget* w = window();
        w->update();
        for (QWidget* child : w->findChildren<QWidget*>()) child->update();
    };

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(4);
    caption_ = new QLabel("Список настроек", this);
    caption_->setObjectName("lProfiles");
    caption_->setAlignment(Qt::AlignCenter);
    column->addWidget(caption_);

    TGridColumn name;
    name.Field = "Name";
    name.ReadOnly = true;
    model_ = new TMemTableModelQt(bd_.mtProfile, {name}, this);
    model_->CellLook = [this](int row, int, int role) -> QVariant {
        if (role != Qt::FontRole) return {};
        QFont f = font();
        f.setBold(IsTemplateKey(bd_.mtProfile.VisibleValue(row, bd_.mtProfile.FieldIndex("LN")).AsString()));
        return f;
    };
    list_ = new QListView(this);
    list_->setObjectName("DBGridEhProfiles");
    list_->setModel(model_);
    list_->setItemDelegate(new TProfileEntryDelegate(bd_.mtProfile, list_));
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette pal = list_->palette();
    pal.setColor(QPalette::Base, Qt::white);
    list_->setPalette(pal);
    // The list takes the height the window gives, a few entries at least.
    list_->setMinimumHeight(MinVisibleEntries * EntryHeight + 2 * list_->frameWidth());
    list_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    column->addWidget(list_, 1);

    save_ = new QPushButton("Сохранить настройки", this);
    save_->setObjectName("bSavePropKKMtoBD");
    saveTemplate_ = new QPushButton("Сохранить в шаблон", this);
    saveTemplate_->setObjectName("bSavePropKKMtoBDasShablon");
    delete_ = new QPushButton("Удалить", this);
    delete_->setObjectName("bDelPropKKMtoBD");
    for (QPushButton* b : {save_, saveTemplate_, delete_}) column->addWidget(b);

    connect(save_, &QPushButton::clicked, this, [this] { actions_->bSavePropKKMtoBDClick(); });
    connect(saveTemplate_, &QPushButton::clicked, this, [this] { actions_->bSavePropKKMtoBDasShablonClick(); });
    connect(delete_, &QPushButton::clicked, this, [this] { actions_->bDelPropKKMtoBDClick(); });
    connect(model_, &TMemTableModelQt::CurrentRowChanged, this, &TProfilesPanel::ShowCurrentRow);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { ShowCurrentRow(bd_.mtProfile.CurrentRow()); });
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { EntryChosen(index.isValid() ? index.row() : -1); });
    ShowCurrentRow(bd_.mtProfile.CurrentRow());
}

TProfilesPanel::~TProfilesPanel() = default;

bool TProfilesPanel::FormCloseQuery() { return actions_->FormCloseQuery(); }

void TProfilesPanel::ShowCurrentRow(int row) {
    syncing_ = true;
    if (row >= 0 && row < model_->rowCount())
        list_->setCurrentIndex(model_->index(row, 0));
    else
        list_->clearSelection();
    list_->viewport()->update();
    syncing_ = false;
}

void TProfilesPanel::EntryChosen(int row) {
    if (syncing_ || row < 0 || row == bd_.mtProfile.CurrentRow()) return;
    bd_.mtProfile.GoToRow(row);
    list_->viewport()->update();
}

TProfilesPanel* InstallProfilesPanel(QWidget* room, TRegisterSession& session, TBD& bd, const TLoadedFlags& loaded) {
    auto* panel = new TProfilesPanel(session, bd, loaded, room);
    auto* layout = room->layout();
    if (!layout) {
        layout = new QVBoxLayout(room);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(panel);
    return panel;
}

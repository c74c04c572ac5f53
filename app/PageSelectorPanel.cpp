#include "app/PageSelectorPanel.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const char* const kCaptions[3] = {"Настройки", "Товары и Услуги", "Электронный журнал"};
const QStyle::StandardPixmap kIcons[3] = {QStyle::SP_FileDialogDetailedView, QStyle::SP_FileDialogListView,
                                          QStyle::SP_FileDialogContentsView};
constexpr int kPanelHeight = 45;

}  // namespace

TPageSelectorPanel::TPageSelectorPanel(QWidget* parent) : QWidget(parent) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QWidget(this);
        panel->setObjectName(QString("pnlPage%1").arg(i));
        panel->setFixedHeight(kPanelHeight);
        panel->setAutoFillBackground(true);
        panel->setCursor(Qt::PointingHandCursor);
        auto* row = new QHBoxLayout(panel);
        row->setContentsMargins(6, 2, 2, 2);
        auto* icon = new QLabel(panel);
        icon->setPixmap(style()->standardIcon(kIcons[i]).pixmap(24, 24));
        auto* text = new QLabel(kCaptions[i], panel);
        text->setWordWrap(true);
        QFont f = text->font();
        f.setBold(true);
        text->setFont(f);
        row->addWidget(icon);
        row->addWidget(text, 1);
        panel->installEventFilter(this);
        icon->installEventFilter(this);
        text->installEventFilter(this);
        panels_[i] = panel;
        box->addWidget(panel, 0, Qt::AlignLeft);
    }
    Select(0);
}

void TPageSelectorPanel::Select(int page) {
    selected_ = page;
    for (int i = 0; i < 3; ++i) {
        // The open page in the selection colours: Button and Window are the
        // same colour in many styles, Highlight differs in every one.
        const QPalette& app = QApplication::palette();
        QPalette p = panels_[i]->palette();
        p.setColor(QPalette::Window, app.color(i == page ? QPalette::Highlight : QPalette::Window));
        p.setColor(QPalette::WindowText, app.color(i == page ? QPalette::HighlightedText : QPalette::WindowText));
        panels_[i]->setPalette(p);
        panels_[i]->setFixedWidth(i == page ? 149 : 148);
    }
}

void TPageSelectorPanel::PressPanel(int i) {
    if (CanChangePage && !CanChangePage()) return;
    Select(i);
    emit PageSelected(i);
}

bool TPageSelectorPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (int i = 0; i < 3; ++i) {
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && (w == panels_[i] || panels_[i]->isAncestorOf(w))) {
                PressPanel(i);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

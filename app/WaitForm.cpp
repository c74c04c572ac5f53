#include "app/WaitForm.h"

#include "app/QtText.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

TWaitForm::TWaitForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("WaitForm");
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowOpacity(220.0 / 255.0);
    setFixedSize(335, 142);
    lMsg = new QLabel("---", this);
    lMsg->setObjectName("lMsg");
    lMsg->setGeometry(8, 54, 300, 31);
    lMsg->setAlignment(Qt::AlignCenter);
    QFont f("Arial");
    f.setPixelSize(19);
    lMsg->setFont(f);
    lMsg->setAttribute(Qt::WA_TranslucentBackground);
    Timer.setSingleShot(true);
    connect(&Timer, &QTimer::timeout, this, &TWaitForm::TimerTimer);
    SetWaitWindow(this);
}

TWaitForm::~TWaitForm() { SetWaitWindow(nullptr); }

void TWaitForm::ShowWait(int intervalMs, const std::string& message) {
    Timer.stop();
    lMsg->setText(message.empty() ? Q(DefaultWaitMessage) : Q(message));
    Timer.setInterval(intervalMs);
    Timer.start();
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}

void TWaitForm::HideWait() {
    Timer.stop();
    hide();
}

void TWaitForm::TimerTimer() { HideWait(); }

void TWaitForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = QApplication::palette();
    // The shadow box, 8 pixels right and down, with a dotted border.
    p.setBrush(pal.color(QPalette::Shadow));
    p.setPen(QPen(pal.color(QPalette::ButtonText), 1, Qt::DotLine));
    p.drawRect(8, 8, 319, 127);
    // The message box in the tooltip colours.
    p.setBrush(pal.color(QPalette::ToolTipBase));
    p.setPen(QPen(pal.color(QPalette::ButtonText), 1));
    p.drawRect(0, 0, 319, 127);
}

#include "app/ConsolePanel.h"

#include "app/QtText.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

TConsolePanel::TConsolePanel(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setFrameShape(QFrame::NoFrame);
    QFont f = font();
    f.setPixelSize(9);
    setFont(f);
    document()->setDocumentMargin(1);
}

void TConsolePanel::Reset() {
    QPalette p = palette();
    p.setColor(QPalette::Base, ToQColor(C_Face));
    p.setColor(QPalette::Text, ToQColor(C_Message));
    setPalette(p);
    clear();
    // A long line (a refused import's reason) wraps at the right edge: with
    // no wrap the console stayed scrolled to the right after it, and every
    // later line showed its end only, time stamp hidden, under a horizontal
    // bar taking half of the 43 pixels.
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

int TConsolePanel::LineCount() const { return document()->isEmpty() ? 0 : document()->blockCount(); }

void TConsolePanel::DeleteFirstLine() {
    if (LineCount() == 0) return;
    QTextCursor c(document()->firstBlock());
    c.select(QTextCursor::BlockUnderCursor);
    if (document()->blockCount() > 1) {
        c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        c.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
}

void TConsolePanel::AddLine(const std::string& markedLine) {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    if (!document()->isEmpty()) c.insertBlock();
    for (const TConsoleRun& run : ParseConsoleMarkup(markedLine)) {
        QTextCharFormat fmt;
        fmt.setForeground(run.hasColor ? ToQColor(run.color) : palette().color(QPalette::Text));
        fmt.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
        fmt.setFontItalic(run.italic);
        fmt.setFontUnderline(run.underline);
        c.insertText(Q(run.text), fmt);
    }
    setTextCursor(c);
    ShowLastLine();
}

void TConsolePanel::ShowLastLine() {
    QScrollBar* v = verticalScrollBar();
    v->setValue(v->maximum());
    horizontalScrollBar()->setValue(0);
    // A wrapped line taller than the console shows its start, time stamp
    // first, rather than its last words.
    const QRectF last = document()->documentLayout()->blockBoundingRect(document()->lastBlock());
    if (last.height() > viewport()->height()) v->setValue(std::min(v->maximum(), int(last.top())));
}

void TConsolePanel::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    ShowLastLine();  // the lines wrap anew
}

QString TConsolePanel::LineText(int i) const { return document()->findBlockByNumber(i).text(); }

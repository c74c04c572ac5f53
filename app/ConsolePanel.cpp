#include "app/ConsolePanel.h"

#include "app/QtText.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

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
    setLineWrapMode(QTextEdit::NoWrap);
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
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString TConsolePanel::LineText(int i) const { return document()->findBlockByNumber(i).text(); }

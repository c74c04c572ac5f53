// The on-screen console: a read-only rich-text area showing the marked-up
// lines of the message functions, newest last, at most 100 lines.
#pragma once
#include "app/Dialog.h"

#include <QTextEdit>

class TConsolePanel : public QTextEdit, public IConsole {
    Q_OBJECT
public:
    explicit TConsolePanel(QWidget* parent = nullptr);

    int LineCount() const override;
    void DeleteFirstLine() override;
    void AddLine(const std::string& markedLine) override;  // AddLineToRichEdit
    void Reset() override;

    // Plain text of line i (for tests and copying).
    QString LineText(int i) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The newest line in sight from its start.
    void ShowLastLine();
};

#include "journal/JournalPage.h"

#include "app/QtText.h"
#include "journal/MagazineFiles.h"
#include "kkm/RegisterSession.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr qint64 kShowEveryMs = 200;

QPlainTextEdit* NewMemo(QWidget* parent, const char* name, int pixelSize) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    QFont f("Courier");
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPixelSize(pixelSize);
    memo->setFont(f);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setUndoRedoEnabled(false);  // 100,000 appended lines need no undo history
    return memo;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(Q(caption), parent);
    b->setObjectName(name);
    return b;
}

// Lines ended by CR LF as one text for appendPlainText: LF between the lines,
// no line end after the last.
QString AppendableText(const std::string& lines) {
    std::string t;
    t.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!(lines[i] == '\r' && i + 1 < lines.size() && lines[i + 1] == '\n')) t += lines[i];
    if (!t.empty() && t.back() == '\n') t.pop_back();
    return Q(t);
}

}  // namespace

TJournalPage::TJournalPage(TRegisterSession& session, TTransferState& transfer, QWidget* parent)
    : QWidget(parent),
      reader_(session.Protocol, [&session] { return session.EnsureConnected(); }, transfer, *this) {
    setObjectName("tsJournal");
    auto* box = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout();
    bLoadMagazineFromKKM = NewButton(this, "bLoadMagazineFromKKM", MagazineReadCaptionFirst);
    QFont bold = bLoadMagazineFromKKM->font();
    bold.setBold(true);
    bLoadMagazineFromKKM->setFont(bold);
    bMagazineToFile = NewButton(this, "bMagazineToFile", "Сохранить текст в файл");
    bSave = NewButton(this, "bSave", "Сохранить данные в файл");
    buttons->addWidget(bLoadMagazineFromKKM);
    buttons->addWidget(bMagazineToFile);
    buttons->addWidget(bSave);
    buttons->addStretch(1);
    box->addLayout(buttons);

    MemoMagazine = NewMemo(this, "MemoMagazine", 13);
    MemoMagazineSource = NewMemo(this, "MemoMagazineSource", 11);
    MemoMagazineSource->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MemoMagazineSource->setVisible(false);
    box->addWidget(MemoMagazine, 1);
    box->addWidget(MemoMagazineSource);

    AskSaveFileName = [this] {
        return QFileDialog::getSaveFileName(this, QString(), QString(), QString(), nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    };
    connect(bLoadMagazineFromKKM, &QPushButton::clicked, this, [this] { bLoadMagazineFromKKMClick(); });
    connect(bMagazineToFile, &QPushButton::clicked, this, &TJournalPage::bMagazineToFileClick);
    connect(bSave, &QPushButton::clicked, this, &TJournalPage::bSaveClick);
}

TMagazineReadResult TJournalPage::bLoadMagazineFromKKMClick() { return reader_.Read(); }

void TJournalPage::bMagazineToFileClick() { SaveLines(MemoMagazine); }

void TJournalPage::bSaveClick() { SaveLines(MemoMagazineSource); }

void TJournalPage::SaveLines(const QPlainTextEdit* memo) {
    const QString path = AskSaveFileName ? AskSaveFileName() : QString();
    if (path.isEmpty()) return;
    SaveMagazineFile(S(path), S(memo->toPlainText()));
}

void TJournalPage::ClearMagazine() {
    pendingSource_.clear();
    pendingText_.clear();
    sinceShown_.invalidate();
    MemoMagazine->clear();
    MemoMagazineSource->clear();
}

void TJournalPage::AddMagazineLines(const std::string& source, const std::string& text) {
    pendingSource_ += source;
    pendingText_ += text;
    if (!sinceShown_.isValid() || sinceShown_.elapsed() >= kShowEveryMs) ShowPendingLines();
}

void TJournalPage::EndMagazine() { ShowPendingLines(); }

void TJournalPage::ShowPendingLines() {
    sinceShown_.start();
    if (pendingSource_.empty() && pendingText_.empty()) return;
    MemoMagazineSource->appendPlainText(AppendableText(pendingSource_));
    MemoMagazine->appendPlainText(AppendableText(pendingText_));
    pendingSource_.clear();
    pendingText_.clear();
}

void TJournalPage::SetReadCaption(const std::string& caption) { bLoadMagazineFromKKM->setText(Q(caption)); }

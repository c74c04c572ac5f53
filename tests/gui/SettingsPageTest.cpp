// The "Настройка ККМ" page in the real main window, against the register
// simulator on a pseudo-terminal.
#include "app/MainWindow.h"
#include "settings/SettingsPage.h"

#include "GuiTestUtil.h"
#include "SettingsPageFixture.h"
#include "TestFiles.h"
#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "app/QtText.h"
#include "app/WaitForm.h"
#include "lang/U_language.h"
#include "settings/MemTableModelQt.h"
#include "settings/OptionCardsPanel.h"
#include "settings/OptionCatalogue.h"
#include "sim/RegisterSimulator.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <memory>

namespace {

using SettingsPage = TSettingsPageFixture;

QColor TextColor(QLabel* label) { return label->palette().color(QPalette::WindowText); }

// A left-button press and release on a widget, as the operator makes them.
void Click(QWidget* widget) {
    const QPointF at(3, 3);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void Key(QWidget* widget, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

void Type(QWidget* widget, const QString& text) {
    for (QChar c : text) Key(widget, c.unicode(), QString(c));
}

}  // namespace

TEST_F(SettingsPage, ShowsItsButtonsTabsAndViews) {
    EXPECT_EQ(S(page->bLoadAllOptions->text()), "Считать всё из ККМ");
    EXPECT_EQ(S(page->bSaveAllOptions->text()), "Записать всё в ККМ");
    EXPECT_TRUE(page->bLoadAllOptions->font().bold());
    EXPECT_TRUE(page->bSaveAllOptions->font().bold());
    EXPECT_EQ(S(page->lFullFun->text()), "для включения дополнительных функций в командной строке укажите: FULLFUN");
    EXPECT_TRUE(page->lFullFun->wordWrap());
    ASSERT_EQ(page->pcSettings->count(), 4);
    EXPECT_EQ(S(page->pcSettings->tabText(0)), "Опции");
    EXPECT_EQ(S(page->pcSettings->tabText(1)), "Отделы");
    EXPECT_EQ(S(page->pcSettings->tabText(2)), "Заголовок и окончание чека");
    EXPECT_EQ(S(page->pcSettings->tabText(3)), "Налоги");
    for (QPushButton* b : {page->bLoadOptions, page->bDepLoadFromKKM, page->bLoadTitle, page->bLoadTax})
        EXPECT_EQ(S(b->text()), "считать из ККМ");
    for (QPushButton* b : {page->bSaveOptions, page->bSaveDepToKKM, page->bSaveToKKM})
        EXPECT_EQ(S(b->text()), "записать в ККМ");
    EXPECT_EQ(S(page->bSetDefaultOptions->text()), "по умолчанию");
    EXPECT_EQ(S(page->bVid->text()), "Вид");
    EXPECT_NE(page->ProfilesRoom(), nullptr);

    // Card view first; "Вид" shows the list over it and hides it again.
    EXPECT_EQ(page->OptionViews->currentWidget(), page->OptionCards);
    EXPECT_TRUE(page->DBGridEhOptions->isHidden());
    page->bVid->click();
    EXPECT_EQ(page->OptionViews->currentWidget(), page->DBGridEhOptions);
    page->bVid->click();
    EXPECT_EQ(page->OptionViews->currentWidget(), page->OptionCards);

    // List view columns.
    QTableView* list = page->DBGridEhOptions;
    ASSERT_EQ(list->model()->columnCount(), 4);
    EXPECT_EQ(list->columnWidth(0), 24);
    EXPECT_EQ(list->columnWidth(1), 33);
    EXPECT_EQ(list->columnWidth(2), 53);
    EXPECT_EQ(list->verticalHeader()->defaultSectionSize(), 13);
    EXPECT_EQ(S(list->model()->headerData(3, Qt::Horizontal).toString()), "Описание");
    EXPECT_FALSE(list->model()->flags(list->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(list->model()->flags(list->model()->index(0, 1)) & Qt::ItemIsEditable);

    // Department grid: captions, widths, the price caption on the right.
    QAbstractItemModel* deps = page->DBGridEhDep->model();
    EXPECT_EQ(S(deps->headerData(0, Qt::Horizontal).toString()), "№Сек.");
    EXPECT_EQ(S(deps->headerData(1, Qt::Horizontal).toString()), "Статус");
    EXPECT_EQ(S(deps->headerData(4, Qt::Horizontal).toString()), "Огр.Цены");
    EXPECT_TRUE(deps->headerData(4, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_EQ(page->DBGridEhDep->columnWidth(0), 36);
    EXPECT_EQ(page->DBGridEhDep->columnWidth(2), 134);
    EXPECT_EQ(page->DBGridEhDep->columnWidth(4), 63);
    EXPECT_EQ(S(deps->index(0, 1).data().toString()), "Закрыто");

    // Header and footer: Courier, font lists of the nine captions.
    EXPECT_TRUE(page->DBGridEhTitle->font().family().startsWith("Courier"));
    EXPECT_EQ(page->DBGridEhTitle->columnWidth(1), 268);
    for (QComboBox* box : {page->cbTitleFont, page->cbFooterFont}) {
        ASSERT_EQ(box->count(), 9);
        EXPECT_EQ(S(box->itemText(0)), "0 (по умолчанию)");
        EXPECT_EQ(S(box->itemText(8)), "8 (32 символа, СЖАТЫЙ по высоте)");
        EXPECT_EQ(box->maxVisibleItems(), 9);
        EXPECT_FALSE(box->isEditable());
        EXPECT_EQ(box->currentIndex(), -1);
    }

    // Taxes: read only, a check mark for "Опр.".
    QAbstractItemModel* tax = page->DBGridEhTax->model();
    EXPECT_EQ(page->DBGridEhTax->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(tax->index(0, 1).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(tax->index(0, 1).data().toString(), "");
    EXPECT_EQ(page->DBGridEhTax->columnWidth(2), 127);
}

TEST_F(SettingsPage, CardsShowTwoColumnsOfTwentyAndScrollSideways) {
    w->show();
    ProcessFor(50);
    TOptionCardsPanel* cards = page->OptionCards;
    ASSERT_EQ(cards->CardCount(), 32);
    EXPECT_EQ(cards->Card(19)->x(), cards->Card(0)->x()) << "filled column by column";
    EXPECT_GT(cards->Card(20)->x(), cards->Card(19)->x());
    EXPECT_EQ(cards->Card(20)->y(), cards->Card(0)->y());
    EXPECT_EQ(cards->Cards()->viewport()->width(), TOptionCardsPanel::VisibleColumns * TOptionCardsPanel::ColumnWidth);
    EXPECT_EQ(S(cards->NumberLabel(0)->text()), "1");
    EXPECT_EQ(S(cards->RangeLabel(0)->text()), " - ") << "no range before a register was read";
    EXPECT_TRUE(cards->ValueBox(0)->font().bold());

    ASSERT_TRUE(w->Connect());
    ASSERT_EQ(cards->CardCount(), w->Session.Info()->GetOptionCount());
    EXPECT_EQ(S(cards->RangeLabel(1)->text()), "0 - 8");

    // 64 options: four columns, two of them reached by scrolling.
    w->Session.Info()->OptionCount = 64;
    page->Actions.FillOptionRows();
    ASSERT_EQ(cards->CardCount(), 64);
    EXPECT_GT(cards->Cards()->horizontalScrollBar()->maximum(), 0);
    cards->ValueBox(63)->setFocus();
    ProcessFor(50);
    EXPECT_GT(cards->Cards()->horizontalScrollBar()->value(), 0) << "the focused card is scrolled into view";

    // A wider window shows all four columns, and the description no wider.
    const int description = cards->Description()->width();
    w->resize(1400, 700);
    ProcessFor(50);
    EXPECT_EQ(cards->Cards()->viewport()->width(), 4 * TOptionCardsPanel::ColumnWidth);
    EXPECT_EQ(cards->Cards()->horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(cards->Description()->width(), std::max(description, 320));
}

TEST_F(SettingsPage, CardsEditTheRowsAndShowTheDescriptionAndTheMarks) {
    w->show();
    ASSERT_TRUE(w->Connect());
    TOptionCardsPanel* cards = page->OptionCards;
    TMemTable& t = w->BD->mtOptions;

    // A press anywhere on a card focuses its value box with the text selected.
    Click(cards->RangeLabel(1));
    ProcessFor(50);
    EXPECT_TRUE(cards->ValueBox(1)->hasFocus());
    EXPECT_EQ(cards->ValueBox(1)->selectedText(), cards->ValueBox(1)->text());
    EXPECT_EQ(t.CurrentRow(), 1);
    EXPECT_EQ(cards->Description()->text(), Q(t.VisibleRecord(1).AsString("Captions")));

    // Typing a value out of the range 0..8 stores it and marks the range.
    cards->ValueBox(1)->selectAll();
    Type(cards->ValueBox(1), "12");
    Key(cards->ValueBox(1), Qt::Key_Return);
    EXPECT_EQ(t.VisibleRecord(1).AsInteger("Value"), 12);
    EXPECT_EQ(TextColor(cards->RangeLabel(1)), QColor(255, 0, 0));
    EXPECT_TRUE(cards->RangeLabel(1)->font().bold());
    EXPECT_NE(TextColor(cards->RangeLabel(0)), QColor(255, 0, 0));
    EXPECT_FALSE(cards->RangeLabel(0)->font().bold());

    // Down goes to the next card.
    Key(cards->ValueBox(1), Qt::Key_Down);
    EXPECT_TRUE(cards->ValueBox(2)->hasFocus());

    // The difference mark: a saved profile exists and differs in option 2.
    w->BD->HasSavedProfile = true;
    t.SetVisibleValue(0, t.FieldIndex("Value"), t.VisibleRecord(0).AsInteger("Value"));  // a post refreshes the marks
    EXPECT_EQ(TextColor(cards->NumberLabel(1)), QColor(0, 0, 255));
    EXPECT_TRUE(cards->NumberLabel(1)->font().bold());

    // The list view shows the same marks.
    page->bVid->click();
    QAbstractItemModel* list = page->DBGridEhOptions->model();
    EXPECT_EQ(list->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    EXPECT_EQ(list->index(1, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_TRUE(list->index(1, 2).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(list->index(0, 2).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(S(list->index(1, 1).data().toString()), "12");
}

TEST_F(SettingsPage, ReadAllAndWriteAllFromTheButtons) {
    TWaitForm wait;
    page->bLoadAllOptions->click();
    EXPECT_TRUE(w->Session.IsConnected());
    EXPECT_TRUE(page->Actions.OptionsLoaded && page->Actions.DepsLoaded && page->Actions.TitleLoaded &&
                page->Actions.TaxLoaded);
    EXPECT_TRUE(Logged("завершена!"));
    EXPECT_FALSE(wait.isVisible());

    QAbstractItemModel* deps = page->DBGridEhDep->model();
    ASSERT_EQ(deps->rowCount(), 8);
    const TSimRegister reg = Register();
    EXPECT_EQ(S(deps->index(0, 2).data().toString()), reg.Departments[0].Name);
    EXPECT_EQ(page->cbTitleFont->currentText(), Q(FontNames[reg.Header[0].Font]));
    EXPECT_EQ(page->DBGridEhTitle->model()->index(0, 1).data().toString(), Q(reg.Header[0].Text));
    EXPECT_EQ(page->DBGridEhTax->model()->rowCount(), 5);

    // Edit in the grids and the font list, then write everything.
    QAbstractItemModel* title = page->DBGridEhTitle->model();
    ASSERT_TRUE(title->setData(title->index(2, 1), "Третья строка", Qt::EditRole));
    ASSERT_TRUE(deps->setData(deps->index(1, 2), "Новое имя", Qt::EditRole));
    page->cbFooterFont->setCurrentIndex(7);
    emit page->cbFooterFont->activated(7);
    EXPECT_EQ(w->BD->mtCheckFont.AsString("footerFont"), FontNames[7]);
    page->bSaveAllOptions->click();
    const TSimRegister now = Register();
    EXPECT_EQ(now.Header[2].Text, "Третья строка");
    EXPECT_EQ(now.Footer[0].Font, 7);
    EXPECT_EQ(now.Departments[1].Name, "Новое имя");
    EXPECT_TRUE(Logged(" завершена!"));
}

TEST_F(SettingsPage, FontListsFollowTheProfileFontRow) {
    // No font row yet: picking a font creates it for the register profile.
    page->cbTitleFont->setCurrentIndex(2);
    emit page->cbTitleFont->activated(2);
    ASSERT_EQ(w->BD->mtCheckFont.RecordCount(), 1);
    EXPECT_EQ(w->BD->mtCheckFont.AsString("TitleFont"), FontNames[2]);
    EXPECT_EQ(w->BD->mtCheckFont.AsString("LN"), "0");
    EXPECT_EQ(page->cbFooterFont->currentIndex(), -1);

    // Another profile without a font row shows empty lists.
    w->BD->mtProfile.Append();
    w->BD->mtProfile.SetValue("Name", "Шаблон");
    w->BD->mtProfile.SetValue("LN", "-45000");
    w->BD->mtProfile.Post();
    EXPECT_EQ(page->cbTitleFont->currentIndex(), -1);
    w->BD->mtProfile.First();
    EXPECT_EQ(page->cbTitleFont->currentIndex(), 2);
}

TEST_F(SettingsPage, LanguageChangeRenamesTheDepartmentKinds) {
    QAbstractItemModel* deps = page->DBGridEhDep->model();
    ASSERT_EQ(LangRes().LoadLanguage("English"), 0);  // not recorded: later windows start in the built-in texts
    w->RefreshCaptions();
    const std::string shown = S(deps->index(0, 1).data().toString());
    LangRes().SetDefaults();
    w->RefreshCaptions();
    EXPECT_EQ(shown, "Closed");
    EXPECT_EQ(S(deps->index(0, 1).data().toString()), "Закрыто");
}

TEST_F(SettingsPage, APressDuringAnOperationStartsNothing) {
    int nested = 0;
    bool pressed = false;
    AppHooks().ProcessEvents = [&] {
        if (pressed) return;
        pressed = true;
        ++nested;
        page->bLoadTaxClick();  // the operator presses while the register talks
    };
    page->bLoadOptionsClick();
    AppHooks().ProcessEvents = nullptr;
    EXPECT_EQ(nested, 1);
    EXPECT_TRUE(Logged("Опции загружены"));
    EXPECT_FALSE(Logged("Загружена информация о налогах"));
    EXPECT_FALSE(page->Busy());

    w->Transfer.TransferRunning = true;
    page->bLoadTaxClick();
    w->Transfer.End();
    EXPECT_FALSE(Logged("Загружена информация о налогах"));
    page->bLoadTaxClick();
    EXPECT_TRUE(Logged("Загружена информация о налогах"));
}

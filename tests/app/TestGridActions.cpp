#include "app/uStartup.h"
#include "platform/TProfileFile.h"
#include "storage/engine/TRowSet.h"
#include "storage/uConst.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "ui/TApplication.h"
#include "ui/TFindDialog.h"
#include "ui/TGridCopy.h"
#include "ui/TIndicatorHeader.h"
#include "ui/TSystemBrowser.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QToolTip>

class TestGridActions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiesSelectionWithTitlesInVisualOrder();
    void copyKeepsOneLinePerRow();
    void cellMenuActions_data();
    void cellMenuActions();
    void sortsNumbersAsNumbers();
    void sortingLeavesSavedLayoutAlone();
    void truncatedCellShowsItsTextAsTooltip_data();
    void truncatedCellShowsItsTextAsTooltip();
    void lastStoredRowIsCurrent();
    void findDialogSearchesTheGrid();

private:
    void AddRow(const QString& title, const QVariant& price, const QString& picUrl = QString(),
                const QString& detailUrl = QString());
    int Column(const QString& field) const;
    QModelIndex Cell(int row, const QString& field) const;
    void Select(const QList<QModelIndex>& cells);

    TMainFormFixture* m_fixture = nullptr;
    TMainForm* m_form = nullptr;
};

void TestGridActions::init()
{
    TMainFormFixture::RemoveDataFiles();
    m_fixture = new TMainFormFixture;
    m_form = m_fixture->Start();
}

void TestGridActions::cleanup()
{
    delete m_fixture;
    TSystemBrowser::SetTestHook({});
}

void TestGridActions::AddRow(const QString& title, const QVariant& price, const QString& picUrl,
                             const QString& detailUrl)
{
    TRowSet* rows = m_fixture->Dm()->qrGoodsList();
    QString error;
    QVERIFY2(rows->Append(&error), qPrintable(error));
    rows->SetValue(rows->FieldIndex("title"), title);
    rows->SetValue(rows->FieldIndex("view_price"), price);
    rows->SetValue(rows->FieldIndex("pic_url"), picUrl);
    if (!detailUrl.isEmpty()) {
        rows->SetValue(rows->FieldIndex("detail_url"), detailUrl);
    }
    rows->Post();
}

int TestGridActions::Column(const QString& field) const
{
    const QAbstractItemModel* model = m_form->grid->model();
    for (int c = 0; c < model->columnCount(); ++c) {
        if (model->headerData(c, Qt::Horizontal, Qt::UserRole + 2).toString() == field) {
            return c;
        }
    }
    return -1;
}

QModelIndex TestGridActions::Cell(int row, const QString& field) const
{
    return m_form->grid->model()->index(row, Column(field));
}

void TestGridActions::Select(const QList<QModelIndex>& cells)
{
    QItemSelectionModel* selection = m_form->grid->selectionModel();
    selection->clearSelection();
    for (const QModelIndex& cell : cells) {
        selection->select(cell, QItemSelectionModel::Select);
    }
}

void TestGridActions::copiesSelectionWithTitlesInVisualOrder()
{
    AddRow("A", 1.5);
    AddRow("B", 12.25);
    QHeaderView* header = m_form->grid->horizontalHeader();
    header->moveSection(header->visualIndex(Column("view_price")), 0); // price now stands left of the title
    Select({Cell(0, "title"), Cell(1, "title"), Cell(1, "view_price")});
    const TGridCopy copy = TGridCopy::FromSelection(m_form->grid);
    QCOMPARE(copy.Text, QStringLiteral("价格\t标题\r\n\tA\r\n12.25\tB\r\n"));
    QVERIFY(copy.Html.startsWith("<table><tr><th>价格</th><th>标题</th></tr>"));
    m_form->grid->setFocus();
    QTest::keyClick(m_form->grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), copy.Text);
    QVERIFY(QApplication::clipboard()->mimeData()->hasHtml());
}

void TestGridActions::copyKeepsOneLinePerRow()
{
    AddRow("a\tb\r\nc<d>", QVariant());
    Select({Cell(0, "title"), Cell(0, "view_price")});
    const TGridCopy copy = TGridCopy::FromSelection(m_form->grid);
    QCOMPARE(copy.Text, QStringLiteral("标题\t价格\r\na b c<d>\t\r\n"));
    QVERIFY(copy.Html.contains("<td>a b c&lt;d&gt;</td><td></td>"));
}

// The menu's link is the cell's own; a cell without one offers the row's detail page, when the row has one.
void TestGridActions::cellMenuActions_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("link"); // empty: the link actions are off
    QTest::newRow("link without scheme") << "//img.example/1.jpg"
                                         << "//item.example/1"
                                         << "http://img.example/1.jpg";
    QTest::newRow("link with scheme") << "https://shop.example/a"
                                      << ""
                                      << "https://shop.example/a";
    QTest::newRow("plain text") << "商品"
                                << ""
                                << "";
    QTest::newRow("plain text: the row's detail page") << "商品"
                                                       << "//item.example/1"
                                                       << "http://item.example/1";
    QTest::newRow("other scheme") << "javascript:alert(1)"
                                  << ""
                                  << "";
    QTest::newRow("other scheme: the row's detail page") << "javascript:alert(1)"
                                                         << "https://item.example/2"
                                                         << "https://item.example/2";
}

void TestGridActions::cellMenuActions()
{
    QFETCH(QString, value);
    QFETCH(QString, detail);
    QFETCH(QString, link);
    AddRow("t", 1, value, detail);
    QList<QUrl> opened;
    TSystemBrowser::SetTestHook([&opened](const QUrl& url) {
        opened.append(url);
        return true;
    });
    std::unique_ptr<QMenu> menu(m_form->CreateCellMenu(Cell(0, "pic_url")));
    auto* open = menu->findChild<QAction*>("actOpenInBrowser");
    auto* copyLink = menu->findChild<QAction*>("actCopyLink");
    QCOMPARE(open->text(), QStringLiteral("在浏览器中打开"));
    QCOMPARE(open->isEnabled(), !link.isEmpty());
    QCOMPARE(copyLink->isEnabled(), !link.isEmpty());
    if (!link.isEmpty()) {
        open->trigger();
        QCOMPARE(opened, QList<QUrl>({QUrl(link)}));
        copyLink->trigger();
        QCOMPARE(QApplication::clipboard()->text(), link);
    }
    menu->findChild<QAction*>("actCopy")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("图片\r\n%1\r\n").arg(value));
}

void TestGridActions::sortsNumbersAsNumbers()
{
    AddRow("ten", 10.0);
    AddRow("nine", 9.0);
    AddRow("hundred", 100.0);
    QHeaderView* header = m_form->grid->horizontalHeader();
    const auto titles = [this]() {
        QStringList order;
        for (int row = 0; row < 3; ++row) {
            order.append(Cell(row, "title").data().toString());
        }
        return order;
    };
    QCOMPARE(titles(), QStringList({"ten", "nine", "hundred"})); // no order until a title is clicked
    const QPoint price(header->sectionViewportPosition(Column("view_price")) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, price);
    QCOMPARE(titles(), QStringList({"nine", "ten", "hundred"}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, price);
    QCOMPARE(titles(), QStringList({"hundred", "ten", "nine"}));
}

void TestGridActions::sortingLeavesSavedLayoutAlone()
{
    AddRow("b", 2.0);
    AddRow("a", 1.0);
    QHeaderView* header = m_form->grid->horizontalHeader();
    header->moveSection(header->visualIndex(Column("nick")), 1);
    m_form->SaveSettings();
    const QString before = TProfileFile(IniPath).ReadString("grid", "grid.nick", "") + "|"
        + TProfileFile(IniPath).ReadString("grid", "grid.title", "");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(Column("title")) + 10, header->height() / 2));
    QCOMPARE(Cell(0, "title").data().toString(), QStringLiteral("a"));
    QCOMPARE(header->visualIndex(Column("nick")), 1);
    m_form->SaveSettings();
    QCOMPARE(TProfileFile(IniPath).ReadString("grid", "grid.nick", "") + "|"
                 + TProfileFile(IniPath).ReadString("grid", "grid.title", ""),
             before);
}

void TestGridActions::truncatedCellShowsItsTextAsTooltip_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("shown");
    QTest::newRow("cut short") << QStringLiteral("办公桌 电脑桌 台式家用 简约现代 书桌 写字台 卧室学生学习桌") << true;
    QTest::newRow("fits") << QStringLiteral("书桌") << false;
}

void TestGridActions::truncatedCellShowsItsTextAsTooltip()
{
    QFETCH(QString, title);
    QFETCH(bool, shown);
    AddRow(title, 10.0);
    QTableView* grid = m_form->grid;
    grid->horizontalHeader()->resizeSection(Column("title"), 80);
    const QRect cell = grid->visualRect(Cell(0, "title"));
    QVERIFY(cell.isValid());
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    QHelpEvent event(QEvent::ToolTip, cell.center(), grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid->viewport(), &event);
    QCOMPARE(QToolTip::isVisible(), shown);
    QCOMPARE(QToolTip::text(), shown ? title : QString());
    QToolTip::hideText();
}

// After a page is stored, its last row is the current one, marked in the indicator column and scrolled into view.
void TestGridActions::lastStoredRowIsCurrent()
{
    QTableView* grid = m_form->grid;
    auto store = [this](int count, int first) {
        QString error;
        const QString block = m_form->ExtractPageJson(QString::fromUtf8(TSearchPages::Page(count, first)));
        QCOMPARE(m_form->StorePageJson("desk", block, &error), count);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    };
    store(5, 0);
    QCOMPARE(grid->currentIndex().row(), 4);
    QCOMPARE(static_cast<TIndicatorHeader*>(grid->verticalHeader())->CurrentRow(), 4);
    grid->setCurrentIndex(Cell(1, "nick"));
    store(40, 5);
    QCOMPARE(grid->currentIndex(), Cell(44, "nick")); // the current column stays
    QCOMPARE(static_cast<TIndicatorHeader*>(grid->verticalHeader())->CurrentRow(), 44);
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex()).center()));
    QCOMPARE(grid->selectionModel()->selectedIndexes(), QModelIndexList({grid->currentIndex()}));
}

// Ctrl+F in the grid opens the find dialog as a window over the main window; it finds in the grid's cells.
void TestGridActions::findDialogSearchesTheGrid()
{
    AddRow("Desk", 1.0);
    AddRow("chair", 2.0);
    AddRow("desk lamp", 3.0);
    m_form->grid->setCurrentIndex(Cell(0, "title"));
    m_form->grid->setFocus();
    QTest::keyClick(m_form->grid, Qt::Key_F, Qt::ControlModifier);
    auto* dialog = m_form->findChild<TFindDialog*>("FindDialog");
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isWindow());
    QCOMPARE(dialog->parentWidget(), m_form);
    dialog->FindText->setText("DESK");
    QTest::keyClick(dialog->FindText, Qt::Key_Return);
    QCOMPARE(m_form->grid->currentIndex(), Cell(2, "title"));
    QTest::keyClick(dialog->FindText, Qt::Key_Return);
    QCOMPARE(m_form->grid->currentIndex(), Cell(0, "title")); // wrapped around
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestGridActions test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestGridActions.moc"

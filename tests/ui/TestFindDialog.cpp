#include "ui/TFindDialog.h"
#include "ui/TMessageBox.h"
#include "ui/TNoticeEvent.h"
#include "ui/uPubFunc.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

namespace {
// Three rows of two columns:  desk | 书桌 / chair | Desk lamp / shelf | 椅子
QStandardItemModel* NewModel(QObject* parent)
{
    auto* model = new QStandardItemModel(3, 2, parent);
    const QStringList cells = {"desk", "书桌", "chair", "Desk lamp", "shelf", "椅子"};
    for (int i = 0; i < cells.size(); ++i) {
        model->setItem(i / 2, i % 2, new QStandardItem(cells[i]));
    }
    return model;
}
} // namespace

class TestFindDialog : public QObject
{
    Q_OBJECT

private slots:
    void search_data();
    void search();
    void dialogMovesTheCurrentCell();
    void dialogKeepsClearOfTheCellItFound();
    void looksAndHearsLikeEveryWindow();
};

void TestFindDialog::search_data()
{
    QTest::addColumn<int>("fromRow"); // -1: no current cell
    QTest::addColumn<int>("fromColumn");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("row"); // -1: nothing found
    QTest::addColumn<int>("column");

    QTest::newRow("forward to the next match") << 0 << 0 << "desk" << true << 1 << 1;
    QTest::newRow("forward wraps to the top") << 1 << 1 << "desk" << true << 0 << 0;
    QTest::newRow("backward to the previous match") << 1 << 1 << "desk" << false << 0 << 0;
    QTest::newRow("backward wraps to the bottom") << 0 << 0 << "desk" << false << 1 << 1;
    QTest::newRow("only match is the current cell") << 2 << 0 << "shelf" << true << 2 << 0;
    QTest::newRow("no current cell: forward from the top") << -1 << -1 << "desk" << true << 0 << 0;
    QTest::newRow("no current cell: backward from the bottom") << -1 << -1 << "desk" << false << 1 << 1;
    QTest::newRow("case does not matter") << 2 << 1 << "DESK" << true << 0 << 0;
    QTest::newRow("part of a cell") << 0 << 0 << "LAMP" << true << 1 << 1;
    QTest::newRow("Chinese") << 0 << 0 << "椅" << true << 2 << 1;
    QTest::newRow("no match") << 0 << 0 << "sofa" << true << -1 << -1;
    QTest::newRow("empty text finds nothing") << 0 << 0 << "" << true << -1 << -1;
}

void TestFindDialog::search()
{
    QFETCH(int, fromRow);
    QFETCH(int, fromColumn);
    QFETCH(QString, text);
    QFETCH(bool, forward);
    QFETCH(int, row);
    QFETCH(int, column);
    QStandardItemModel* model = NewModel(this);
    const QModelIndex from = fromRow >= 0 ? model->index(fromRow, fromColumn) : QModelIndex();

    const QModelIndex found = TFindDialog::Search(model, from, text, forward);

    QCOMPARE(found.isValid() ? found.row() : -1, row);
    QCOMPARE(found.isValid() ? found.column() : -1, column);
    delete model;
}

void TestFindDialog::dialogMovesTheCurrentCell()
{
    QWidget window;
    auto* view = new QTableView(&window);
    view->setModel(NewModel(view));
    window.show();
    TFindDialog dialog(view, &window);
    dialog.Open();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.isWindow());
    view->setCurrentIndex(view->model()->index(2, 1));
    dialog.FindText->setText("DESK");
    QTest::keyClick(dialog.FindText, Qt::Key_Return); // Enter finds the next cell
    QCOMPARE(view->currentIndex(), view->model()->index(0, 0));
    dialog.findChild<QPushButton*>("FindNextButton")->click();
    QCOMPARE(view->currentIndex(), view->model()->index(1, 1));
    QVERIFY(dialog.FindNext()); // wraps around
    QCOMPARE(view->currentIndex(), view->model()->index(0, 0));
    dialog.findChild<QPushButton*>("FindPreviousButton")->click();
    QCOMPARE(view->currentIndex(), view->model()->index(1, 1));
    dialog.FindText->setText("sofa");
    QVERIFY(!dialog.FindNext());
    QCOMPARE(view->currentIndex(), view->model()->index(1, 1)); // nothing found: the current cell stays
    QTest::keyClick(dialog.FindText, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
}

// The dialog opens over the middle of the view's window; the cell it finds there is not left beneath it.
void TestFindDialog::dialogKeepsClearOfTheCellItFound()
{
    QWidget window;
    window.resize(800, 600);
    auto* view = new QTableView(&window);
    view->setGeometry(window.rect());
    auto* model = new QStandardItemModel(60, 4, view);
    view->setModel(model);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TFindDialog dialog(view, &window);
    dialog.Open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QModelIndex under = view->indexAt(view->viewport()->mapFromGlobal(dialog.frameGeometry().center()));
    QVERIFY(under.isValid());
    model->setItem(under.row(), under.column(), new QStandardItem(QStringLiteral("目标")));
    view->setCurrentIndex(model->index(0, 0));
    dialog.FindText->setText(QStringLiteral("目标"));
    QVERIFY(dialog.FindNext());
    QCOMPARE(view->currentIndex(), under);
    const QRect cell = view->visualRect(under);
    const QRect onScreen(view->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    QVERIFY(!dialog.frameGeometry().intersects(onScreen));
    QVERIFY(dialog.screen()->availableGeometry().contains(dialog.frameGeometry()));
}

// The dialog takes the common window font and colour, and shows a notice sent to it.
void TestFindDialog::looksAndHearsLikeEveryWindow()
{
    QWidget window;
    auto* view = new QTableView(&window);
    TFindDialog dialog(view, &window);
    QVERIFY(dialog.inherits("TBaseForm"));
    QCOMPARE(dialog.font(), TCommForm::WindowFont());
    QCOMPARE(dialog.palette().color(QPalette::Window), dialog.palette().color(QPalette::Button));
    QVERIFY(dialog.width() < 870); // sized to its controls, not to the main window's size

    InitPubFunc();
    QStringList boxes;
    TMessageBox::SetTestHook([&boxes](TMessageBox::Icon, const QString& caption, const QString& text) {
        boxes.append(caption + "|" + text);
    });
    TNoticeEvent event(TPubFunc::NoticeInformation, TPubFunc::NoticeBuffer(QStringLiteral("查找")));
    QVERIFY(QCoreApplication::sendEvent(&dialog, &event));
    TMessageBox::SetTestHook({});
    DonePubFunc();
    QCOMPARE(boxes, QStringList({QStringLiteral("提示|查找")}));
}

QTEST_MAIN(TestFindDialog)
#include "TestFindDialog.moc"

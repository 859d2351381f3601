#include "app/TExportDialog.h"
#include "app/uStartup.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/export/TWorkbookReader.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestFiles.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"
#include "ui/TSystemBrowser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/wait.h>
#include <unistd.h>

namespace {
void Collect(TMainForm* form, const QString& keyword)
{
    form->cbSearch->setEditText(keyword);
    form->edPageNum->setValue(1);
    QTest::mouseClick(form->RzBitBtn1, Qt::LeftButton);
}
} // namespace

// The export as the user runs it: the button, the dialog (through its hook) and the result's box.
class TestExportWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void buttonSitsInTheTopBar();
    void gridRowsInTheGridsColumnOrder();
    void tableRowsOfOneKeyword();
    void unwritablePathNamesFileAndReason();
    void gridRowsInTheGridsSortOrder();
    void existingFileIsReplacedOnlyWhenAllowed_data();
    void existingFileIsReplacedOnlyWhenAllowed();
    void proposalAndRememberedChoice();
    void containingFolderOpensOnRequest_data();
    void containingFolderOpensOnRequest();
    void staleTemporaryFileIsRemoved();

private:
    // Runs the export with the dialog set by the hook and waits for the box at its end; false without one.
    bool Export(const std::function<void(TExportDialog&)>& choose);
    // The same with the questions answered: the answers in order, then "no"; the questions go to m_asked.
    bool ExportAnswering(const std::function<void(TExportDialog&)>& choose, QList<bool> answers);

    QStringList m_asked;

    TFakeMarketplace* m_server = nullptr;
    TMainFormFixture* m_fixture = nullptr;
    TMainForm* m_form = nullptr;
    QTemporaryDir m_dir;
};

void TestExportWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestExportWindow::cleanupTestCase()
{
    TExportDialog::SetTestHook({});
}

void TestExportWindow::init()
{
    TMainFormFixture::RemoveDataFiles();
    m_server = new TFakeMarketplace;
    QVERIFY(m_server->Start());
    m_server->ServePage(TSearchPages::Target("desk", 0), TSearchPages::Page(6, 100));
    m_server->ServePage(TSearchPages::Target(QStringLiteral("椅子"), 0), TSearchPages::Page(3));
    m_fixture = new TMainFormFixture;
    m_form = m_fixture->Start(TMainFormFixture::LocalRun(m_server->Host()));
    // The table holds both runs; the grid shows the last one only.
    Collect(m_form, "desk");
    Collect(m_form, QStringLiteral("椅子"));
    QCOMPARE(m_form->grid->model()->rowCount(), 3);
    m_fixture->ClearBoxes();
}

void TestExportWindow::cleanup()
{
    delete m_fixture;
    delete m_server;
    TMessageBox::SetAskHook({});
    TSystemBrowser::SetTestHook({});
    m_asked.clear();
}

bool TestExportWindow::ExportAnswering(const std::function<void(TExportDialog&)>& choose, QList<bool> answers)
{
    TMessageBox::SetAskHook([this, answers](const QString& caption, const QString& text) mutable {
        m_asked.append(caption + QLatin1Char('|') + text);
        return answers.isEmpty() ? false : answers.takeFirst();
    });
    TExportDialog::SetTestHook([choose](TExportDialog& dialog) {
        choose(dialog);
        return true;
    });
    QTest::mouseClick(m_form->btnExport, Qt::LeftButton);
    // The export ends with the question about the folder, or at once when no export starts.
    return QTest::qWaitFor([this]() { return m_form->btnExport->isEnabled() && !m_form->IsExporting(); }, 10000);
}

bool TestExportWindow::Export(const std::function<void(TExportDialog&)>& choose)
{
    TExportDialog::SetTestHook([choose](TExportDialog& dialog) {
        choose(dialog);
        return true;
    });
    QTest::mouseClick(m_form->btnExport, Qt::LeftButton);
    return QTest::qWaitFor([this]() { return !m_fixture->Boxes().isEmpty(); }, 10000) && m_form->btnExport->isEnabled();
}

void TestExportWindow::buttonSitsInTheTopBar()
{
    QCOMPARE(m_form->btnExport->objectName(), QStringLiteral("btnExport"));
    QCOMPARE(m_form->btnExport->parentWidget(), m_form->RzPanel1);
    QCOMPARE(m_form->btnExport->geometry(), QRect(520, 51, 75, 25));
    QCOMPARE(m_form->btnExport->text(), QStringLiteral("导出"));
    QVERIFY(m_form->btnExport->geometry().right() < m_form->Image2->geometry().left());
}

void TestExportWindow::gridRowsInTheGridsColumnOrder()
{
    QHeaderView* header = m_form->grid->horizontalHeader();
    header->moveSection(header->count() - 1, 0); // 评价数 first
    const QString path = m_dir.filePath("grid.csv");
    QVERIFY(Export([path](TExportDialog& dialog) {
        dialog.rbGridRows->setChecked(true);
        dialog.rbCsv->setChecked(true);
        dialog.edPath->setText(path);
    }));
    QVERIFY2(m_fixture->Boxes().first().contains(QStringLiteral("已导出 3 行")),
             qPrintable(m_fixture->Boxes().first()));
    const QList<QByteArray> lines = ReadFileBytes(path).split('\n');
    QCOMPARE(lines.size(), 5); // header, three rows, the empty rest after the last CR LF
    QCOMPARE(lines.at(0), QByteArray("\xEF\xBB\xBF评价数,标题,图片,详细,价格,运费,原价,地点,淘宝号,旺旺昵称,店铺\r"));
    QVERIFY2(lines.at(2).startsWith("1,\"商品 1 \"\"特价\"\"\",//img.example/1.jpg,"), lines.at(2).constData());
}

void TestExportWindow::tableRowsOfOneKeyword()
{
    const QString path = m_dir.filePath("desk.xlsx");
    QStringList offered;
    QVERIFY(Export([path, &offered](TExportDialog& dialog) {
        for (int i = 0; i < dialog.cbKeyword->count(); ++i) {
            offered.append(dialog.cbKeyword->itemText(i));
        }
        dialog.rbTableRows->setChecked(true);
        dialog.chkKeyword->setChecked(true);
        dialog.cbKeyword->setCurrentText("desk");
        dialog.rbXlsx->setChecked(true);
        dialog.edPath->setText(path);
    }));
    QCOMPARE(offered, QStringList({"desk", QStringLiteral("椅子")}));
    QList<QStringList> rows;
    QString error;
    QVERIFY2(TWorkbookReader::ReadSheet(path, 1, &rows, &error), qPrintable(error));
    QCOMPARE(rows.size(), 7);
    QCOMPARE(rows.at(0).first(), QStringLiteral("s:标题"));
    QCOMPARE(rows.at(1).mid(0, 1), QStringList({QStringLiteral("s:商品 100 \"特价\"")}));
    QCOMPARE(rows.at(6).at(3), QStringLiteral("n:105.5")); // 价格, a number cell
}

void TestExportWindow::unwritablePathNamesFileAndReason()
{
    const QString blocker = m_dir.filePath("plain-file");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = blocker + QStringLiteral("/out.csv");
    QVERIFY(Export([path](TExportDialog& dialog) {
        dialog.rbCsv->setChecked(true);
        dialog.edPath->setText(path);
    }));
    const QString box = m_fixture->Boxes().first();
    QVERIFY2(box.startsWith(QStringLiteral("导出失败|无法导出到 ") + path + QStringLiteral("：")), qPrintable(box));
    QVERIFY2(box.endsWith(QStringLiteral("：路径中有一项不是文件夹")), qPrintable(box)); // the reason, in Chinese
}

void TestExportWindow::gridRowsInTheGridsSortOrder()
{
    const int title = 0;
    m_form->grid->sortByColumn(title, Qt::DescendingOrder);
    const QString path = m_dir.filePath("sorted.csv");
    QVERIFY(Export([path](TExportDialog& dialog) {
        dialog.rbCsv->setChecked(true);
        dialog.edPath->setText(path);
    }));
    const QList<QByteArray> lines = ReadFileBytes(path).split('\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines.at(1).startsWith("\"商品 2 "), lines.at(1).constData());
    QVERIFY2(lines.at(3).startsWith("\"商品 0 "), lines.at(3).constData());
}

void TestExportWindow::existingFileIsReplacedOnlyWhenAllowed_data()
{
    QTest::addColumn<bool>("replace");
    QTest::newRow("replace") << true;
    QTest::newRow("keep") << false;
}

void TestExportWindow::existingFileIsReplacedOnlyWhenAllowed()
{
    QFETCH(bool, replace);
    const QString path = m_dir.filePath(replace ? "replace.csv" : "keep.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QVERIFY(ExportAnswering(
        [path](TExportDialog& dialog) {
            dialog.rbCsv->setChecked(true);
            dialog.edPath->setText(path);
        },
        {replace}));
    QVERIFY(!m_asked.isEmpty());
    QVERIFY2(m_asked.first().contains(path) && m_asked.first().contains(QStringLiteral("已存在")),
             qPrintable(m_asked.first()));
    QCOMPARE(ReadFileBytes(path) == "old", !replace);
    QCOMPARE(m_asked.size(), replace ? 2 : 1); // the export that ran asks about the folder
}

void TestExportWindow::proposalAndRememberedChoice()
{
    QString proposed;
    bool xlsx = false;
    QVERIFY(ExportAnswering(
        [this, &proposed, &xlsx](TExportDialog& dialog) {
            proposed = dialog.Path();
            xlsx = dialog.rbXlsx->isChecked();
            dialog.rbCsv->setChecked(true);
            dialog.edPath->setText(m_dir.filePath("chosen.csv"));
        },
        {}));
    const QRegularExpression stamp(QStringLiteral("/椅子_\\d{8}-\\d{4}\\.xlsx$"));
    QVERIFY2(stamp.match(proposed).hasMatch(), qPrintable(proposed));
    QVERIFY(xlsx);
    m_form = m_fixture->Restart();
    QVERIFY(ExportAnswering(
        [&proposed, &xlsx](TExportDialog& dialog) {
            proposed = dialog.Path();
            xlsx = dialog.rbXlsx->isChecked();
        },
        {}));
    QCOMPARE(QFileInfo(proposed).absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
    QVERIFY2(proposed.endsWith(QStringLiteral(".csv")), qPrintable(proposed));
    QVERIFY(!xlsx);
}

void TestExportWindow::containingFolderOpensOnRequest_data()
{
    QTest::addColumn<bool>("open");
    QTest::newRow("open") << true;
    QTest::newRow("close") << false;
}

void TestExportWindow::containingFolderOpensOnRequest()
{
    QFETCH(bool, open);
    QList<QUrl> opened;
    TSystemBrowser::SetTestHook([&opened](const QUrl& url) {
        opened.append(url);
        return true;
    });
    const QString path = m_dir.filePath(open ? "opened.xlsx" : "closed.xlsx");
    QVERIFY(ExportAnswering([path](TExportDialog& dialog) { dialog.edPath->setText(path); }, {open}));
    QCOMPARE(m_asked.size(), 1);
    QVERIFY2(m_asked.first().contains(QStringLiteral("已导出 3 行")), qPrintable(m_asked.first()));
    QCOMPARE(opened,
             open ? QList<QUrl>{QUrl::fromLocalFile(QFileInfo(m_dir.path()).absoluteFilePath())} : QList<QUrl>());
}

// A killed export leaves its temporary file behind; the next export to the folder removes it, but never the file
// of an export that still runs.
void TestExportWindow::staleTemporaryFileIsRemoved()
{
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    QVERIFY(child > 0);
    QVERIFY(waitpid(child, nullptr, 0) == child); // its process id now belongs to no process
    const QString stale = m_dir.filePath(QStringLiteral(".killed.xlsx.%1-abcDEF.part").arg(child));
    const QString running = m_dir.filePath(QStringLiteral(".running.xlsx.%1-abcDEF.part").arg(getpid()));
    for (const QString& name : {stale, running}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString path = m_dir.filePath("after-kill.csv");
    QVERIFY(Export([path](TExportDialog& dialog) {
        dialog.rbCsv->setChecked(true);
        dialog.edPath->setText(path);
    }));
    QVERIFY(!QFileInfo::exists(stale));
    QVERIFY(QFileInfo::exists(running));
    QVERIFY(QFileInfo::exists(path));
}

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    InitModules();
    TestExportWindow test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestExportWindow.moc"

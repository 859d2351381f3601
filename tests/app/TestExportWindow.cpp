#include "app/TExportDialog.h"
#include "app/uStartup.h"
#include "export/TExportThread.h"
#include "storage/engine/TConnection.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/app/TSearchPages.h"
#include "tests/export/TWorkbookReader.h"
#include "tests/support/TFakeMarketplace.h"
#include "tests/support/TestFiles.h"
#include "ui/TApplication.h"
#include "ui/TNoticeEvent.h"
#include "ui/TNumberEdit.h"
#include "ui/TProgressForm.h"
#include "ui/TSystemBrowser.h"
#include "ui/uPubFunc.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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
    void keywordListStartsOnTheCurrentKeyword();
    void browsingToAnExistingFileAsksOnce();
    void staleTemporaryFileIsRemoved();
    void dialogSuffix_data();
    void dialogSuffix();
    void dialogEnabledStates();
    void dialogIsAWindowOfTheProgram();
    void dialogRunsModal_data();
    void dialogRunsModal();
    void closeDuringExportKeepsTheOldFile();
    void progressWindowCancels();

private:
    // Runs the export with the dialog set by the hook and waits for the box at its end; false without one.
    bool Export(const std::function<void(TExportDialog&)>& choose);
    // The same with the questions answered: the answers in order, then "no"; the questions go to m_asked.
    bool ExportAnswering(const std::function<void(TExportDialog&)>& choose, QList<bool> answers);

    QStringList m_asked;
    TExportThread* StartLargeExport(const QString& path);

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

// The folder opens when asked to; when no program can open it, a box says so.
void TestExportWindow::containingFolderOpensOnRequest_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("fileManager");
    QTest::newRow("open") << true << true;
    QTest::newRow("close") << false << true;
    QTest::newRow("open without a program for folders") << true << false;
}

void TestExportWindow::containingFolderOpensOnRequest()
{
    QFETCH(bool, open);
    QFETCH(bool, fileManager);
    QList<QUrl> opened;
    TSystemBrowser::SetTestHook([&opened, fileManager](const QUrl& url) {
        opened.append(url);
        return fileManager;
    });
    const QString path = m_dir.filePath(QStringLiteral("%1-%2.xlsx").arg(open).arg(fileManager));
    QVERIFY(ExportAnswering([path](TExportDialog& dialog) { dialog.edPath->setText(path); }, {open}));
    QCOMPARE(m_asked.size(), 1);
    QVERIFY2(m_asked.first().contains(QStringLiteral("已导出 3 行")), qPrintable(m_asked.first()));
    const QString folder = QFileInfo(m_dir.path()).absoluteFilePath();
    QCOMPARE(opened, open ? QList<QUrl>{QUrl::fromLocalFile(folder)} : QList<QUrl>());
    if (fileManager) {
        QCOMPARE(m_fixture->Boxes(), QStringList());
    } else {
        QCOMPARE(m_fixture->Boxes().size(), 1);
        QVERIFY2(m_fixture->Boxes().first().contains(QStringLiteral("没有可以打开文件夹"))
                     && m_fixture->Boxes().first().contains(folder),
                 qPrintable(m_fixture->Boxes().first()));
    }
}

// The keyword list of "只导出关键字" starts on the keyword of the keyword box, not on the first one.
void TestExportWindow::keywordListStartsOnTheCurrentKeyword()
{
    QStringList offered;
    QString chosen;
    QVERIFY(ExportAnswering(
        [&](TExportDialog& dialog) {
            for (int i = 0; i < dialog.cbKeyword->count(); ++i) {
                offered.append(dialog.cbKeyword->itemText(i));
            }
            chosen = dialog.cbKeyword->currentText();
            dialog.edPath->setText(m_dir.filePath("keyword.xlsx"));
        },
        {}));
    QCOMPARE(offered, QStringList({"desk", QStringLiteral("椅子")}));
    QCOMPARE(m_form->cbSearch->currentText(), QStringLiteral("椅子"));
    QCOMPARE(chosen, QStringLiteral("椅子"));
}

// A file chosen through 浏览 that exists is asked about once, by the export, and not by the file dialog too.
void TestExportWindow::browsingToAnExistingFileAsksOnce()
{
    const QString path = m_dir.filePath("browsed.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.close();
    int fileDialogQuestions = 0;
    QTimer watcher; // answers any question of the file dialog, and counts it
    connect(&watcher, &QTimer::timeout, this, [&]() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (box == nullptr || !box->isVisible()) {
                continue;
            }
            ++fileDialogQuestions;
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::YesRole
                    || box->buttonRole(button) == QMessageBox::AcceptRole) {
                    button->click();
                    break;
                }
            }
        }
    });
    watcher.start(20);
    QVERIFY(ExportAnswering(
        [path](TExportDialog& dialog) {
            dialog.rbCsv->setChecked(true);
            QTimer::singleShot(50, &dialog, [path]() {
                auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(files != nullptr);
                auto* name = files->findChild<QLineEdit*>("fileNameEdit");
                QVERIFY(name != nullptr);
                name->setText(path); // typed, as the user would
                static_cast<QDialog*>(files)->accept(); // as its save button does
            });
            dialog.btnBrowse->click();
        },
        {false}));
    watcher.stop();
    QCOMPARE(fileDialogQuestions, 0);
    QCOMPARE(m_asked.size(), 1);
    QVERIFY2(m_asked.first().contains(QStringLiteral("已存在")), qPrintable(m_asked.first()));
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

// The file's suffix follows the format: the other format's suffix is replaced, any other name gains one.
void TestExportWindow::dialogSuffix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("csv");
    QTest::addColumn<QString>("expected");
    QTest::newRow("xlsx to csv") << "/d/商品.xlsx" << true << "/d/商品.csv";
    QTest::newRow("csv to xlsx") << "/d/商品.csv" << false << "/d/商品.xlsx";
    QTest::newRow("other case of the suffix") << "/d/a.XLSX" << true << "/d/a.csv";
    QTest::newRow("suffix already right") << "/d/a.CSV" << true << "/d/a.CSV";
    QTest::newRow("no suffix") << "/d/a" << false << "/d/a.xlsx";
    QTest::newRow("other suffix is kept") << "/d/a.txt" << true << "/d/a.txt.csv";
    QTest::newRow("dot in a folder name") << "/d.xlsx/a" << true << "/d.xlsx/a.csv";
    QTest::newRow("empty stays empty") << "" << true << "";
}

void TestExportWindow::dialogSuffix()
{
    QFETCH(QString, path);
    QFETCH(bool, csv);
    QFETCH(QString, expected);
    QCOMPARE(TExportDialog::WithSuffix(path, csv ? TExportRequest::Csv : TExportRequest::Xlsx), expected);
    TExportDialog dialog({}, 0);
    dialog.rbCsv->setChecked(!csv);
    dialog.edPath->setText(path);
    (csv ? dialog.rbCsv : dialog.rbXlsx)->setChecked(true); // switching the format renames the file
    QCOMPARE(dialog.Path(), expected);
}

void TestExportWindow::dialogEnabledStates()
{
    TExportDialog dialog({"desk", QStringLiteral("椅子")}, 3);
    QVERIFY(dialog.rbGridRows->isChecked());
    QVERIFY(dialog.rbXlsx->isChecked());
    QVERIFY(dialog.Path().endsWith(QStringLiteral("/商品列表.xlsx")));
    QVERIFY(dialog.rbGridRows->text().contains(QStringLiteral("3 行")));
    // The keyword filter belongs to the table's rows.
    QVERIFY(!dialog.chkKeyword->isEnabled());
    QVERIFY(!dialog.cbKeyword->isEnabled());
    dialog.rbTableRows->setChecked(true);
    QVERIFY(dialog.chkKeyword->isEnabled());
    QVERIFY(!dialog.cbKeyword->isEnabled());
    dialog.chkKeyword->setChecked(true);
    QVERIFY(dialog.cbKeyword->isEnabled());
    QVERIFY(dialog.FilterKeyword());
    dialog.rbGridRows->setChecked(true);
    QVERIFY(!dialog.chkKeyword->isEnabled());
    QVERIFY(!dialog.cbKeyword->isEnabled());
    QVERIFY(!dialog.FilterKeyword()); // a checked filter counts only for the table's rows
    // No file, no export; blanks are no file.
    QVERIFY(dialog.btnOk->isEnabled());
    dialog.edPath->setText("   ");
    QVERIFY(!dialog.btnOk->isEnabled());
    dialog.edPath->setText("/tmp/x");
    QVERIFY(dialog.btnOk->isEnabled());
    // Without a keyword in the table there is nothing to filter by.
    TExportDialog empty({}, 0);
    empty.rbTableRows->setChecked(true);
    QVERIFY(!empty.chkKeyword->isEnabled());
    empty.chkKeyword->setChecked(true);
    QVERIFY(!empty.FilterKeyword());
}

// The dialog takes the common window font and colour and shows a notice sent to it.
void TestExportWindow::dialogIsAWindowOfTheProgram()
{
    TExportDialog dialog({}, 0, m_form);
    QVERIFY(dialog.inherits("TBaseForm"));
    QVERIFY(dialog.isWindow());
    QCOMPARE(dialog.font(), TCommForm::WindowFont());
    QCOMPARE(dialog.palette().color(QPalette::Window), dialog.palette().color(QPalette::Button));
    TNoticeEvent notice(TPubFunc::NoticeWarning, TPubFunc::NoticeBuffer(QStringLiteral("导出提示")));
    QVERIFY(QCoreApplication::sendEvent(&dialog, &notice));
    QCOMPARE(m_fixture->Boxes(), QStringList({QStringLiteral("警告|导出提示")}));
}

// Shown for real (no hook): the export button and Enter accept, Esc and the cancel button do not; a
// blank file name never exports.
void TestExportWindow::dialogRunsModal_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("export button") << "ok"
                                   << "/tmp/a.xlsx" << true;
    QTest::newRow("Enter") << "enter"
                           << "/tmp/a.xlsx" << true;
    QTest::newRow("Enter without a file") << "enter"
                                          << "" << false;
    QTest::newRow("cancel button") << "cancel"
                                   << "/tmp/a.xlsx" << false;
    QTest::newRow("Esc") << "esc"
                         << "/tmp/a.xlsx" << false;
    QTest::newRow("close button") << "close"
                                  << "/tmp/a.xlsx" << false;
}

void TestExportWindow::dialogRunsModal()
{
    QFETCH(QString, action);
    QFETCH(QString, path);
    QFETCH(bool, accepted);
    TExportDialog::SetTestHook({});
    TExportDialog dialog({}, 0, m_form);
    dialog.edPath->setText(path);
    bool wasModal = false;
    QTimer::singleShot(50, &dialog, [&]() {
        wasModal = dialog.isVisible() && QApplication::activeModalWidget() == &dialog;
        if (action == "ok") {
            dialog.btnOk->click();
        } else if (action == "cancel") {
            dialog.findChild<QPushButton*>("btnCancel")->click();
        } else if (action == "close") {
            dialog.close();
        } else {
            QTest::keyClick(dialog.edPath, action == "esc" ? Qt::Key_Escape : Qt::Key_Return);
            dialog.close(); // ends the loop when the key did nothing
        }
    });
    QCOMPARE(dialog.Run(), accepted);
    QVERIFY(wasModal);
    QVERIFY(!dialog.isVisible());
}

// Starts an export of the whole table, 200 000 rows more than the runs stored, over an older file.
TExportThread* TestExportWindow::StartLargeExport(const QString& path)
{
    QString error;
    if (!m_fixture->Dm()->conn()->Execute(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 200000) "
            "insert into goodslist (keyname, title) select 'bulk', '商品 ' || i from n",
            &error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    QFile old(path);
    if (!old.open(QIODevice::WriteOnly)) {
        return nullptr;
    }
    old.write("old workbook");
    old.close();
    // The export replaces the old file when asked.
    TMessageBox::SetAskHook(
        [](const QString&, const QString& text) { return text.contains(QStringLiteral("已存在")); });
    TExportDialog::SetTestHook([path](TExportDialog& dialog) {
        dialog.rbTableRows->setChecked(true);
        dialog.rbXlsx->setChecked(true);
        dialog.edPath->setText(path);
        return true;
    });
    QTest::mouseClick(m_form->btnExport, Qt::LeftButton);
    return m_form->findChild<TExportThread*>();
}

// Closing the window while an export runs cancels it and waits for the worker; the old file stays.
void TestExportWindow::closeDuringExportKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("all.xlsx");
    QPointer<TExportThread> thread = StartLargeExport(path);
    QVERIFY(thread != nullptr);
    bool closedWhileRunning = false;
    connect(thread, &TExportThread::Progress, m_form, [&](qint64 done, qint64 total) {
        if (!closedWhileRunning && done < total) {
            closedWhileRunning = true;
            m_form->close();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(closedWhileRunning, 20000);
    QVERIFY(!m_form->isVisible());
    QVERIFY(!m_form->IsExporting());
    QVERIFY(thread == nullptr || thread->isFinished());
    QCOMPARE(ReadFileBytes(path), QByteArray("old workbook"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"all.xlsx"}));
    QVERIFY(m_fixture->Boxes().isEmpty());
}

// The progress window is one of the program's windows; its cancel button ends the export, the old file stays.
void TestExportWindow::progressWindowCancels()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("all.xlsx");
    QPointer<TExportThread> thread = StartLargeExport(path);
    QVERIFY(thread != nullptr);
    auto* progress = m_form->findChild<TProgressForm*>("ExportProgress");
    QVERIFY(progress != nullptr);
    QVERIFY(progress->inherits("TBaseForm"));
    QVERIFY(progress->isWindow());
    QCOMPARE(progress->font(), TCommForm::WindowFont());
    bool cancelled = false;
    connect(thread, &TExportThread::Progress, m_form, [&](qint64 done, qint64 total) {
        if (!cancelled && done < total) {
            cancelled = true;
            progress->btnCancel->click();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->IsExporting(), 30000);
    QVERIFY(cancelled);
    QVERIFY(m_form->btnExport->isEnabled());
    QCOMPARE(ReadFileBytes(path), QByteArray("old workbook"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"all.xlsx"}));
    QVERIFY(m_fixture->Boxes().isEmpty()); // a cancel shows no box
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

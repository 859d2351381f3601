#include "app/uStartup.h"
#include "platform/CodePage.h"
#include "platform/TFileMessage.h"
#include "platform/TProfileFile.h"
#include "storage/engine/TConnection.h"
#include "storage/uConst.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/support/TestFiles.h"
#include "ui/TApplication.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {
QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items.append(combo->itemText(i));
    }
    return items;
}

// Field names of the grid's columns in their visual order.
QStringList ColumnOrder(const QTableView* grid)
{
    QStringList order;
    const QHeaderView* header = grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        order.append(grid->model()->headerData(header->logicalIndex(visual), Qt::Horizontal).toString());
    }
    return order;
}

// The box of a save that failed with errnum: the settings file's path, the reason and the system's text.
QString NotSaved(int errnum)
{
    return QStringLiteral("这次的设置没有保存，设置文件保持原样。\n") + TFileMessage::NotWritten(IniPath, errnum);
}

// Set in main, while the process has one thread: the test's mounts are its own.
bool PrivateMounts = false;

// Fills a file system until no byte more fits.
void FillDisk(const QString& path)
{
    QFile filler(path);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return;
    }
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) { }
    while (filler.write(block.left(1)) == 1) { }
}

// The files of the data folder, apart from the database's.
QStringList SettingsFiles()
{
    QStringList names = QDir(DataDir).entryList(QDir::Files | QDir::Hidden);
    names.removeIf([](const QString& name) { return name.startsWith(QLatin1String("gleanbox.db")); });
    return names;
}

const QStringList DesignedTitles
    = {"标题", "图片", "详细", "价格", "运费", "原价", "地点", "淘宝号", "旺旺昵称", "店铺", "评价数"};
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { TMainFormFixture::RemoveDataFiles(); }

    void firstStart();
    void storedPageCount_data();
    void storedPageCount();
    void keywordHistoryAtClose_data();
    void keywordHistoryAtClose();
    void keywordWithSeparatorComesBackAsTwo();
    void longHistoryIsCut();
    void savedHistoryDropsOldestEntriesWhole();
    void columnLayoutSurvivesRestart();
    void columnPositionRules_data();
    void columnPositionRules();
    void closeRequestDismissesAnOpenDialog();
    void failedWriteIsReportedAndWindowCloses();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void damagedDatabaseStopsTheInitialisation();
};

void TestSettings::firstStart()
{
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    QCOMPARE(form->pos(), QPoint(262, 140));
    QCOMPARE(form->size(), QSize(870, 500));
    QCOMPARE(form->edPageNum->value(), 3);
    QCOMPARE(Items(form->cbSearch), QStringList({"办公桌"}));
    QCOMPARE(form->cbSearch->currentText(), QStringLiteral("办公桌"));
    QCOMPARE(ColumnOrder(form->grid), DesignedTitles);
    // 20 digits of the window font at 15 pixels (10 pixels each with the fonts the set-up installs) and
    // 4 pixels of margin.
    QCOMPARE(form->grid->font(), TCommForm::WindowFont());
    QCOMPARE(form->grid->fontMetrics().horizontalAdvance(QLatin1Char('0')), 10);
    for (int column = 0; column < 11; ++column) {
        QCOMPARE(form->grid->horizontalHeader()->sectionSize(column), 204);
    }
    QCOMPARE(form->grid->model()->rowCount(), 0);
    fixture.Stop();
    QFile file(IniPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains(CodePage::FromUnicode(QStringLiteral("search=办公桌#13"))));
    QVERIFY(bytes.contains("grid.title=0,"));
    QVERIFY(bytes.contains("(Default)="));
}

void TestSettings::storedPageCount_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("zero") << 0 << 1;
    QTest::newRow("500") << 500 << 100;
    QTest::newRow("in range") << 42 << 42;
}

void TestSettings::storedPageCount()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    QDir().mkpath(DataDir);
    QVERIFY(TProfileFile(IniPath).WriteInteger("Param", "PageNum", stored));
    TMainFormFixture fixture;
    QCOMPARE(fixture.Start()->edPageNum->value(), shown);
}

void TestSettings::keywordHistoryAtClose_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("history");
    QTest::newRow("new keyword first") << "书架" << QStringList({"书架", "Desk", "办公桌"});
    QTest::newRow("known in other case stays") << "DESK" << QStringList({"Desk", "办公桌"});
}

void TestSettings::keywordHistoryAtClose()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, history);
    QDir().mkpath(DataDir);
    QVERIFY(TProfileFile(IniPath).WriteString("Param", "search", "Desk#13办公桌#13"));
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    form->cbSearch->setEditText(typed);
    form = fixture.Restart();
    QCOMPARE(Items(form->cbSearch), history);
}

void TestSettings::keywordWithSeparatorComesBackAsTwo()
{
    TMainFormFixture fixture;
    fixture.Start()->cbSearch->setEditText("a#13b");
    TMainForm* form = fixture.Restart();
    QCOMPARE(Items(form->cbSearch), QStringList({"a", "b", "办公桌"}));
    QCOMPARE(form->cbSearch->currentText(), QStringLiteral("a"));
}

void TestSettings::longHistoryIsCut()
{
    QStringList items;
    for (int i = 0; i < 300; ++i) {
        items.append(QStringLiteral("键%1").arg(i, 3, 10, QLatin1Char('0'))); // 5 bytes + "#13"
    }
    QDir().mkpath(DataDir);
    QVERIFY(TProfileFile(IniPath).WriteString("Param", "search", items.join("#13") + "#13"));
    TMainFormFixture fixture;
    const QStringList loaded = Items(fixture.Start()->cbSearch);
    QCOMPARE(loaded.size(), 256); // 2047 bytes: 255 whole items of 8 bytes, then 7 bytes
    QCOMPARE(loaded.first(), items.first());
    QCOMPARE(loaded[254], items[254]);
    QCOMPARE(loaded.last(), QStringLiteral("键255#1"));
}

// A history longer than one read of the file loses its oldest entries at the save, never part of one.
void TestSettings::savedHistoryDropsOldestEntriesWhole()
{
    QStringList items; // newest first, as the box keeps them
    for (int i = 0; i < 300; ++i) {
        items.append(QStringLiteral("键%1").arg(i, 3, 10, QLatin1Char('0'))); // 5 bytes + "#13"
    }
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    form->cbSearch->clear();
    form->cbSearch->addItems(items);
    form->cbSearch->setCurrentIndex(0);
    fixture.Stop();
    const QByteArray saved = CodePage::FromUnicode(TProfileFile(IniPath).ReadString("Param", "search", {}));
    QCOMPARE(saved.size(), 255 * 8);
    QVERIFY(saved.endsWith("#13"));
    TMainFormFixture again;
    QCOMPARE(Items(again.Start()->cbSearch), items.mid(0, 255));
}

void TestSettings::columnLayoutSurvivesRestart()
{
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    QHeaderView* header = form->grid->horizontalHeader();
    header->moveSection(2, 0);
    header->resizeSection(header->logicalIndex(0), 321);
    const QStringList order = ColumnOrder(form->grid);
    QCOMPARE(order.first(), QStringLiteral("详细"));
    form = fixture.Restart();
    QCOMPARE(ColumnOrder(form->grid), order);
    QCOMPARE(form->grid->horizontalHeader()->sectionSize(form->grid->horizontalHeader()->logicalIndex(0)), 321);
}

void TestSettings::columnPositionRules_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("order");
    // Both price columns ask for position 0: only the first of them moves there; columns without a key
    // take part with their current position.
    QTest::newRow("same position twice") << "grid.title=1,80\r\ngrid.view_price=0,80\r\ngrid.view_fee=0,80\r\n"
                                         << QStringList({"价格", "标题", "详细", "图片", "运费", "原价", "地点",
                                                         "淘宝号", "旺旺昵称", "店铺", "评价数"});
    QTest::newRow("out of range") << "grid.title=40,80\r\n" << DesignedTitles;
    QTest::newRow("not a number") << "grid.title=x,80\r\n" << DesignedTitles;
}

void TestSettings::columnPositionRules()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, order);
    QDir().mkpath(DataDir);
    QFile file(IniPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[grid]\r\n" + stored.toUtf8());
    file.close();
    TMainFormFixture fixture;
    QCOMPARE(ColumnOrder(fixture.Start()->grid), order);
}

// A request to close from outside (a termination signal) while a dialog is open over the window: the dialog is
// dismissed as Esc would dismiss it, its caller goes on, and then the window closes with its settings saved.
void TestSettings::closeRequestDismissesAnOpenDialog()
{
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    form->edPageNum->setValue(42);
    QDialog dialog(form);
    dialog.setModal(true);
    QTimer::singleShot(0, form, [form]() { form->CloseOnRequest(); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(form->isVisible()); // not under the dialog's caller
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(!fixture.Dm()->conn()->IsOpen());
    QCOMPARE(TProfileFile(IniPath).ReadInteger("Param", "PageNum", 0), 42);
}

void TestSettings::failedWriteIsReportedAndWindowCloses()
{
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    QVERIFY(QDir().mkpath(IniPath)); // a folder where the file should be: no write can succeed
    fixture.ClearBoxes();
    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QCOMPARE(fixture.Boxes().size(), 1);
    QCOMPARE(fixture.Boxes().first().section(QLatin1Char('|'), 1), NotSaved(EISDIR));
    QVERIFY(fixture.Boxes().first().contains(QStringLiteral("请移走这个文件夹")));
    fixture.Stop();
    QVERIFY(QDir().rmdir(IniPath));
}

void TestSettings::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("fullDisk"); // a full file system, else a file size limit of the process
    QTest::newRow("full disk") << true;
    QTest::newRow("file size limit") << false;
}

void TestSettings::failedSaveKeepsTheOldFile()
{
    QFETCH(bool, fullDisk);
    if (fullDisk && !PrivateMounts) {
        QSKIP("needs a mount namespace of its own (root)");
    }
    QVERIFY(QDir().mkpath(DataDir));
    if (fullDisk) {
        QVERIFY(mount("tmpfs", QFile::encodeName(DataDir).constData(), "tmpfs", 0, "size=512k") == 0);
    }
    const auto unmount = qScopeGuard([fullDisk]() {
        if (fullDisk) {
            umount2(QFile::encodeName(DataDir).constData(), MNT_DETACH);
        }
    });
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    form->cbSearch->setEditText(QStringLiteral("书架"));
    form->edPageNum->setValue(42);
    form = fixture.Restart();
    const QByteArray saved = ReadFileBytes(IniPath);
    QVERIFY(saved.contains("PageNum=42"));
    form->cbSearch->setEditText(QStringLiteral("台灯"));
    form->edPageNum->setValue(7);
    form->grid->horizontalHeader()->moveSection(3, 0);
    fixture.ClearBoxes();
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    if (fullDisk) {
        FillDisk(DataDir + QStringLiteral("filler"));
    } else {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    fixture.Stop();
    setrlimit(RLIMIT_FSIZE, &old);
    QFile::remove(DataDir + QStringLiteral("filler"));
    QCOMPARE(fixture.Boxes().size(), 1);
    QCOMPARE(fixture.Boxes().first().section(QLatin1Char('|'), 1), NotSaved(fullDisk ? ENOSPC : EFBIG));
    QCOMPARE(ReadFileBytes(IniPath), saved);
    QCOMPARE(SettingsFiles(), QStringList{QStringLiteral("gleanbox.ini")}); // no temporary file is left
}

void TestSettings::damagedDatabaseStopsTheInitialisation()
{
    QDir().mkpath(DataDir);
    QVERIFY(TProfileFile(IniPath).WriteInteger("Param", "PageNum", 42));
    QFile file(DbPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    TMainFormFixture fixture;
    TMainForm* form = fixture.Start();
    QCOMPARE(form->windowTitle(), TMainForm::ProductCaption());
    QCOMPARE(fixture.Boxes().size(), 1);
    QVERIFY2(fixture.Boxes().first().contains("file is not a database"), qPrintable(fixture.Boxes().first()));
    QCOMPARE(form->edPageNum->value(), 3); // the settings were not loaded
    const QByteArray planted = ReadFileBytes(IniPath);
    fixture.Stop();
    QCOMPARE(ReadFileBytes(IniPath), planted); // and so they are not saved over the file
}

int main(int argc, char** argv)
{
    PrivateMounts = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestSettings test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestSettings.moc"

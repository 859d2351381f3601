#include "app/uStartup.h"
#include "storage/engine/TRowSet.h"
#include "tests/app/TMainFormFixture.h"
#include "tests/support/TFakeMarketplace.h"
#include "ui/TApplication.h"
#include "ui/TNoticeEvent.h"
#include "ui/uDelayFunc.h"
#include "ui/uPubFunc.h"
#include "ui/uWebForm.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

namespace {
// What the viewers that opened looked like; each is closed once it has been checked.
struct TViewerLog
{
    QList<TWebForm*> forms;
    QStringList captions;
    QList<QUrl> urls;
    bool modal = true;
    bool followsResize = true;
    QRect openedAt;
    Qt::WindowFlags flags;
    QString noticeBoxes;
    TFakeMarketplace* server = nullptr;
    int requestsSeen = 0;
};
TViewerLog Log;
TMainFormFixture* MainFixture = nullptr;

void CheckAndClose(TWebForm* form)
{
    Log.forms.append(form);
    Log.captions.append(form->windowTitle());
    QTest::qWaitFor([form]() { return !form->WebBrowser1->url().isEmpty(); }, 15000);
    Log.urls.append(form->WebBrowser1->url());
    Log.openedAt = QRect(form->pos(), form->size());
    Log.flags = form->windowFlags();
    // A notice sent to the viewer is shown while it is open, as by any window.
    TNoticeEvent notice(TPubFunc::NoticeWarning, TPubFunc::NoticeBuffer(QStringLiteral("查看器")));
    QCoreApplication::sendEvent(form, &notice);
    Log.noticeBoxes = MainFixture != nullptr ? MainFixture->Boxes().join(";") : QString();
    Log.modal = Log.modal && form->windowModality() == Qt::ApplicationModal && form->isVisible();
    form->resize(500, 300);
    Log.followsResize = Log.followsResize && form->WebBrowser1->geometry() == form->rect();
    if (Log.server != nullptr) {
        QTest::qWaitFor([]() { return !Log.server->Requests().isEmpty(); }, 15000);
        Log.requestsSeen = static_cast<int>(Log.server->Requests().size());
    }
    form->close();
}
} // namespace

class TestWebForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void linkCellOpensViewer();
    void clickOpensViewerOnlyForSchemelessLinks_data();
    void clickOpensViewerOnlyForSchemelessLinks();
    void clickInEmptyGridOpensNothing();
    void secondClickOpensNewWindow();
    void toolWindowAtItsPlace();
    void addressThatDoesNotParseShowsTheError();
    void timersFireWhileTheViewerIsOpen();

private:
    void AddRow(const QString& title, const QString& picUrl);
    void ClickCell(int row, const QString& field);

    TFakeMarketplace m_server;
    TMainFormFixture* m_fixture = nullptr;
    TMainForm* m_form = nullptr;
};

void TestWebForm::init()
{
    Log = TViewerLog();
    TWebForm::SetOpenHook(CheckAndClose);
    m_fixture = new TMainFormFixture;
    MainFixture = m_fixture;
    m_form = m_fixture->Start();
}

void TestWebForm::cleanup()
{
    delete m_fixture;
    MainFixture = nullptr;
    TWebForm::SetOpenHook(nullptr);
}

void TestWebForm::AddRow(const QString& title, const QString& picUrl)
{
    TRowSet* rows = m_fixture->Dm()->qrGoodsList();
    QString error;
    QVERIFY2(rows->Append(&error), qPrintable(error));
    rows->SetValue(rows->FieldIndex("title"), title);
    rows->SetValue(rows->FieldIndex("pic_url"), picUrl);
    rows->Post();
}

void TestWebForm::ClickCell(int row, const QString& field)
{
    QTableView* grid = m_form->grid;
    int column = -1;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->model()->headerData(c, Qt::Horizontal, Qt::UserRole + 2).toString() == field) {
            column = c;
        }
    }
    const QModelIndex index = grid->model()->index(row, column);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

void TestWebForm::linkCellOpensViewer()
{
    QVERIFY(m_server.Start());
    Log.server = &m_server;
    AddRow("t", "//" + m_server.Host() + "/item/42");
    ClickCell(0, "pic_url");
    QCOMPARE(Log.forms.size(), 1);
    QCOMPARE(Log.captions.first(), QStringLiteral("打开"));
    QCOMPARE(Log.urls.first(), QUrl("http://" + m_server.Host() + "/item/42"));
    QVERIFY(Log.modal);
    QVERIFY(Log.followsResize);
    QVERIFY(Log.requestsSeen >= 1);
    QCOMPARE(TFakeMarketplace::Target(m_server.Requests().first()), QByteArray("/item/42"));
}

void TestWebForm::clickOpensViewerOnlyForSchemelessLinks_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("picUrl");
    QTest::addColumn<int>("opened");
    QTest::newRow("link with scheme") << "pic_url"
                                      << "t"
                                      << "http://127.0.0.1:1/x" << 0;
    QTest::newRow("plain text") << "title"
                                << "desk"
                                << "//127.0.0.1:1/x" << 0;
    QTest::newRow("plain column holding a link") << "title"
                                                 << "//127.0.0.1:1/t"
                                                 << "" << 1;
}

void TestWebForm::clickOpensViewerOnlyForSchemelessLinks()
{
    QFETCH(QString, field);
    QFETCH(QString, title);
    QFETCH(QString, picUrl);
    QFETCH(int, opened);
    AddRow(title, picUrl);
    ClickCell(0, field);
    QCOMPARE(Log.forms.size(), opened);
}

// A click where a link cell stood before the grid was emptied opens nothing.
void TestWebForm::clickInEmptyGridOpensNothing()
{
    AddRow("//127.0.0.1:1/t", "");
    QTableView* grid = m_form->grid;
    const QPoint where = grid->visualRect(grid->model()->index(0, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, where);
    QCOMPARE(Log.forms.size(), 1); // the cell was there and opened the viewer
    QString error;
    QVERIFY2(m_fixture->Dm()->OpenGoodsQuery(&error), qPrintable(error));
    QCOMPARE(grid->model()->rowCount(), 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, where);
    QCOMPARE(Log.forms.size(), 1);
}

void TestWebForm::secondClickOpensNewWindow()
{
    AddRow("t", "//127.0.0.1:1/a");
    ClickCell(0, "pic_url");
    QVERIFY(m_form->isVisible());
    ClickCell(0, "pic_url");
    QCOMPARE(Log.forms.size(), 2);
    QCOMPARE(Log.urls, QList<QUrl>({QUrl("http://127.0.0.1:1/a"), QUrl("http://127.0.0.1:1/a")}));
}

// A tool window with a close button only, at its design place and size; a notice sent to it is shown.
void TestWebForm::toolWindowAtItsPlace()
{
    AddRow("t", "//127.0.0.1:1/a");
    m_fixture->ClearBoxes();
    ClickCell(0, "pic_url");
    QCOMPARE(Log.forms.size(), 1);
    QCOMPARE(Log.flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(Log.flags & Qt::WindowTitleHint);
    QVERIFY(Log.flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(Log.flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(Log.openedAt, QRect(192, 132, 870, 500));
    QCOMPARE(Log.noticeBoxes, QStringLiteral("警告|查看器"));
}

// The address is checked before the viewer shows: one that does not parse opens no window and its reason
// reaches the user.
void TestWebForm::addressThatDoesNotParseShowsTheError()
{
    AddRow("t", "//[::1/bad");
    m_fixture->ClearBoxes();
    ClickCell(0, "pic_url");
    QVERIFY(Log.forms.isEmpty());
    QCOMPARE(m_fixture->Boxes().size(), 1);
    QVERIFY2(m_fixture->Boxes().first().contains("http://[::1/bad"), qPrintable(m_fixture->Boxes().first()));

    TWebForm viewer;
    QString error;
    QVERIFY(!viewer.ShowPage("http://exa mple.com/", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!viewer.isVisible());
}

// The viewer's loop dispatches the scheduler's timers: a deferred call closes the viewer.
void TestWebForm::timersFireWhileTheViewerIsOpen()
{
    TWebForm::SetOpenHook(nullptr);
    bool closedByTimer = false;
    DelayCall(QString(), true, 200, 0.05, [&closedByTimer](const QString&) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TWebForm*>(widget) != nullptr && widget->isVisible() && !closedByTimer) {
                closedByTimer = true;
                widget->close();
            }
        }
    });
    bool fallback = false;
    TWebForm viewer;
    QTimer::singleShot(20000, &viewer, [&]() {
        fallback = true;
        viewer.close();
    });
    QString error;
    QVERIFY(viewer.ShowPage("http://127.0.0.1:1/x", &error));
    QVERIFY(closedByTimer);
    QVERIFY(!fallback);
}

int main(int argc, char** argv)
{
    TApplication::PrepareProcess();
    TApplication app(argc, argv);
    InitModules();
    TestWebForm test;
    const int result = QTest::qExec(&test, argc, argv);
    DoneModules();
    return result;
}

#include "TestWebForm.moc"

#include "tests/app/TMarketDays.h"

#include "storage/uConst.h"
#include "tests/app/TSearchPages.h"
#include "tests/support/TestDatabase.h"
#include "ui/TNumberEdit.h"

#include <QComboBox>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {
QList<TSearchPages::TListing> Day(int day)
{
    if (day == 0) {
        return {{1, QStringLiteral("一号 碎花连衣裙 夏季"), QStringLiteral("100.00"), 12},
                {2, QStringLiteral("二号 雪纺连衣裙"), QStringLiteral("50.00"), 30},
                {3, QStringLiteral("三号 针织连衣裙"), QStringLiteral("30.00"), 4},
                {-900, QStringLiteral("无编号 长款连衣裙"), QStringLiteral("60.00"), 0,
                 QStringLiteral("//item.example/item.htm?id=900")}};
    }
    return {{1, QStringLiteral("一号 碎花连衣裙 夏季"), QStringLiteral("85.00"), 15},
            {2, QStringLiteral("二号 雪纺连衣裙"), QStringLiteral("55.00"), 31},
            {5, QStringLiteral("五号 复古连衣裙"), QStringLiteral("9.90"), 0},
            {-900, QStringLiteral("无编号 长款连衣裙"), QStringLiteral("60.00"), 1,
             QStringLiteral("//detail.example/item.htm?id=900&spm=1")}};
}
} // namespace

TMarketDays::TMarketDays(bool bodyFraming)
    : m_body(bodyFraming)
{
}

TMarketDays::~TMarketDays()
{
    m_fixture.reset();
    m_server.reset();
}

const QString& TMarketDays::Keyword()
{
    static const QString keyword = QStringLiteral("连衣裙");
    return keyword;
}

bool TMarketDays::Start()
{
    TMainFormFixture::RemoveDataFiles();
    m_server = std::make_unique<TFakeMarketplace>();
    if (!m_server->Start()) {
        return false;
    }
    m_fixture = std::make_unique<TMainFormFixture>();
    return m_fixture->Start(TMainFormFixture::LocalRun(m_server->Host())) != nullptr;
}

qint64 TMarketDays::Collect(int pages)
{
    TMainForm* form = Form();
    form->cbSearch->setEditText(Keyword());
    form->edPageNum->setValue(pages);
    QTest::mouseClick(form->RzBitBtn1, Qt::LeftButton);
    if (!QTest::qWaitFor([form]() { return !form->IsRunning(); }, 20000)) {
        return 0;
    }
    return QueryDatabaseFile(DbPath, QStringLiteral("SELECT max(id) FROM collectrun")).toLongLong();
}

qint64 TMarketDays::RunDay(int day)
{
    const qint64 run = RunListings(Day(day));
    return run != 0 && (day != 0 || MoveBackADay(run)) ? run : 0;
}

qint64 TMarketDays::RunListings(const QList<TSearchPages::TListing>& listings)
{
    m_server->ServePage(TSearchPages::Target(Keyword(), 0), TSearchPages::PageOf(listings, m_body));
    const qint64 run = Collect(1);
    const QString outcome
        = QueryDatabaseFile(DbPath, QStringLiteral("SELECT outcome FROM collectrun WHERE id = %1").arg(run)).toString();
    if (outcome != QLatin1String("complete")) {
        qWarning("%s", qPrintable(Form()->RzMemo2->toPlainText())); // the run's log says why
    }
    return outcome == QLatin1String("complete") ? run : 0;
}

qint64 TMarketDays::RunPartial()
{
    m_server->ServePage(TSearchPages::Target(Keyword(), 0), TSearchPages::PageOf(Day(1), m_body));
    return Collect(2); // the second page is not there
}

// The run's rows and record, a day earlier.
bool TMarketDays::MoveBackADay(qint64 run)
{
    const QString back = QStringLiteral("strftime('%Y-%m-%dT%H:%M:%S', substr(%1, 1, 19), '-1 day') || substr(%1, 20)");
    QString error;
    const bool moved
        = RunOnConnection(Fixture()->Dm()->conn(),
                          {QStringLiteral("UPDATE goodslist SET collect_time = %1 WHERE run_id = %2")
                               .arg(back.arg("collect_time"))
                               .arg(run),
                           QStringLiteral("UPDATE collectrun SET started = %1, finished = %2 WHERE id = %3")
                               .arg(back.arg("started"), back.arg("finished"))
                               .arg(run)},
                          &error);
    if (!moved) {
        qWarning("%s", qPrintable(error));
    }
    return moved;
}

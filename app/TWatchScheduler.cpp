#include "app/TWatchScheduler.h"

#include "storage/TWatchList.h"

#include <QCoreApplication>
#include <QSysInfo>

TWatchScheduler::TWatchScheduler(TConnection* connection, std::function<bool()> idle,
                                 std::function<qint64(const TWatch&)> run, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_idle(std::move(idle))
    , m_run(std::move(run))
{
    m_timer.setInterval(CheckMs);
    connect(&m_timer, &QTimer::timeout, this, &TWatchScheduler::Check);
}

void TWatchScheduler::Start()
{
    m_timer.start();
    QTimer::singleShot(0, this, &TWatchScheduler::Check);
}

void TWatchScheduler::Stop()
{
    m_timer.stop();
}

QString TWatchScheduler::Owner() const
{
    return QStringLiteral("window:%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
}

QString TWatchScheduler::NextDueText(const QDateTime& next)
{
    if (!next.isValid()) {
        return QString();
    }
    const QDateTime shown = qMax(next, QDateTime::currentDateTime());
    return QStringLiteral("下次监控 ") + shown.toString(QStringLiteral("HH:mm"));
}

void TWatchScheduler::ShowNextDue()
{
    QString error;
    emit NextDueChanged(NextDueText(TWatchList(m_connection).NextDue(&error)));
}

void TWatchScheduler::Check()
{
    if (m_running || !m_timer.isActive() || !m_idle()) {
        ShowNextDue();
        return;
    }
    std::vector<TWatch> due;
    QString error;
    if (TWatchList(m_connection).Due(QDateTime::currentDateTime(), &due, &error)) {
        for (const TWatch& watch : due) {
            if (RunClaimed(watch, &error)) {
                break; // one run at a time; the next check takes the next due watch
            }
        }
    }
    ShowNextDue();
}

bool TWatchScheduler::RunNow(qint64 id, QString* error)
{
    TWatch watch;
    if (!TWatchList(m_connection).Find(id, &watch, error)) {
        return false;
    }
    if (m_running || !m_idle()) {
        *error = QStringLiteral("正在采集，请等这次采集结束后再运行监控。");
        return false;
    }
    if (!RunClaimed(watch, error)) {
        if (error->isEmpty()) {
            *error = QStringLiteral("监控“%1”正由另一个程序运行。").arg(watch.Keyword);
        }
        return false;
    }
    ShowNextDue();
    return true;
}

// Runs a watch that this program could claim; false (without an error) when another program holds it.
bool TWatchScheduler::RunClaimed(const TWatch& watch, QString* error)
{
    TWatchList list(m_connection);
    const QString owner = Owner();
    const QDateTime until = QDateTime::currentDateTime().addSecs(static_cast<qint64>(watch.Pages) * 62 + 300);
    if (!list.Claim(watch.Id, owner, until, error)) {
        return false;
    }
    m_running = true;
    const qint64 runId = m_run(watch);
    m_running = false;
    QString ignored; // a file closed meanwhile lets the claim run out by itself
    list.Release(watch.Id, owner, runId, &ignored);
    emit WatchRan(watch.Id);
    return true;
}

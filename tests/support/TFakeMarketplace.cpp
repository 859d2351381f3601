#include "tests/support/TFakeMarketplace.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sys/socket.h>

namespace {
constexpr int PollMs = 20;
constexpr int RequestWaitMs = 5000;
} // namespace

TFakeMarketplace::TFakeMarketplace() = default;

TFakeMarketplace::~TFakeMarketplace()
{
    m_stop = true;
    if (m_thread)
        m_thread->wait();
}

bool TFakeMarketplace::Start()
{
    QSemaphore ready;
    bool listening = false;
    m_thread.reset(QThread::create([this, &ready, &listening] {
        QTcpServer server;
        const bool bound = server.listen(QHostAddress::LocalHost, 0);
        m_port = server.serverPort();
        listening = bound;
        ready.release(); // the references to Start's locals are not used after this
        while (bound && !m_stop) {
            if (!server.waitForNewConnection(PollMs))
                continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            Serve(*socket);
        }
    }));
    m_thread->start();
    ready.acquire();
    return listening;
}

QString TFakeMarketplace::Host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString TFakeMarketplace::Url(const QString& target) const
{
    return QStringLiteral("http://") + Host() + target;
}

void TFakeMarketplace::Enqueue(const TResponseScript& script)
{
    QMutexLocker lock(&m_mutex);
    m_queue.append(script);
}

void TFakeMarketplace::SetHandler(const Handler& handler)
{
    QMutexLocker lock(&m_mutex);
    m_handler = handler;
}

void TFakeMarketplace::ServePage(const QByteArray& target, const QByteArray& body)
{
    QMutexLocker lock(&m_mutex);
    m_pages.insert(target, body);
}

QList<QByteArray> TFakeMarketplace::Requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QByteArray TFakeMarketplace::Target(const QByteArray& request)
{
    const QByteArray firstLine = request.left(request.indexOf("\r\n"));
    const qsizetype start = firstLine.indexOf(' ') + 1;
    const qsizetype end = firstLine.lastIndexOf(' ');
    return start > 0 && end > start ? firstLine.mid(start, end - start) : QByteArray();
}

void TFakeMarketplace::Serve(QTcpSocket& socket)
{
    const QByteArray request = ReadRequest(socket);
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
    }
    Play(socket, ScriptFor(request));
}

// Reads up to the empty line that ends a request head, or whatever came before the client closed.
QByteArray TFakeMarketplace::ReadRequest(QTcpSocket& socket)
{
    QByteArray request;
    const QDeadlineTimer deadline(RequestWaitMs);
    while (!request.contains("\r\n\r\n") && !deadline.hasExpired() && !m_stop) {
        if (socket.waitForReadyRead(PollMs))
            request += socket.readAll();
        else if (socket.state() != QAbstractSocket::ConnectedState)
            break;
    }
    return request + socket.readAll();
}

TResponseScript TFakeMarketplace::ScriptFor(const QByteArray& request)
{
    Handler handler;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_queue.isEmpty())
            return m_queue.takeFirst();
        handler = m_handler;
        const auto page = m_pages.constFind(Target(request));
        if (!handler && page != m_pages.constEnd())
            return TResponseScript::WithLength(200, *page, {"Content-Type: text/html; charset=utf-8"});
    }
    // The handler runs unlocked, so it may look at the recorded requests.
    if (handler)
        return handler(request);
    return TResponseScript::WithLength(404, "<html><body>not found</body></html>");
}

void TFakeMarketplace::Play(QTcpSocket& socket, const TResponseScript& script)
{
    for (const TResponseScript::Step& step : script.Steps()) {
        switch (step.kind) {
        case TResponseScript::Step::Kind::Send:
            Write(socket, step.bytes);
            break;
        case TResponseScript::Step::Kind::Pause:
            Sleep(step.ms);
            break;
        case TResponseScript::Step::Kind::Stall:
            WaitForClientClose(socket);
            return;
        case TResponseScript::Step::Kind::Reset:
            ResetConnection(socket);
            return;
        }
    }
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(RequestWaitMs);
}

void TFakeMarketplace::Write(QTcpSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.state() == QAbstractSocket::ConnectedState && !m_stop)
        socket.waitForBytesWritten(PollMs);
}

void TFakeMarketplace::Sleep(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && !m_stop)
        QThread::msleep(qMin<qint64>(PollMs, qMax<qint64>(1, deadline.remainingTime())));
}

void TFakeMarketplace::WaitForClientClose(QTcpSocket& socket)
{
    while (socket.state() == QAbstractSocket::ConnectedState && !m_stop) {
        if (socket.waitForReadyRead(PollMs))
            socket.readAll();
    }
}

// Closing with a zero linger time makes the system send a reset rather than the orderly end of the stream.
void TFakeMarketplace::ResetConnection(QTcpSocket& socket)
{
    QThread::msleep(PollMs); // let the bytes already written reach the client first
    const linger abortive{1, 0};
    ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    socket.abort();
}

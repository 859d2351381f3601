#pragma once

#include "tests/support/TResponseScript.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QTcpSocket;
class QThread;

// A fake marketplace: an HTTP server on 127.0.0.1 with a free port, serving one connection at a time on its own
// thread, so a blocking client on the test thread can talk to it. It records the raw bytes of every request and
// answers from, in this order, the queue of scripts, the handler, the pages served by target, or a 404.
class TFakeMarketplace
{
public:
    using Handler = std::function<TResponseScript(const QByteArray& request)>;

    TFakeMarketplace();
    ~TFakeMarketplace();
    TFakeMarketplace(const TFakeMarketplace&) = delete;
    TFakeMarketplace& operator=(const TFakeMarketplace&) = delete;

    // Starts listening; false when no port could be bound.
    bool Start();
    quint16 Port() const { return m_port; }
    // "127.0.0.1:PORT", the host part of a URL.
    QString Host() const;
    // "http://127.0.0.1:PORT" followed by the target.
    QString Url(const QString& target) const;

    // The next connections are answered by these scripts, one each, in order.
    void Enqueue(const TResponseScript& script);
    void SetHandler(const Handler& handler);
    // Answers a request for exactly this target (raw bytes, as in the request line) with a 200 page.
    void ServePage(const QByteArray& target, const QByteArray& body);

    // The raw bytes of every request received so far, one entry for each connection.
    QList<QByteArray> Requests() const;
    // The request target of a recorded request: its first line between the method and the protocol version, blanks
    // included.
    static QByteArray Target(const QByteArray& request);

private:
    void Run();
    void Serve(QTcpSocket& socket);
    QByteArray ReadRequest(QTcpSocket& socket);
    TResponseScript ScriptFor(const QByteArray& request);
    void Play(QTcpSocket& socket, const TResponseScript& script);
    void Write(QTcpSocket& socket, const QByteArray& bytes);
    void Sleep(int ms);
    void WaitForClientClose(QTcpSocket& socket);
    void ResetConnection(QTcpSocket& socket);

    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stop = false;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QList<QByteArray> m_requests;
    QList<TResponseScript> m_queue;
    Handler m_handler;
    QHash<QByteArray, QByteArray> m_pages;
};

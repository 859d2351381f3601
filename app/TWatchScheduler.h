#pragma once

#include "storage/TWatch.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class TConnection;

// Runs the enabled watches in the main window while it is open: each watch whose interval has passed since its
// last run (or that never ran) runs as a collection run of the window, one at a time; a due watch waits for a run
// in progress. A watch another program is running (the collector from a timer) is left to it.
class TWatchScheduler : public QObject
{
    Q_OBJECT

public:
    // idle: whether the window can start a run now; run: runs a watch in the window and returns its run's id when it
    // ended (0: not recorded).
    TWatchScheduler(TConnection* connection, std::function<bool()> idle, std::function<qint64(const TWatch&)> run,
                    QObject* parent = nullptr);

    // Starts looking for due watches; once at once, then every CheckMs.
    void Start();
    void Stop();
    // Runs the first due watch when the window is idle; tells when the next one is due either way.
    void Check();
    // Runs one watch now, whether or not it is due; false with a message when it cannot run now.
    bool RunNow(qint64 id, QString* error);

    // What the status bar says: "下次监控 HH:MM", or empty when no watch is enabled.
    static QString NextDueText(const QDateTime& next);

    static constexpr int CheckMs = 30000;

signals:
    void NextDueChanged(const QString& text);
    // A watch's run has ended (the watch window shows it).
    void WatchRan(qint64 id);

private:
    bool RunClaimed(const TWatch& watch, QString* error);
    void ShowNextDue();
    QString Owner() const;

    TConnection* m_connection;
    std::function<bool()> m_idle;
    std::function<qint64(const TWatch&)> m_run;
    QTimer m_timer;
    bool m_running = false;
};

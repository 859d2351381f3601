#pragma once

#include <QLockFile>
#include <QString>

// The lock that every program using the database file takes while it shapes the file: makes a new one, makes anew
// an empty one (what a crash right after creating it leaves), adds what the schema lacks, or upgrades it. So no
// program removes or completes a file that another one is making: the other waits for the lock and then finds the
// file made. The lock is a file beside the database ("gleanbox.db.lock"). A lock whose program has ended (a crash,
// a kill) is taken over at once; one older than StaleMs is taken to be left behind too, whoever holds it.
class TDatabaseLock
{
public:
    // Far above the longest hold: making a file takes well under a second, an upgrade about 15 s per million rows.
    static constexpr int StaleMs = 5 * 60 * 1000;
    // A waiting program gives up only after the holder's lock would have been taken over.
    static constexpr int WaitMs = StaleMs + 10 * 1000;

    explicit TDatabaseLock(const QString& databasePath);
    TDatabaseLock(const TDatabaseLock&) = delete;
    TDatabaseLock& operator=(const TDatabaseLock&) = delete;

    // Waits up to waitMs for the lock. False with a message when another program held it all that time. A lock
    // file that cannot be made at all (a folder without write permission) is no failure: no program can make the
    // database file there either, so the caller goes on without the lock.
    bool Acquire(QString* error, int waitMs = WaitMs);
    bool Held() const { return m_lock.isLocked(); }

    static QString LockPath(const QString& databasePath);

private:
    QString m_databasePath;
    QLockFile m_lock;
};

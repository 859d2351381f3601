#include "storage/TDatabaseLock.h"

#include <QDir>
#include <QFile>

TDatabaseLock::TDatabaseLock(const QString& databasePath)
    : m_databasePath(databasePath)
    , m_lock(LockPath(databasePath))
{
    m_lock.setStaleLockTime(StaleMs);
}

QString TDatabaseLock::LockPath(const QString& databasePath)
{
    return databasePath + QStringLiteral(".lock");
}

bool TDatabaseLock::Acquire(QString* error, int waitMs)
{
    if (m_lock.tryLock(waitMs)) {
        // Only its owner reads it, like every file of the data folder.
        QFile::setPermissions(LockPath(m_databasePath), QFile::ReadOwner | QFile::WriteOwner);
        return true;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        return true;
    }
    *error = QStringLiteral("另一个程序正在创建或升级数据库文件 %1，等待 %2 秒后仍未完成。请稍后再试。")
                 .arg(QDir::toNativeSeparators(m_databasePath))
                 .arg(waitMs / 1000);
    return false;
}

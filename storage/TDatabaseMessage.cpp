#include "storage/TDatabaseMessage.h"

#include <QDir>
#include <QFileInfo>

namespace {
// A cause and its remedy, for the engine texts that hold the key. The cause names its subject with %1: "数据库" or
// "数据库文件 <path> ", the blank closing the path off from the Chinese text after it.
struct TExplanation
{
    const char* key;
    const char* cause;
    const char* remedy;
};

const char* const MoveAside
    = "请退出程序，把这个文件移到别处或改名（留作备份），再启动程序：程序会新建一个空的数据库。";

// Checked in this order: the first key found in the engine's text decides. The engine's own text for a path that
// holds no plain file comes first, as it quotes the path.
const TExplanation Explanations[] = {
    {"Could not find file", "%1不是一个普通的文件，无法作为数据库打开。", "请移走它或给它改名，再启动程序。"},
    {"file is not a database", "%1不是本程序的数据库，或者已经损坏。", MoveAside},
    {"database disk image is malformed", "%1已经损坏。", MoveAside},
    {"unable to open database file", "%1无法打开。", "请确认这个文件和它所在的文件夹都在，并且当前用户可以读写它们。"},
    {"is locked", "%1正被另一个程序占用。",
     "请稍候再试；如果一直如此，请关闭其他正在使用这个文件的程序（例如另一个 Mercatix 窗口）。"},
    {"database or disk is full", "%1所在的磁盘已满。", "请删除不需要的文件，腾出磁盘空间后再试。"},
    {"readonly database", "%1只能读，不能写。", "请检查这个文件和它所在文件夹的权限，以及磁盘是否以只读方式挂载。"},
    {"disk I/O error", "读写%1时磁盘出错。", "请检查磁盘和它的连接；如果问题一直存在，请先备份这个文件。"},
};

QString Compose(const QString& cause, const QString& remedy, const QString& detail)
{
    QString text = cause;
    if (!remedy.isEmpty()) {
        text += QLatin1Char('\n') + remedy;
    }
    if (!detail.isEmpty()) {
        text += QStringLiteral("\n\n详细信息：") + detail;
    }
    return text;
}
} // namespace

QString TDatabaseMessage::Text(const QString& engineError, const QString& path)
{
    const QString name = QDir::toNativeSeparators(path);
    if (!path.isEmpty() && QFileInfo(path).isDir()) {
        return Compose(QStringLiteral("数据库文件的位置 %1 上是一个文件夹，不是文件。").arg(name),
                       QStringLiteral("请移走这个文件夹或给它改名，再启动程序。"), engineError);
    }
    const QString subject = path.isEmpty() ? QStringLiteral("数据库") : QStringLiteral("数据库文件 %1 ").arg(name);
    if (!path.isEmpty() && !QFileInfo::exists(path)) {
        // Nothing is there: the file could not be made, or it went away.
        return Compose(QStringLiteral("%1不存在，也无法创建。").arg(subject),
                       QStringLiteral("请确认它所在的文件夹可以写入，并且磁盘没有满。"), engineError);
    }
    for (const TExplanation& explanation : Explanations) {
        if (engineError.contains(QLatin1String(explanation.key), Qt::CaseInsensitive)) {
            return Compose(QString::fromUtf8(explanation.cause).arg(subject), QString::fromUtf8(explanation.remedy),
                           engineError);
        }
    }
    return Compose(QStringLiteral("%1上的操作没有完成。").arg(subject), QString(), engineError);
}

#include "platform/TFileMessage.h"

#include "platform/TSystemError.h"

#include <QDir>

#include <cerrno>
#include <cstring>

namespace {
struct TRemedy
{
    int errnum;
    const char* text;
};

const TRemedy Remedies[] = {
    {ENOSPC, "请删除不需要的文件，腾出磁盘空间后再试。"},
    {EDQUOT, "请删除不需要的文件，或请管理员提高磁盘配额。"},
    {EACCES, "请检查这个文件和它所在文件夹的权限：当前用户需要能写入它们。"},
    {EPERM, "请检查这个文件和它所在文件夹的权限和属性（例如 chattr 设置的不可修改属性）。"},
    {EROFS, "请把这个磁盘重新挂载为可写。"},
    {EISDIR, "请移走这个文件夹或给它改名。"},
    {EFBIG, "请检查对文件大小的限制（ulimit -f）。"},
    {ENOENT, "请确认它所在的文件夹存在。"},
    {ENOTDIR, "请移走路径中的那个文件或给它改名。"},
    {EIO, "请检查磁盘和它的连接。"},
};
} // namespace

QString TFileMessage::NotWritten(const QString& path, int errnum)
{
    const QString name = QDir::toNativeSeparators(path);
    if (errnum == 0) {
        return QStringLiteral("无法写入文件 %1。").arg(name);
    }
    QString text = QStringLiteral("无法写入文件 %1：%2。").arg(name, TSystemError::Text(errnum));
    for (const TRemedy& remedy : Remedies) {
        if (remedy.errnum == errnum) {
            text += QLatin1Char('\n') + QString::fromUtf8(remedy.text);
        }
    }
    return text
        + QStringLiteral("\n\n详细信息：%1 (errno %2)").arg(QString::fromLocal8Bit(std::strerror(errnum))).arg(errnum);
}

#include "platform/TSystemError.h"

#include <cerrno>
#include <cstring>

namespace {
struct TReason
{
    int errnum;
    const char* text;
};

const TReason Reasons[] = {
    {ENOENT, "没有那个文件或文件夹"},
    {EACCES, "没有权限"},
    {EPERM, "不允许的操作"},
    {ENOSPC, "磁盘空间不足"},
    {EDQUOT, "超出磁盘配额"},
    {EFBIG, "文件过大"},
    {EROFS, "文件系统只读"},
    {EISDIR, "这是一个文件夹"},
    {ENOTDIR, "路径中有一项不是文件夹"},
    {EEXIST, "文件已存在"},
    {ENAMETOOLONG, "文件名过长"},
    {ELOOP, "符号链接层数过多"},
    {EIO, "读写错误"},
    {EMFILE, "打开的文件过多"},
    {ENFILE, "打开的文件过多"},
    {EBUSY, "设备或资源正忙"},
    {ETXTBSY, "文件正被使用"},
    {EXDEV, "不能跨文件系统移动"},
    {ENOTEMPTY, "文件夹不是空的"},
    {ENOMEM, "内存不足"},
    {EINVAL, "无效的参数"},
};
} // namespace

QString TSystemError::Text(int errnum)
{
    for (const TReason& reason : Reasons) {
        if (reason.errnum == errnum) {
            return QString::fromUtf8(reason.text);
        }
    }
    return QStringLiteral("系统错误 %1（%2）").arg(errnum).arg(QString::fromLocal8Bit(std::strerror(errnum)));
}

QString TSystemError::Last()
{
    return Text(errno);
}

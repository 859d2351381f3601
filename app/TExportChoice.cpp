#include "app/TExportChoice.h"

#include "app/TExportDialog.h"
#include "ui/TMessageBox.h"

#include <QDir>
#include <QFileInfo>

bool TExportChoice::Ask(TExportDialog& dialog, const QString& keyword, const QDateTime& now)
{
    dialog.Propose(Folder, keyword, Format, now);
    if (!dialog.Run() || !ReplaceAllowed(dialog.Path())) {
        return false;
    }
    Folder = QFileInfo(dialog.Path()).absolutePath();
    Format = dialog.Format();
    return true;
}

bool TExportChoice::ReplaceAllowed(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return TMessageBox::Ask(TMessageBox::Warning, QStringLiteral("导出"),
                            QStringLiteral("文件 %1 已存在。要替换它吗？").arg(QDir::toNativeSeparators(path)),
                            QStringLiteral("替换"), QStringLiteral("取消"));
}

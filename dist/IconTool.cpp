// Writes the program's icon into an icon theme folder, one file for every size the window draws:
//
//   IconTool FOLDER NAME    writes FOLDER/<N>x<N>/apps/NAME.png and FOLDER/scalable/apps/NAME.svg
#include "ui/TProgramIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cstdio>

namespace {
bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
        && file.commit();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER NAME\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const int size : TProgramIcon::ThemeSizes) {
        const QString path = QStringLiteral("%1/%2x%2/apps/%3.png").arg(folder).arg(size).arg(name);
        if (!QDir().mkpath(QFileInfo(path).path()) || !TProgramIcon::Render(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QString svgPath = QStringLiteral("%1/scalable/apps/%2.svg").arg(folder, name);
    if (!WriteFile(svgPath, TProgramIcon::Svg())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svgPath));
        return 1;
    }
    return 0;
}

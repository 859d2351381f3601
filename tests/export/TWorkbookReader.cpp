#include "tests/export/TWorkbookReader.h"

#include <QDateTime>
#include <QHash>
#include <QProcess>
#include <QXmlStreamReader>

namespace {
int ColumnOf(QStringView reference)
{
    int column = 0;
    for (const QChar c : reference) {
        if (!c.isLetter()) {
            break;
        }
        column = column * 26 + (c.unicode() - 'A' + 1);
    }
    return column - 1;
}

// The text of an <is> or <si> element: every <t> inside it.
QString TextOf(QXmlStreamReader& xml, QStringView element)
{
    QString text;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("t")) {
            text += xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == element) {
            break;
        }
    }
    return text;
}
} // namespace

QByteArray TWorkbookReader::Member(const QString& path, const QString& member, QString* error)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, member});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0) {
        *error = QStringLiteral("unzip %1 %2 failed: %3")
                     .arg(path, member, QString::fromLocal8Bit(unzip.readAllStandardError()));
        return QByteArray();
    }
    return unzip.readAllStandardOutput();
}

QStringList TWorkbookReader::SharedStrings(const QString& path)
{
    QString error;
    QXmlStreamReader xml(Member(path, QStringLiteral("xl/sharedStrings.xml"), &error));
    QStringList strings;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si")) {
            strings.append(TextOf(xml, u"si"));
        }
    }
    return strings;
}

// A style shows a date when its number format is one of the built-in date formats (14 to 22) or a format of the
// workbook's own whose code has a year in it.
QList<bool> TWorkbookReader::DateStyles(const QString& path)
{
    QString error;
    QXmlStreamReader xml(Member(path, QStringLiteral("xl/styles.xml"), &error));
    QHash<int, QString> codes;
    QList<bool> dates;
    bool cellStyles = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("numFmt")) {
            codes.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                         xml.attributes().value(QLatin1String("formatCode")).toString());
        } else if (xml.isStartElement() && xml.name() == QLatin1String("cellXfs")) {
            cellStyles = true;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            cellStyles = false;
        } else if (cellStyles && xml.isStartElement() && xml.name() == QLatin1String("xf")) {
            const int format = xml.attributes().value(QLatin1String("numFmtId")).toInt();
            dates.append((format >= 14 && format <= 22) || codes.value(format).contains(QLatin1String("yy")));
        }
    }
    return dates;
}

QStringList TWorkbookReader::SheetNames(const QString& path)
{
    QString error;
    QXmlStreamReader xml(Member(path, QStringLiteral("xl/workbook.xml"), &error));
    QStringList names;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sheet")) {
            names.append(xml.attributes().value(QLatin1String("name")).toString());
        }
    }
    return names;
}

bool TWorkbookReader::ReadSheet(const QString& path, int sheet, QList<QStringList>* rows, QString* error)
{
    const QByteArray bytes = Member(path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet), error);
    if (bytes.isEmpty()) {
        return false;
    }
    const QStringList shared = SharedStrings(path);
    const QList<bool> dateStyles = DateStyles(path);
    QXmlStreamReader xml(bytes);
    rows->clear();
    QStringList* row = nullptr;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        if (xml.name() == QLatin1String("row")) {
            rows->append(QStringList());
            row = &rows->last();
        } else if (xml.name() == QLatin1String("c") && row != nullptr) {
            const int column = ColumnOf(xml.attributes().value(QLatin1String("r")));
            const QString type = xml.attributes().value(QLatin1String("t")).toString();
            const bool date = dateStyles.value(xml.attributes().value(QLatin1String("s")).toInt(), false);
            QString cell;
            if (type == QLatin1String("inlineStr")) {
                cell = QStringLiteral("s:") + TextOf(xml, u"c");
            } else {
                xml.readNextStartElement(); // <v>
                const QString value = xml.readElementText();
                if (type == QLatin1String("s")) {
                    cell = QStringLiteral("s:") + shared.value(value.toInt());
                } else if (date) {
                    // Days since 1899-12-30, the day's time as a fraction.
                    const QDateTime time = QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC)
                                               .addMSecs(qRound64(value.toDouble() * 86400000.0));
                    cell = QStringLiteral("d:") + time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                } else {
                    cell = QStringLiteral("n:") + value;
                }
            }
            while (row->size() <= column) {
                row->append(QString());
            }
            (*row)[column] = cell;
        }
    }
    if (xml.hasError()) {
        *error = xml.errorString();
        return false;
    }
    return true;
}

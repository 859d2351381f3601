#include "storage/engine/TField.h"

TField::Type TField::TypeOfDeclared(const QString& declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT"))) {
        return Integer;
    }
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB"))
        || type.contains(QLatin1String("TEXT"))) {
        return Text;
    }
    if (type.isEmpty() || type.contains(QLatin1String("BLOB"))) {
        return type.isEmpty() ? Unknown : Blob;
    }
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA"))
        || type.contains(QLatin1String("DOUB"))) {
        return Float;
    }
    return Unknown;
}

int TField::SizeOfDeclared(const QString& declared)
{
    if (TypeOfDeclared(declared) != Text) {
        return 0;
    }
    const qsizetype open = declared.indexOf(QLatin1Char('('));
    const qsizetype close = declared.indexOf(QLatin1Char(')'), open + 1);
    if (open < 0 || close < 0) {
        return 0;
    }
    bool ok = false;
    const int size = declared.mid(open + 1, close - open - 1).trimmed().toInt(&ok);
    return ok && size > 0 ? size : 0;
}

#include "storage/engine/TConnectionString.h"

#include "platform/AsciiBlank.h"

namespace {

void SkipBlanks(const QString& text, qsizetype* pos)
{
    while (*pos < text.size() && IsBlank(text.at(*pos))) {
        ++*pos;
    }
}

// Trims blanks only: other control characters belong to the value (the password holds some).
QString TrimBlanks(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text.at(first))) {
        ++first;
    }
    while (last > first && IsBlank(text.at(last - 1))) {
        --last;
    }
    return text.mid(first, last - first).toString();
}
} // namespace

bool TConnectionString::Parse(const QString& text, QString* error)
{
    m_pairs.clear();
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (!ParsePair(text, &pos, error)) {
            m_pairs.clear();
            return false;
        }
    }
    return true;
}

bool TConnectionString::ParsePair(const QString& text, qsizetype* pos, QString* error)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='), *pos);
    const qsizetype semicolon = text.indexOf(QLatin1Char(';'), *pos);
    if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
        const QString rest = TrimBlanks(QStringView(text).mid(*pos, semicolon < 0 ? -1 : semicolon - *pos));
        if (rest.isEmpty()) {
            // An empty segment, such as the one after a final ";".
            *pos = semicolon < 0 ? text.size() : semicolon + 1;
            return true;
        }
        *error = QStringLiteral("The connection string is malformed.");
        return false;
    }
    const QString key = TrimBlanks(QStringView(text).mid(*pos, equals - *pos));
    *pos = equals + 1;
    SkipBlanks(text, pos);
    QString value;
    if (*pos < text.size() && (text.at(*pos) == QLatin1Char('"') || text.at(*pos) == QLatin1Char('\''))) {
        if (!ParseQuoted(text, pos, &value)) {
            *error = QStringLiteral("The connection string is malformed.");
            return false;
        }
    } else {
        const qsizetype end = text.indexOf(QLatin1Char(';'), *pos);
        value = TrimBlanks(QStringView(text).mid(*pos, end < 0 ? -1 : end - *pos));
        *pos = end < 0 ? text.size() : end + 1;
    }
    m_pairs.append({key, value});
    return true;
}

bool TConnectionString::ParseQuoted(const QString& text, qsizetype* pos, QString* value)
{
    const QChar quote = text.at(*pos);
    qsizetype i = *pos + 1;
    for (;;) {
        const qsizetype close = text.indexOf(quote, i);
        if (close < 0) {
            return false;
        }
        value->append(QStringView(text).mid(i, close - i));
        if (close + 1 < text.size() && text.at(close + 1) == quote) {
            value->append(quote);
            i = close + 2;
            continue;
        }
        i = close + 1;
        break;
    }
    SkipBlanks(text, &i);
    if (i < text.size() && text.at(i) != QLatin1Char(';')) {
        return false;
    }
    *pos = i < text.size() ? i + 1 : i;
    return true;
}

QString TConnectionString::Value(const QString& key) const
{
    for (qsizetype i = m_pairs.size() - 1; i >= 0; --i) {
        if (m_pairs.at(i).first.compare(key, Qt::CaseInsensitive) == 0) {
            return m_pairs.at(i).second;
        }
    }
    return QString();
}

QString TConnectionString::Quote(const QString& value)
{
    const bool plain = !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('"'))
        && !value.contains(QLatin1Char('\'')) && TrimBlanks(value) == value;
    if (plain) {
        return value;
    }
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

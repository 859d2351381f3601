#include "storage/engine/TJetDialect.h"

#include <QList>

#include <algorithm>

namespace {
struct TToken
{
    qsizetype pos = 0;
    qsizetype len = 0;
    bool word = false; // a bare word; otherwise a quoted name or a single punctuation character
};

struct TEdit
{
    qsizetype pos = 0;
    qsizetype len = 0;
    QString text;
};

bool IsWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

QChar ClosingQuote(QChar c)
{
    switch (c.unicode()) {
    case '\'':
    case '"':
    case '`':
        return c;
    case '[':
        return QLatin1Char(']');
    default:
        return QChar();
    }
}

qsizetype QuotedEnd(const QString& sql, qsizetype pos, QChar close)
{
    const qsizetype end = sql.indexOf(close, pos + 1);
    return end < 0 ? sql.size() : end + 1;
}

QList<TToken> Tokens(const QString& sql)
{
    QList<TToken> tokens;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (IsWordStart(c)) {
            qsizetype end = i + 1;
            while (end < sql.size() && IsWordChar(sql.at(end))) {
                ++end;
            }
            tokens.append({i, end - i, true});
            i = end;
        } else if (const QChar close = ClosingQuote(c); !close.isNull()) {
            const qsizetype end = QuotedEnd(sql, i, close);
            tokens.append({i, end - i, false});
            i = end;
        } else {
            tokens.append({i, 1, false});
            ++i;
        }
    }
    return tokens;
}

class TTranslator
{
public:
    explicit TTranslator(const QString& sql)
        : m_sql(sql)
        , m_tokens(Tokens(sql))
    {
    }

    bool IsTableDefinition() const
    {
        if (!Is(0, "create") && !Is(0, "alter")) {
            return false;
        }
        return Is(1, "table") || Is(2, "table");
    }

    QString Run()
    {
        for (qsizetype i = 0; i < m_tokens.size(); ++i) {
            if (!IsTypePosition(i)) {
                continue;
            }
            if (Is(i, "memo")) {
                m_edits.append({m_tokens.at(i).pos, m_tokens.at(i).len, QStringLiteral("TEXT")});
            } else if (Is(i, "counter")) {
                TranslateCounter(i);
            }
        }
        return Apply();
    }

private:
    bool Is(qsizetype i, const char* word) const
    {
        if (i < 0 || i >= m_tokens.size() || !m_tokens.at(i).word) {
            return false;
        }
        const TToken& t = m_tokens.at(i);
        return QStringView(m_sql).mid(t.pos, t.len).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    // A type name follows the column's name; a word right after "(", "," or a keyword that introduces
    // a column is itself a column name.
    bool IsTypePosition(qsizetype i) const
    {
        if (i == 0 || !m_tokens.at(i).word) {
            return false;
        }
        const TToken& previous = m_tokens.at(i - 1);
        if (!previous.word) {
            const QChar c = m_sql.at(previous.pos);
            return c != QLatin1Char('(') && c != QLatin1Char(',') && c != QLatin1Char('.') && previous.len > 1;
        }
        return !Is(i - 1, "add") && !Is(i - 1, "column") && !Is(i - 1, "table") && !Is(i - 1, "alter");
    }

    void TranslateCounter(qsizetype i)
    {
        const TToken& counter = m_tokens.at(i);
        m_edits.append({counter.pos, counter.len, QStringLiteral("INTEGER")});
        qsizetype j = i + 1;
        if (Is(j, "constraint")) {
            j += 2;
        }
        if (Is(j, "primary") && Is(j + 1, "key")) {
            const TToken& key = m_tokens.at(j + 1);
            m_edits.append({key.pos + key.len, 0, QStringLiteral(" AUTOINCREMENT")});
        } else {
            m_edits.append({counter.pos + counter.len, 0, QStringLiteral(" PRIMARY KEY AUTOINCREMENT")});
        }
    }

    QString Apply() const
    {
        QList<TEdit> edits = m_edits;
        std::stable_sort(edits.begin(), edits.end(), [](const TEdit& a, const TEdit& b) { return a.pos > b.pos; });
        QString result = m_sql;
        for (const TEdit& edit : edits) {
            result.replace(edit.pos, edit.len, edit.text);
        }
        return result;
    }

    const QString& m_sql;
    QList<TToken> m_tokens;
    QList<TEdit> m_edits;
};
} // namespace

QString TJetDialect::Translate(const QString& sql)
{
    TTranslator translator(sql);
    if (!translator.IsTableDefinition()) {
        return sql;
    }
    return translator.Run();
}

QString TJetDialect::QuoteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

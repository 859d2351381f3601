#pragma once

#include <QList>
#include <QPair>
#include <QString>

// A connection string of "key=value;" pairs. Keys are matched without regard to case; a value may be
// enclosed in double or single quotes, with the quote doubled inside, so that it can hold ";".
class TConnectionString
{
public:
    // Parses the text; false with a message when a pair has no "=" or a quote is not closed.
    bool Parse(const QString& text, QString* error);

    // The value of a key, or an empty text when the key is absent. The last occurrence wins.
    QString Value(const QString& key) const;

    // A value as it has to be written into a connection string: quoted when it holds ";", a quote,
    // or blanks at either end, unchanged otherwise.
    static QString Quote(const QString& value);

private:
    bool ParsePair(const QString& text, qsizetype* pos, QString* error);
    static bool ParseQuoted(const QString& text, qsizetype* pos, QString* value);

    QList<QPair<QString, QString>> m_pairs;
};

#pragma once

#include "library/TLibraryFilter.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

// The condition of a filter over the columns of goodslist. User texts only ever travel as values: bound
// to "?" placeholders, or written as quoted literals for a statement that takes no values.
class TLibrarySql
{
public:
    // A search of fewer characters cannot use the trigram index and scans with LIKE instead.
    static constexpr int MinIndexedSearch = 3;

    // What the file offers the query: the search index and the collection time column.
    struct TSchema
    {
        bool SearchIndex = false;
        bool CollectTime = false;
    };

    struct TCondition
    {
        QStringList Parts; // joined by AND; each holds one "?" per value, in order
        QVariantList Values;

        bool IsEmpty() const { return Parts.isEmpty(); }
        // " WHERE a AND b" (or " AND a AND b" after an existing WHERE); empty when there is no part.
        QString Sql(const char* lead = " WHERE ") const;
        // The same with every value written in as a literal.
        QString Literal(const char* lead = " WHERE ") const;
    };

    static TCondition Where(const TLibraryFilter& filter, const TSchema& schema);
    // The rows of one keyword. The empty keyword stands for the rows stored without one (empty or NULL).
    static TCondition OfKeyword(const QString& keyword);

    // A trigram phrase that matches the text as a substring, whatever characters it holds.
    static QString SearchPhrase(const QString& text);
    // A LIKE pattern (escape character "\") that matches the text as a substring.
    static QString ContainsPattern(const QString& text);
    // Characters as the tokenizer counts them: code points, not UTF-16 units.
    static int CharacterCount(const QString& text);
    static QString QuoteLiteral(const QVariant& value);
};

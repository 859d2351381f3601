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

    // What the file offers the query: the search index, the collection time column, the stored item key and the
    // summary of the listings kept by triggers (TItemSummary).
    struct TSchema
    {
        bool SearchIndex = false;
        bool CollectTime = false;
        bool ItemKey = false;
        bool ItemSummary = false;
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

    // The item key of a row: the stored column where the file has it, computed by the function item_key() for rows
    // that have none yet (keysMissing: a program of an earlier version stored some since the last start).
    static QString ItemKey(const TSchema& schema, bool keysMissing);
    // One text per seller: its user_id, or, for rows without one, its nickname (each marked, so that no nickname
    // meets a user_id).
    static QString SellerKey();

    // A trigram phrase that matches the text as a substring, whatever characters it holds.
    static QString SearchPhrase(const QString& text);
    // A LIKE pattern (escape character "\") that matches the text as a substring.
    static QString ContainsPattern(const QString& text);
    // Characters as the tokenizer counts them: code points, not UTF-16 units.
    static int CharacterCount(const QString& text);
    static QString QuoteLiteral(const QVariant& value);
};

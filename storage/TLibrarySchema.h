#pragma once

#include <QString>

#include <functional>

class TConnection;

// The schema step that makes the goods table searchable: the collection time column, the trigram
// full-text index over title, seller nickname and location kept in step with goodslist by triggers,
// and the indexes that keep sorts and keyword filters from scanning the table. The whole step is one
// transaction: it either completes with the version written or leaves the file as it was.
class TLibrarySchema
{
public:
    // Steps done and steps in all; called between steps and while a long statement runs.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    static const char* const Version; // the schema version the step writes
    static const char* const CollectTimeColumn;
    static const char* const SearchTable;
    static constexpr int IndexChunkRows = 20000;

    // False with the provider's message; the file is unchanged then. A file without goodslist is
    // left alone and reported as done.
    static bool Upgrade(TConnection* connection, const Progress& progress, QString* error);

    // Merges the search index a few pages at a time, calling between after each step, until it is about one
    // segment. A negative amount merges levels with two segments too, so that no half-full level is left whose
    // merging the next writes would pay for.
    static bool MergeSearchIndex(TConnection* connection, QString* error, const std::function<void()>& between = {});

    // The collection time of a row stored now: local time, ISO 8601 with the offset from UTC.
    static QString CollectTimeNow();

    static bool HasTable(TConnection* connection, const QString& table);

    // True when the index and its triggers stand; a goods table recreated after the step lacks them.
    static bool IsInPlace(TConnection* connection);
};

#pragma once

#include "storage/TRunRecord.h"

#include <QString>

#include <vector>

class TConnection;

// The records of the collection runs (table collectrun): a run is recorded when it starts and finished with
// what it read, stored and how it ended.
class TRunRecords
{
public:
    static const char* const Complete;
    static const char* const Failed;
    static const char* const Partial;
    static const char* const Stopped;

    explicit TRunRecords(TConnection* connection);

    // An outcome as the windows show it: 完整, 不完整, 失败, 中止; 进行中 for a run not yet finished.
    static QString OutcomeText(const QString& outcome);

    // Records a run's start; its id, or 0 with *error (an unknown source is refused).
    qint64 Begin(const QString& keyword, const QString& source, int pagesAsked, QString* error);
    // Records how a run ended; refused for an unknown outcome, a run that does not exist or one already finished.
    bool Finish(qint64 id, int pagesRead, int rowsStored, const QString& outcome, const QString& reason,
                QString* error);
    // False with a message when there is no such run.
    bool Find(qint64 id, TRunRecord* record, QString* error);
    // Every run, newest first (limit <= 0: all).
    bool List(std::vector<TRunRecord>* runs, QString* error, int limit = 0);
    // The newest complete run of a keyword other than (and older than) `before` (<= 0: any); Id 0 when none.
    bool PreviousComplete(const QString& keyword, qint64 before, TRunRecord* record, QString* error);

private:
    TConnection* m_connection;
};

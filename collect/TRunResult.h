#pragma once

#include <QString>

// How a collection run ended.
enum class TRunOutcome {
    Complete, // every page asked for was read, or the results ran out after at least one stored page
    Failed, // the first page gave no listings for another reason (no data, a failed download or write)
    Partial, // a later page failed that way
    Stopped, // a stop request or a close ended it
};

// What a collection run leaves for its caller.
struct TRunResult
{
    int PagesRead = 0; // pages whose listings were stored
    int RowsStored = 0;
    TRunOutcome Outcome = TRunOutcome::Complete;
    QString Cause; // the cause of the run's "原因：" line; empty when there was none
    QString StoreError; // the store's or the write's message when storing a page failed; empty otherwise
};

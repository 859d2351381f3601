#pragma once

#include <QString>

#include <functional>

class TConnection;

// One step of a schema upgrade, done as one transaction: it either completes or leaves the file as it was.
// On a large goods table the step reports its progress, between its own parts and, through the engine's
// progress handler, while one long statement runs (an index over many rows); a small table (every new file) is
// done in a moment and reports nothing.
class TUpgradeStep
{
public:
    using Progress = std::function<void(qint64 done, qint64 total)>;
    using Work = std::function<bool(const Progress& progress, QString* error)>;

    // False with the provider's message; the transaction is rolled back then.
    static bool Run(TConnection* connection, const Progress& reporter, const Work& work, QString* error);
};

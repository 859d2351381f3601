#include "storage/TUpgradeStep.h"

#include "storage/TLibrarySchema.h"
#include "storage/engine/TConnection.h"
#include "storage/engine/TStatement.h"

namespace {
bool IsLarge(TConnection* connection)
{
    TStatement count(connection, QStringLiteral("SELECT count(*) FROM goodslist"));
    return count.Next() && count.Int(0) >= TLibrarySchema::IndexChunkRows;
}
} // namespace

bool TUpgradeStep::Run(TConnection* connection, const Progress& reporter, const Work& work, QString* error)
{
    if (!connection->Execute(QStringLiteral("BEGIN IMMEDIATE"), error)) {
        return false;
    }
    const Progress progress = IsLarge(connection) ? reporter : Progress();
    qint64 lastDone = 0;
    qint64 lastSteps = 1;
    const Progress tracked = [&](qint64 done, qint64 steps) {
        lastDone = done;
        lastSteps = steps;
        if (progress) {
            progress(done, steps);
        }
    };
    if (progress) {
        connection->SetProgressHandler(100000, [&]() {
            progress(lastDone, lastSteps);
            return false;
        });
    }
    QString failure;
    const bool ok = work(tracked, &failure) && connection->Execute(QStringLiteral("COMMIT"), &failure);
    connection->SetProgressHandler(0, {});
    if (!ok) {
        QString ignored;
        connection->Execute(QStringLiteral("ROLLBACK"), &ignored);
        *error = failure;
    }
    return ok;
}

#pragma once

#include <QString>

// What the user reads when the database file fails: what happened in Chinese, naming the file, and what the user
// can do about it; the engine's own text follows as a detail for a report.
class TDatabaseMessage
{
public:
    // The message for the engine's text of a failure on the file at path (empty when no file is known). Whatever
    // the text, a folder at the path is named as the cause.
    static QString Text(const QString& engineError, const QString& path);
};

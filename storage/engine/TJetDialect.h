#pragma once

#include <QString>

// Translates the Jet type names of table definitions into the engine's own: COUNTER becomes an
// automatically numbered INTEGER primary key (a constraint name before PRIMARY KEY is kept), memo
// becomes TEXT. Only CREATE TABLE and ALTER TABLE statements are touched, and never text inside
// quotes, brackets or grave accents; every other statement is returned unchanged.
class TJetDialect
{
public:
    static QString Translate(const QString& sql);
    // A table or column name quoted for a statement: in double quotes, a double quote inside doubled.
    static QString QuoteName(const QString& name);
};

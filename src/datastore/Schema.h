#pragma once

#include "datastore/Engine.h"

#include <QString>
#include <QStringList>

class DbConnection;

// The installation schema (install/db/schema-*.sql, built into the program) and what the program knows
// about its tables.
namespace Schema {

// The schema text of an engine, with the configured active-card code put into the PostgreSQL procedure.
QString text(Engine engine, const QString& activeCardCode);
// Statements of a script: split at semicolons outside quotes, dollar quotes and comments.
QStringList splitStatements(const QString& script);
// Creates every table, index (and on PostgreSQL the procedure Auto_count_cardnum). Throws DatabaseError.
void create(DbConnection& connection, const QString& activeCardCode);
// The key column of a table of the schema ("room" → "room_id"); empty for an unknown table.
QString keyColumn(const QString& table);
// True when the connection holds the table "room" of this schema.
bool exists(DbConnection& connection);

} // namespace Schema

#pragma once

#include "datastore/Engine.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

// The one place where values cross between the program and the two engines.
//
// Date-times are stored as local wall-clock time with milliseconds. SQLite keeps them as text in the
// canonical form "yyyy-MM-ddTHH:mm:ss.zzz" (fixed width, so text order is time order and `between`,
// `order by` and boundaries such as 23:59:59 vs 23:59:59.5 compare right); PostgreSQL keeps them in
// timestamp(3) columns and receives the same text, which it parses without any time-zone shift (a bound
// QDateTime would be converted through the session time zone). Every bound value goes through
// toBindable() and every fetched value through fromResult().
namespace SqlValue {

QString canonical(const QDateTime& when);
// Parses the canonical form and the looser forms an engine or a person may produce
// ("yyyy-MM-dd HH:mm:ss[.zzz]"); an invalid QDateTime when the text is none of them.
QDateTime parse(const QString& text);
// A value ready to bind on the engine: date-times as canonical text, null strings as empty strings
// (the program's strings are never SQL NULL unless it binds an invalid QVariant), small integer types
// widened (QSQLITE would bind a quint8 as a character), booleans as 0/1 on SQLite.
QVariant toBindable(const QVariant& value, Engine engine);
// A fetched value as the program reads it: SQL NULL as an invalid QVariant, date-time columns as local
// QDateTime on both engines, booleans as 0/1 ints.
QVariant fromResult(const QVariant& value, bool isNull, bool dateTimeColumn);
// Date-time columns of the schema, by lower-case name (SQLite reports them as text).
bool isDateTimeColumn(const QString& columnName);
// A date-time written into SQL text, for the rare statement that cannot bind it.
QString literal(const QDateTime& when, Engine engine);
// A text written into SQL as a quoted string: enclosed in single quotes, each single quote doubled.
QString quoted(const QString& text);

} // namespace SqlValue

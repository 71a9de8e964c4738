#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class DbConnection;

// Comma-separated guest lists read as a table, the way the text driver of the installation's guest-list
// exports did: the first line names the columns, fields may be quoted ("a, b", "say ""hi"""), lines end
// in CRLF or LF, a UTF-8 byte-order mark is dropped, and a file that is not valid UTF-8 is read as GBK.
namespace Csv {

struct Table
{
    QStringList columns;
    QList<QStringList> rows;
};

QString decode(const QByteArray& bytes);
// Columns without a name become F1, F2, ... and repeated names get a number, so every column is reachable.
Table parse(const QString& text);

// Reads the file into a fresh in-memory database on memory, as a table that "Select * from " + tableName
// finds: "guests.csv" becomes table csv of an attached database named guests, "guests" a plain table.
// Empty fields are NULL. Throws DatabaseError when the file cannot be read or the name cannot be a table.
void load(DbConnection& memory, const QString& filePath, const QString& tableName);

// The table name written as the quoted identifier a search statement can use.
QString quotedTableName(const QString& tableName);
QString quotedIdentifier(const QString& name);

} // namespace Csv

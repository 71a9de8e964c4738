#pragma once

#include <QString>

class DataSet;

namespace OperatorLogin {

// "select * from OPERATOR where name = 'NAME'" with the name quoted as an SQL string.
QString selectSql(const QString& name);

// Opens the operator row of the name on the data set and checks the password (the stored
// value deciphered, compared exactly and case-sensitively). Throws Eic 70 when nobody has the
// name, Eic 71 when the password differs; DatabaseError when the database fails.
void verify(DataSet& query, const QString& name, const QString& password);

// The stored password of the current row, deciphered.
QString storedPassword(const DataSet& query);

// The database file the login opens: sys.ini `database`, with the installation folder put in
// front when it is exactly "LODGEX.MDB".
QString resolveDatabaseFile(const QString& setting);
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=FILE;"
QString jetConnectionString(const QString& file);
// The login's start: compacts "lodgex.mdb" of the installation folder (result ignored), then
// opens the database of the settings on the data module. Throws DatabaseError.
void openDatabase();

} // namespace OperatorLogin

#include "admin/OperatorLogin.h"

#include "card/TEncrypt.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/ConnectionString.h"
#include "datastore/DataSet.h"
#include "datastore/SqlValue.h"
#include "datastore/TDataM.h"
#include "platform/WinPath.h"

#include <QDir>

namespace OperatorLogin {

QString selectSql(const QString& name)
{
    return QStringLiteral("select * from OPERATOR where name = ") + SqlValue::quoted(name);
}

QString storedPassword(const DataSet& query)
{
    return TEncrypt::PasswordCipher(query.field(QStringLiteral("pass_word")).toString());
}

void verify(DataSet& query, const QString& name, const QString& password)
{
    query.setSql(selectSql(name));
    query.open();
    if (query.isEmpty())
        throw Eic(70);
    if (storedPassword(query) != password)
        throw Eic(71);
}

QString resolveDatabaseFile(const QString& setting)
{
    if (setting == QLatin1String("LODGEX.MDB"))
        return WinPath::toLocal(QDir(WinPath::installationFolder()).filePath(setting));
    return WinPath::toLocal(setting);
}

QString jetConnectionString(const QString& file)
{
    return ConnectionString::buildJet(file);
}

void openDatabase()
{
    const QString compacted =
        WinPath::toLocal(QDir(WinPath::installationFolder()).filePath(QStringLiteral("lodgex.mdb")));
    CompactAccessFile(compacted, QString());
    DataM().OpenConnection(jetConnectionString(resolveDatabaseFile(cfg::sys().database)));
}

} // namespace OperatorLogin

#pragma once

#include "datastore/Engine.h"

#include <QMap>
#include <QString>

struct SysSettings;

// OLE DB style connection strings: "Key=Value;Key='quoted; value';...". The program keeps the two texts
// the installation knows (the Jet file string and the SQL Server string of sys.ini) and this class turns
// them into an engine and its settings.
class ConnectionString
{
public:
    // The fixed password inside the SQL Server string's extended properties.
    static constexpr const char* kExtendedPassword = "t9";

    // "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";" (the file quoted only when it could not
    // be read back otherwise: it holds ';' or quotes, or begins or ends with a blank).
    static QString buildJet(const QString& file);
    // The SQL Server string, each of the five values quoted with single quotes and inner quotes doubled.
    static QString buildSqlServer(const QString& password, const QString& userId, const QString& catalog,
                                  const QString& dataSource, const QString& workstationId);
    // The same from the sys.ini values.
    static QString buildSqlServer(const SysSettings& sys);
    // The text connection of the CSV guest lists (with its leading blank).
    static QString buildCsv(const QString& folder);
    // The value written as a quoted string: 'it''s'.
    static QString quoteValue(const QString& value);

    static ConnectionString parse(const QString& text);

    const QString& provider() const { return m_provider; }
    // Value of a key, compared without regard to case; empty when absent.
    QString value(const QString& key) const;
    bool contains(const QString& key) const;
    const QMap<QString, QString>& values() const { return m_values; }

    // SQLite for the Jet provider, PostgreSQL for SQLOLEDB, None otherwise (and for the CSV text string).
    Engine engine() const;
    bool isCsv() const;

    // PostgreSQL endpoint from "Data Source": "host", "host,port" or "host:port"; a host beginning with
    // "/" is a socket folder; "." and "(local)" mean localhost.
    struct Endpoint
    {
        QString host;
        int port = 5432;
    };
    Endpoint endpoint() const;

private:
    QString m_provider;
    QMap<QString, QString> m_values; // keys in lower case
};

#include "datastore/ConnectionString.h"

#include "config/Settings.h"

namespace {

bool needsQuotes(const QString& value)
{
    return value.contains(u';') || value.contains(u'\'') || value.contains(u'"') ||
           (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
}

} // namespace

QString ConnectionString::quoteValue(const QString& value)
{
    QString inner = value;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

QString ConnectionString::buildJet(const QString& file)
{
    const QString source = needsQuotes(file) ? quoteValue(file) : file;
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + source + u';';
}

QString ConnectionString::buildSqlServer(const QString& password, const QString& userId,
                                         const QString& catalog, const QString& dataSource,
                                         const QString& workstationId)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + quoteValue(password) +
           QStringLiteral(";Persist Security Info=True;User ID=") + quoteValue(userId) +
           QStringLiteral(";Initial Catalog=") + quoteValue(catalog) + QStringLiteral(";Data Source=") +
           quoteValue(dataSource) + QStringLiteral(";Extended Properties=\"User pwd=") +
           QLatin1String(kExtendedPassword) + QStringLiteral("\";Use Procedure for Prepare=1;") +
           QStringLiteral("Auto Translate=True;Packet Size=4096;Workstation ID=") +
           quoteValue(workstationId) +
           QStringLiteral(";Use Encryption for Data=False;Tag with column collation when possible=False");
}

QString ConnectionString::buildSqlServer(const SysSettings& sys)
{
    return buildSqlServer(sys.password, sys.userId, sys.initialCatalog, sys.dataSource, sys.workstationId);
}

QString ConnectionString::buildCsv(const QString& folder)
{
    return QStringLiteral(" Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + folder +
           QStringLiteral(";Extended Properties=text;Persist Security Info=False");
}

ConnectionString ConnectionString::parse(const QString& text)
{
    ConnectionString result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i].isSpace() || text[i] == u';'))
            ++i;
        if (i >= n)
            break;
        const qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0)
            break; // a trailing word without a value carries nothing
        const QString key = text.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < n && text[i].isSpace() && text[i] != u';')
            ++i;
        QString value;
        if (i < n && (text[i] == u'\'' || text[i] == u'"')) {
            const QChar quote = text[i++];
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (i < n && text[i] != u';')
                ++i; // blanks after the closing quote
        } else {
            const qsizetype end = text.indexOf(u';', i);
            const qsizetype stop = end < 0 ? n : end;
            value = text.mid(i, stop - i).trimmed();
            i = stop;
        }
        if (!key.isEmpty())
            result.m_values.insert(key, value);
    }
    result.m_provider = result.value(QStringLiteral("Provider"));
    return result;
}

QString ConnectionString::value(const QString& key) const
{
    return m_values.value(key.toLower());
}

bool ConnectionString::contains(const QString& key) const
{
    return m_values.contains(key.toLower());
}

bool ConnectionString::isCsv() const
{
    return m_provider.startsWith(QStringLiteral("Microsoft.Jet.OLEDB"), Qt::CaseInsensitive) &&
           value(QStringLiteral("Extended Properties"))
                   .compare(QStringLiteral("text"), Qt::CaseInsensitive) == 0;
}

Engine ConnectionString::engine() const
{
    if (isCsv())
        return Engine::None;
    if (m_provider.startsWith(QStringLiteral("Microsoft.Jet.OLEDB"), Qt::CaseInsensitive))
        return Engine::SQLite;
    if (m_provider.startsWith(QStringLiteral("SQLOLEDB"), Qt::CaseInsensitive))
        return Engine::PostgreSQL;
    return Engine::None;
}

ConnectionString::Endpoint ConnectionString::endpoint() const
{
    Endpoint e;
    QString source = value(QStringLiteral("Data Source")).trimmed();
    auto takePort = [&](qsizetype at) {
        bool ok = false;
        const int port = source.mid(at + 1).trimmed().toInt(&ok);
        if (ok && port > 0 && port < 65536) {
            e.port = port;
            source = source.left(at).trimmed();
        }
    };
    const qsizetype comma = source.lastIndexOf(u',');
    if (comma >= 0)
        takePort(comma);
    else if (const qsizetype colon = source.lastIndexOf(u':'); colon >= 0)
        takePort(colon);
    if (source.isEmpty() || source == QStringLiteral(".") ||
        source.compare(QStringLiteral("(local)"), Qt::CaseInsensitive) == 0)
        source = QStringLiteral("localhost");
    e.host = source;
    return e;
}

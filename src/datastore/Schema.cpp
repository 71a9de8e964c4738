#include "datastore/Schema.h"

#include "datastore/DatabaseError.h"
#include "datastore/DbConnection.h"
#include "datastore/SchemaText.h"
#include "datastore/SqlValue.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>

namespace Schema {

QString text(Engine engine, const QString& activeCardCode)
{
    if (engine == Engine::PostgreSQL) {
        QString script = QString::fromUtf8(kSchemaPostgresql);
        script.replace(QStringLiteral("${GC_AVAILABLE}"), SqlValue::quoted(activeCardCode));
        return script;
    }
    return QString::fromUtf8(kSchemaSqlite);
}

QStringList splitStatements(const QString& script)
{
    QStringList statements;
    QString current;
    bool meaningful = false; // the statement holds more than blanks and comments
    const qsizetype n = script.size();
    qsizetype i = 0;
    auto flush = [&] {
        if (meaningful)
            statements.append(current.trimmed());
        current.clear();
        meaningful = false;
    };
    while (i < n) {
        const QChar c = script[i];
        if (c == u'-' && i + 1 < n && script[i + 1] == u'-') {
            const qsizetype end = script.indexOf(u'\n', i);
            i = end < 0 ? n : end;
            continue;
        }
        if (c == u'/' && i + 1 < n && script[i + 1] == u'*') {
            const qsizetype end = script.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }
        if (c == u';') {
            flush();
            ++i;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            qsizetype end = i + 1;
            while (end < n && script[end] != c)
                ++end;
            current += script.mid(i, end + 1 - i); // a doubled quote reads as two strings in a row
            meaningful = true;
            i = end + 1;
            continue;
        }
        if (c == u'$') {
            const qsizetype close = script.indexOf(u'$', i + 1);
            if (close > i) {
                const QString tag = script.mid(i, close + 1 - i);
                static const QRegularExpression tagForm(QStringLiteral("^\\$[A-Za-z_]*\\$$"));
                if (tagForm.match(tag).hasMatch()) {
                    const qsizetype end = script.indexOf(tag, close + 1);
                    const qsizetype stop = end < 0 ? n : end + tag.size();
                    current += script.mid(i, stop - i);
                    meaningful = true;
                    i = stop;
                    continue;
                }
            }
        }
        current += c;
        if (!c.isSpace())
            meaningful = true;
        ++i;
    }
    flush();
    return statements;
}

void create(DbConnection& connection, const QString& activeCardCode)
{
    WriteBatch batch(connection);
    for (const QString& statement : splitStatements(text(connection.engine(), activeCardCode)))
        connection.exec(statement);
}

QString keyColumn(const QString& table)
{
    static const QHash<QString, QString> keys{
        {QStringLiteral("room"), QStringLiteral("room_id")},
        {QStringLiteral("room_type"), QStringLiteral("id")},
        {QStringLiteral("workarea"), QStringLiteral("workarea_id")},
        {QStringLiteral("issue_card_log"), QStringLiteral("id")},
        {QStringLiteral("operator"), QStringLiteral("operator_id")},
        {QStringLiteral("operator_group"), QStringLiteral("ID")},
        {QStringLiteral("g_right"), QStringLiteral("ID")},
        {QStringLiteral("group_right"), QStringLiteral("ID")},
        {QStringLiteral("log"), QStringLiteral("id")},
        {QStringLiteral("unlock_log"), QStringLiteral("id")},
        {QStringLiteral("tmp_unlock_log"), QStringLiteral("id")},
    };
    return keys.value(table.toLower());
}

bool exists(DbConnection& connection)
{
    QSqlQuery q(connection.database());
    const QString sql =
        connection.engine() == Engine::PostgreSQL
            ? QStringLiteral("select count(*) from information_schema.tables where "
                             "table_schema = current_schema() and table_name = 'room'")
            : QStringLiteral("select count(*) from sqlite_master where type='table' and name='room'");
    return q.exec(sql) && q.next() && q.value(0).toInt() > 0;
}

} // namespace Schema

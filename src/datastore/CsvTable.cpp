#include "datastore/CsvTable.h"

#include "datastore/DatabaseError.h"
#include "datastore/DbConnection.h"

#include <QFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>

namespace Csv {
namespace {

struct SqlName
{
    QString schema; // empty: the main database
    QString table;
};

SqlName splitName(const QString& tableName)
{
    const qsizetype dot = tableName.lastIndexOf(u'.');
    if (dot <= 0 || dot == tableName.size() - 1)
        return {QString(), tableName};
    return {tableName.left(dot), tableName.mid(dot + 1)};
}

bool isBuiltInSchema(const QString& schema)
{
    return schema.compare(QStringLiteral("main"), Qt::CaseInsensitive) == 0 ||
           schema.compare(QStringLiteral("temp"), Qt::CaseInsensitive) == 0;
}

QStringList uniqueColumns(const QStringList& header)
{
    QStringList columns;
    QSet<QString> seen;
    for (int i = 0; i < header.size(); ++i) {
        QString name = header[i].trimmed();
        if (name.isEmpty())
            name = QStringLiteral("F%1").arg(i + 1);
        QString candidate = name;
        for (int n = 2; seen.contains(candidate.toLower()); ++n)
            candidate = name + QString::number(n);
        seen.insert(candidate.toLower());
        columns.append(candidate);
    }
    return columns;
}

} // namespace

QString decode(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GBK");
    if (gbk.isValid())
        return gbk.decode(data);
    return text;
}

Table parse(const QString& text)
{
    QList<QStringList> lines;
    QStringList fields;
    QString field;
    bool inQuotes = false;
    bool lineHasContent = false;
    const qsizetype n = text.size();
    auto endField = [&] {
        fields.append(field);
        field.clear();
    };
    auto endLine = [&] {
        endField();
        if (lineHasContent)
            lines.append(fields);
        fields.clear();
        lineHasContent = false;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            inQuotes = true;
            lineHasContent = true;
        } else if (c == u',') {
            endField();
            lineHasContent = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            endLine();
        } else {
            field += c;
            if (!c.isSpace())
                lineHasContent = true;
        }
    }
    if (lineHasContent || !field.isEmpty())
        endLine();

    Table table;
    if (lines.isEmpty())
        return table;
    table.columns = uniqueColumns(lines.takeFirst());
    table.rows = lines;
    return table;
}

QString quotedIdentifier(const QString& name)
{
    QString inner = name;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

QString quotedTableName(const QString& tableName)
{
    const SqlName name = splitName(tableName);
    return name.schema.isEmpty() ? quotedIdentifier(name.table)
                                 : quotedIdentifier(name.schema) + u'.' + quotedIdentifier(name.table);
}

void load(DbConnection& memory, const QString& filePath, const QString& tableName)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError(
            QStringLiteral("Cannot read the guest list %1: %2").arg(filePath, file.errorString()));
    const Table table = parse(decode(file.readAll()));
    if (table.columns.isEmpty())
        throw DatabaseError(QStringLiteral("The guest list %1 has no header line").arg(filePath));

    memory.openMemory();
    const SqlName name = splitName(tableName);
    if (!name.schema.isEmpty() && !isBuiltInSchema(name.schema))
        memory.exec(QStringLiteral("ATTACH DATABASE ':memory:' AS ") + quotedIdentifier(name.schema));
    QStringList definitions, placeholders;
    for (const QString& column : table.columns) {
        definitions.append(quotedIdentifier(column) + QStringLiteral(" TEXT"));
        placeholders.append(QStringLiteral("?"));
    }
    const QString target = quotedTableName(tableName);
    memory.exec(QStringLiteral("CREATE TABLE ") + target + u'(' + definitions.join(u',') + u')');

    QSqlDatabase db = memory.database();
    db.transaction();
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("INSERT INTO ") + target + QStringLiteral(" VALUES(") +
                        placeholders.join(u',') + u')'))
        throw DatabaseError(insert.lastError().text());
    const qsizetype width = table.columns.size();
    for (const QStringList& row : table.rows) {
        for (qsizetype c = 0; c < width; ++c) {
            const QString v = c < row.size() ? row[c] : QString();
            insert.bindValue(static_cast<int>(c), v.isEmpty() ? QVariant() : QVariant(v));
        }
        if (!insert.exec())
            throw DatabaseError(insert.lastError().text());
    }
    insert.finish();
    db.commit();
}

} // namespace Csv

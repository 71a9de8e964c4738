#include "datastore/DbConnection.h"
#include "datastore/SqlValue.h"
#include "datastore/TDataM.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

Q_LOGGING_CATEGORY(lcCompact, "tolvane.compact")

namespace {

// A name in the temporary folder that nothing holds: the file is created and removed at once.
QString temporaryName()
{
    QTemporaryFile probe(QDir(QDir::tempPath()).filePath(QStringLiteral("~SMXXXXXX.tmp")));
    if (!probe.open())
        return QString();
    const QString name = probe.fileName();
    probe.close();
    probe.remove();
    return name;
}

bool run(QSqlQuery& q, const QString& sql)
{
    if (q.exec(sql))
        return true;
    qCInfo(lcCompact) << "Compaction stopped:" << q.lastError().text() << sql;
    return false;
}

// Puts the compacted copy over the file in one rename, so the file is either the old one or the new one.
bool replaceWith(const QString& file, const QString& compacted)
{
    QFile source(compacted);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QSaveFile target(file);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size()) {
            target.cancelWriting();
            return false;
        }
    }
    return target.commit();
}

} // namespace

bool CompactAccessFile(const QString& file, const QString& password)
{
    Q_UNUSED(password) // SQLite files carry no database password
    const QString temp = temporaryName();
    if (temp.isEmpty() || !QFileInfo(file).isFile())
        return false;
    bool done = false;
    {
        DbConnection connection;
        try {
            connection.openSqlite(file);
        } catch (const std::exception& e) {
            qCInfo(lcCompact) << "Compaction skipped:" << e.what();
            return false;
        }
        QSqlQuery q(connection.database());
        // Leaving the WAL journal needs the only connection to the file, and exclusive locking mode then
        // holds the lock until this connection closes: a file in use fails here, untouched. Leaving WAL
        // also moves every committed page into the file and removes the journal, so no journal is left
        // beside the file to be replayed onto the compacted copy. The program returns to WAL when it opens
        // the file.
        done = run(q, QStringLiteral("PRAGMA busy_timeout=0")) &&
               run(q, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")) &&
               run(q, QStringLiteral("PRAGMA journal_mode=DELETE")) && q.next() &&
               q.value(0).toString().compare(QStringLiteral("delete"), Qt::CaseInsensitive) == 0;
        q.finish();
        done = done && run(q, QStringLiteral("BEGIN EXCLUSIVE")) && run(q, QStringLiteral("COMMIT"));
        done = done && run(q, QStringLiteral("VACUUM INTO ") + SqlValue::quoted(temp));
        q.finish();
        done = done && replaceWith(file, temp);
    }
    QFile::remove(temp);
    return done;
}

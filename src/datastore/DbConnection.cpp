#include "datastore/DbConnection.h"

#include "datastore/ConnectionString.h"
#include "datastore/DatabaseError.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QUrl>

namespace {

QString uniqueName()
{
    static QAtomicInt counter;
    return QStringLiteral("tolvane-db-%1").arg(counter.fetchAndAddRelaxed(1));
}

QString sqliteUri(const QString& file, const char* mode)
{
    const QString absolute = QFileInfo(file).absoluteFilePath();
    return QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(absolute, "/")) +
           QStringLiteral("?mode=") + QLatin1String(mode);
}

QString queryText(QSqlDatabase& db, const QString& sql, bool* ok)
{
    QSqlQuery q(db);
    *ok = q.exec(sql);
    if (!*ok)
        return q.lastError().text();
    return q.next() ? q.value(0).toString() : QString();
}

} // namespace

DbConnection::DbConnection(const QString& name) : m_name(name.isEmpty() ? uniqueName() : name) {}

DbConnection::~DbConnection()
{
    close();
    m_closeListeners.clear();
}

QSqlDatabase DbConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool DbConnection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && database().isOpen();
}

QSqlDatabase DbConnection::add(const QString& driver)
{
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_name);
    if (!db.isValid())
        throw DatabaseError(QStringLiteral("The database driver %1 is not installed").arg(driver));
    return db;
}

void DbConnection::failOpen(QSqlDatabase& db, const QString& what)
{
    const QString text = db.lastError().text();
    db = QSqlDatabase();
    close();
    throw DatabaseError(what + QStringLiteral(": ") + text);
}

int DbConnection::addCloseListener(std::function<void()> listener)
{
    m_closeListeners.emplace(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void DbConnection::removeCloseListener(int id)
{
    m_closeListeners.erase(id);
}

void DbConnection::close()
{
    const auto listeners = m_closeListeners;
    for (const auto& [id, listener] : listeners)
        listener();
    m_engine = Engine::None;
    m_batchDepth = 0;
    m_batchOpen = false;
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

void DbConnection::open(const QString& connectionString)
{
    const ConnectionString cs = ConnectionString::parse(connectionString);
    switch (cs.engine()) {
    case Engine::SQLite:
        openSqlite(cs.value(QStringLiteral("Data Source")));
        break;
    case Engine::PostgreSQL:
        openPostgres(pgSettingsFrom(connectionString));
        break;
    case Engine::None:
        throw DatabaseError(QStringLiteral("Unknown database provider \"%1\"").arg(cs.provider()));
    }
    m_connectionString = connectionString;
}

DbConnection::PgSettings DbConnection::pgSettingsFrom(const QString& connectionString)
{
    const ConnectionString cs = ConnectionString::parse(connectionString);
    const ConnectionString::Endpoint endpoint = cs.endpoint();
    PgSettings s;
    s.host = endpoint.host;
    s.port = endpoint.port;
    s.user = cs.value(QStringLiteral("User ID"));
    s.password = cs.value(QStringLiteral("Password"));
    s.database = cs.value(QStringLiteral("Initial Catalog"));
    return s;
}

void DbConnection::openSqlite(const QString& file, SqliteMode mode)
{
    const QFileInfo info(file);
    if (mode == SqliteMode::Existing && !info.isFile())
        throw DatabaseError(QStringLiteral("Database file not found: %1").arg(file));
    if (mode == SqliteMode::CreateNew && info.exists())
        throw DatabaseError(QStringLiteral("Database file already exists: %1").arg(file));

    QSqlDatabase db = add(QStringLiteral("QSQLITE"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    db.setDatabaseName(sqliteUri(file, mode == SqliteMode::Existing ? "rw" : "rwc"));
    if (!db.open())
        failOpen(db, QStringLiteral("Cannot open database %1").arg(file));

    bool ok = false;
    if (mode == SqliteMode::Existing) {
        // Reading the schema is the first access to the file: it fails here for a file that is not a
        // database, before anything could be written to it.
        const QString tables = queryText(
            db, QStringLiteral("select count(*) from sqlite_master where type='table' and name='room'"), &ok);
        if (!ok) {
            db = QSqlDatabase();
            close();
            throw DatabaseError(QStringLiteral("%1 is not a database: %2").arg(file, tables));
        }
        if (tables.toInt() == 0) {
            db = QSqlDatabase();
            close();
            throw DatabaseError(
                QStringLiteral("%1 is not a Tolvane database (it has no table room)").arg(file));
        }
    }
    const QString journal = queryText(db, QStringLiteral("PRAGMA journal_mode=WAL"), &ok);
    if (!ok || journal.compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0) {
        db = QSqlDatabase();
        close();
        throw DatabaseError(QStringLiteral("Cannot use the journal of %1: %2").arg(file, journal));
    }
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    pragma.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
    m_engine = Engine::SQLite;
    m_connectionString = ConnectionString::buildJet(file);
}

void DbConnection::openPostgres(const PgSettings& s)
{
    QSqlDatabase db = add(QStringLiteral("QPSQL"));
    db.setHostName(s.host);
    db.setPort(s.port);
    db.setUserName(s.user);
    db.setPassword(s.password);
    db.setDatabaseName(s.database);
    db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    if (!db.open())
        failOpen(db, QStringLiteral("Cannot connect to database %1 on %2").arg(s.database, s.host));
    QSqlQuery session(db);
    session.exec(QStringLiteral("SET client_min_messages TO warning"));
    // Date-times travel as text without zone; the session zone only matters to code that binds a
    // QDateTime directly, which then lands on the workstation's wall-clock time as well.
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (!zone.isEmpty())
        session.exec(QStringLiteral("SET TIME ZONE ") + ConnectionString::quoteValue(zone));
    m_engine = Engine::PostgreSQL;
    m_connectionString = ConnectionString::buildSqlServer(s.password, s.user, s.database,
                                                          s.host + u',' + QString::number(s.port), s.host);
}

void DbConnection::openMemory()
{
    QSqlDatabase db = add(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    if (!db.open())
        failOpen(db, QStringLiteral("Cannot open an in-memory database"));
    m_engine = Engine::SQLite;
    m_connectionString.clear();
}

void DbConnection::exec(const QString& sql) const
{
    QSqlQuery q(database());
    if (!q.exec(sql))
        throw DatabaseError(q.lastError().text() + QStringLiteral(" [") + sql + u']');
}

void DbConnection::beginBatch()
{
    if (m_batchDepth++ == 0 && m_engine == Engine::SQLite && isOpen())
        m_batchOpen = database().transaction();
}

void DbConnection::endBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0 || !m_batchOpen)
        return;
    m_batchOpen = false;
    QSqlDatabase db = database();
    if (!db.commit())
        db.rollback();
}

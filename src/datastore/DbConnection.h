#pragma once

#include "datastore/Engine.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <map>

// One named QSqlDatabase and the engine behind it. Opening never creates a database by accident: a Jet
// connection string opens an existing SQLite file read-write (a missing file, or one that is not a
// database of this system, is a DatabaseError) and sets it up for durable writes: WAL journal with full
// sync (a committed record survives power loss), foreign keys off (the schema has none), a busy timeout.
class DbConnection
{
public:
    struct PgSettings
    {
        QString host; // a host name or address, or a socket folder beginning with "/"
        int port = 5432;
        QString user;
        QString password;
        QString database;
    };
    enum class SqliteMode { Existing, CreateNew };

    // name: the QSqlDatabase connection name; empty picks a unique one.
    explicit DbConnection(const QString& name = QString());
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Closes any open database first. Throws DatabaseError.
    void open(const QString& connectionString);
    void openSqlite(const QString& file, SqliteMode mode = SqliteMode::Existing);
    void openPostgres(const PgSettings& settings);
    // An empty in-memory SQLite database (the CSV guest lists).
    void openMemory();
    void close();

    bool isOpen() const;
    Engine engine() const { return m_engine; }
    const QString& connectionString() const { return m_connectionString; }
    const QString& name() const { return m_name; }
    QSqlDatabase database() const;
    // Runs one statement without a result; throws DatabaseError.
    void exec(const QString& sql) const;

    // Write groups (see WriteBatch); only the outermost begins and commits.
    void beginBatch();
    void endBatch();

    // Called just before the database closes (data sets drop their rows and prepared statements, as
    // an ADO connection closes its data sets). Returns an id for removeCloseListener.
    int addCloseListener(std::function<void()> listener);
    void removeCloseListener(int id);

    static PgSettings pgSettingsFrom(const QString& connectionString);

private:
    QSqlDatabase add(const QString& driver);
    void failOpen(QSqlDatabase& db, const QString& what);

    QString m_name;
    Engine m_engine = Engine::None;
    QString m_connectionString;
    int m_batchDepth = 0;
    bool m_batchOpen = false;
    std::map<int, std::function<void()>> m_closeListeners;
    int m_nextListener = 0;
};

// Groups the writes of one operation. On SQLite they become one transaction, so a recount or an issue
// record costs one durable commit instead of one per statement; it is committed even when a statement
// failed, so what was done stays done, as with separate statements. On PostgreSQL every statement keeps
// committing on its own (the server commits cheaply, and a failed statement would abort a transaction).
class WriteBatch
{
public:
    explicit WriteBatch(DbConnection& connection) : m_connection(connection) { m_connection.beginBatch(); }
    ~WriteBatch() { m_connection.endBatch(); }
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

private:
    DbConnection& m_connection;
};

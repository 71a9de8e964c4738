#pragma once

#include "datastore/DbConnection.h"
#include "datastore/Installer.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A throwaway database of the engine a test program runs against: SQLite (a file in a temporary folder)
// or PostgreSQL (a fresh database on the test cluster that scripts/pg-test-cluster.sh started and
// described in TOLVANE_TEST_PG_HOST / _PORT / _USER). The engine is chosen by TOLVANE_TEST_ENGINE
// ("sqlite", the default, or "postgresql").
class TestDatabase
{
public:
    static Engine engineUnderTest();
    static bool postgresAvailable();
    static QString postgresMissingReason();
    static DbConnection::PgSettings postgresSettings(const QString& database);

    // Creates the database with the schema, the rights, the group and operator "admin" / "secret", and
    // when rooms > 0 a sample hotel of one or two buildings.
    explicit TestDatabase(const Installer::SampleHotel* hotel = nullptr);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Engine engine() const { return m_engine; }
    QString connectionString() const { return m_connectionString; }
    const QString& file() const { return m_file; }             // SQLite
    const QString& databaseName() const { return m_database; } // PostgreSQL

private:
    Engine m_engine;
    QTemporaryDir m_dir;
    QString m_file;
    QString m_database;
    QString m_connectionString;
};

#include "DbTestEnv.h"

#include "datastore/ConnectionString.h"
#include "datastore/DatabaseError.h"

#include <QCoreApplication>
#include <QDir>

namespace {
int g_databaseCounter = 0;
}

Engine TestDatabase::engineUnderTest()
{
    return qEnvironmentVariable("TOLVANE_TEST_ENGINE")
                       .compare(QStringLiteral("postgresql"), Qt::CaseInsensitive) == 0
               ? Engine::PostgreSQL
               : Engine::SQLite;
}

bool TestDatabase::postgresAvailable()
{
    return !qEnvironmentVariable("TOLVANE_TEST_PG_HOST").isEmpty() &&
           !qEnvironmentVariable("TOLVANE_TEST_PG_PORT").isEmpty();
}

QString TestDatabase::postgresMissingReason()
{
    return QStringLiteral("PostgreSQL test cluster not configured (TOLVANE_TEST_PG_HOST/PORT/USER unset): "
                          "run ./test, or scripts/pg-test-cluster.sh start and eval its env");
}

DbConnection::PgSettings TestDatabase::postgresSettings(const QString& database)
{
    DbConnection::PgSettings s;
    s.host = qEnvironmentVariable("TOLVANE_TEST_PG_HOST");
    s.port = qEnvironmentVariable("TOLVANE_TEST_PG_PORT").toInt();
    s.user = qEnvironmentVariable("TOLVANE_TEST_PG_USER", QStringLiteral("postgres"));
    s.database = database;
    return s;
}

TestDatabase::TestDatabase(const Installer::SampleHotel* hotel) : m_engine(engineUnderTest())
{
    const Installer::Operator admin{QStringLiteral("admin"), QStringLiteral("secret")};
    if (m_engine == Engine::SQLite) {
        m_file = QDir(m_dir.path()).filePath(QStringLiteral("lodgex.mdb"));
        Installer::createSqliteFile(m_file, admin, hotel);
        m_connectionString = ConnectionString::buildJet(m_file);
        return;
    }
    m_database =
        QStringLiteral("tolvane_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_databaseCounter);
    const DbConnection::PgSettings s = postgresSettings(m_database);
    Installer::initialisePostgres(s, admin, hotel);
    m_connectionString = ConnectionString::buildSqlServer(
        s.password, s.user, s.database, s.host + u',' + QString::number(s.port), QStringLiteral("desk"));
}

TestDatabase::~TestDatabase()
{
    if (m_engine != Engine::PostgreSQL)
        return;
    try {
        DbConnection maintenance;
        maintenance.openPostgres(postgresSettings(QStringLiteral("postgres")));
        maintenance.exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_database));
    } catch (const DatabaseError& e) {
        qWarning("Could not drop the test database: %s", e.what());
    }
}

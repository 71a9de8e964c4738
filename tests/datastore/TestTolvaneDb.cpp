// The installer tool, run as the installation runs it.
#include "DbTestEnv.h"
#include "TestDir.h"
#include "card/TEncrypt.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/ConnectionString.h"
#include "datastore/TDataM.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestTolvaneDb : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void createsSqliteFileReadyForLogin();
    void refusesExistingFile();
    void badArguments_data();
    void badArguments();
    void initialisesServerDatabase();

private:
    int run(const QStringList& args, const QString& home = QString(), QByteArray* err = nullptr);
};

int TestTolvaneDb::run(const QStringList& args, const QString& home, QByteArray* err)
{
    QProcess tool;
    if (!home.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TOLVANE_HOME"), home);
        tool.setProcessEnvironment(env);
    }
    tool.start(QStringLiteral(TOLVANE_DB_TOOL), args);
    if (!tool.waitForFinished(120000))
        return -1;
    if (err)
        *err = tool.readAllStandardError();
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

void TestTolvaneDb::createsSqliteFileReadyForLogin()
{
    TestInstallation inst;
    TSystem::LoadSettings();
    const QString file = inst.path(QStringLiteral("lodgex.mdb"));
    QCOMPARE(run({QStringLiteral("create"), file, QStringLiteral("--operator"), QStringLiteral("boss"),
                  QStringLiteral("--password"), QStringLiteral("Pa'ss"), QStringLiteral("--sample"),
                  QStringLiteral("--buildings"), QStringLiteral("3"), QStringLiteral("--floors"),
                  QStringLiteral("4"), QStringLiteral("--rooms"), QStringLiteral("5")}),
             0);
    TDataM dm;
    dm.CurrentOperatorName = QStringLiteral("boss");
    dm.OpenConnection(ConnectionString::buildJet(file));
    QCOMPARE(dm.Q_operator.recordCount(), 1);
    QCOMPARE(TEncrypt::PasswordCipher(dm.Q_operator.field(QStringLiteral("pass_word")).toString()),
             QStringLiteral("Pa'ss"));
    for (const Installer::Right& right : Installer::rightsCatalogue())
        QVERIFY(dm.CheckRight(right.code) != 0);
    QCOMPARE(dm.Q_display.recordCount(), 60);
    QCOMPARE(dm.Q_room_type.recordCount(), 3);
    QCOMPARE(dm.Q_workarea.recordCount(), 3);
    QCOMPARE(dm.T_right.isOpen(), false);
    dm.T_right.open();
    QCOMPARE(dm.T_right.recordCount(), Installer::rightsCatalogue().size());
    dm.CountRoomStatus();
    QCOMPARE(dm.UsedRoomCount, 0);
}

void TestTolvaneDb::refusesExistingFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lodgex.mdb"));
    const QStringList args{QStringLiteral("create"),     file,
                           QStringLiteral("--operator"), QStringLiteral("a"),
                           QStringLiteral("--password"), QStringLiteral("b")};
    QCOMPARE(run(args), 0);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    QByteArray err;
    QCOMPARE(run(args, QString(), &err), 1);
    QVERIFY2(err.contains("already exists"), err.constData());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

void TestTolvaneDb::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"drop", "x.mdb", "--operator", "a", "--password", "b"};
    QTest::newRow("no operator") << QStringList{"create", "x.mdb", "--password", "b"};
    QTest::newRow("file and server") << QStringList{"create", "x.mdb",      "--server", "--operator",
                                                    "a",      "--password", "b"};
    QTest::newRow("neither file nor server") << QStringList{"create", "--operator", "a", "--password", "b"};
    QTest::newRow("bad sample size") << QStringList{"create",     "x.mdb", "--operator", "a",
                                                    "--password", "b",     "--rooms",    "0"};
}

void TestTolvaneDb::badArguments()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    for (QString& a : args)
        if (a == QStringLiteral("x.mdb"))
            a = dir.filePath(a);
    QCOMPARE(run(args), 2);
    QVERIFY(QDir(dir.path()).isEmpty());
}

void TestTolvaneDb::initialisesServerDatabase()
{
    if (!TestDatabase::postgresAvailable())
        QSKIP(qPrintable(TestDatabase::postgresMissingReason()));
    TestInstallation inst;
    const QString catalog = QStringLiteral("tolvane_tool_%1").arg(QCoreApplication::applicationPid());
    const DbConnection::PgSettings s = TestDatabase::postgresSettings(catalog);
    inst.write(QStringLiteral("sys.ini"),
               QStringLiteral("[sys]\r\nData Source=%1,%2\r\nUser ID=%3\r\nInitial Catalog=%4\r\n")
                   .arg(s.host)
                   .arg(s.port)
                   .arg(s.user, catalog));
    const QStringList args{QStringLiteral("create"),     QStringLiteral("--server"),
                           QStringLiteral("--operator"), QStringLiteral("admin"),
                           QStringLiteral("--password"), QStringLiteral("pw"),
                           QStringLiteral("--sample")};
    QCOMPARE(run(args, inst.root()), 0);
    auto dropDatabase = qScopeGuard([&] {
        DbConnection maintenance;
        maintenance.openPostgres(TestDatabase::postgresSettings(QStringLiteral("postgres")));
        maintenance.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(catalog));
    });
    QByteArray err;
    QCOMPARE(run(args, inst.root(), &err), 1); // already initialised
    QVERIFY2(err.contains("already holds"), err.constData());

    TSystem::LoadSettings();
    TDataM dm;
    dm.CurrentOperatorName = QStringLiteral("admin");
    QVERIFY(dm.ReconnectToServer()); // the same sys.ini settings the program falls back to
    QCOMPARE(dm.Q_display.recordCount(), 200);
    QVERIFY(dm.CheckRight(QStringLiteral("070101")) != 0);
    QVERIFY(TDataM::RunStoredProcedure(ConnectionString::buildSqlServer(cfg::sys()),
                                       QStringLiteral("Auto_count_cardnum")));
}

QTEST_GUILESS_MAIN(TestTolvaneDb)
#include "TestTolvaneDb.moc"

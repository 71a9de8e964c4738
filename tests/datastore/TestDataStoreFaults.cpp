// What goes wrong around the database: missing or foreign files, compaction, power loss, a server
// that stops under the program.
#include "DbTestEnv.h"
#include "TestDir.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/ConnectionString.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

QByteArray digest(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList siblings(const QString& file)
{
    const QFileInfo info(file);
    return info.dir().entryList({info.fileName() + u'*'}, QDir::Files);
}

int count(DbConnection& c, const QString& sql)
{
    QSqlQuery q(c.database());
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestDataStoreFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void missingFileIsNotCreated();
    void foreignFileIsRefusedUntouched_data();
    void foreignFileIsRefusedUntouched();
    void compactionShrinksAndKeepsContent();
    void compactionFailsAndTouchesNothing_data();
    void compactionFailsAndTouchesNothing();
    void committedRecordsSurvivePowerLoss();
    void serverStoppedDuringRefresh();

private:
    std::unique_ptr<TestInstallation> m_inst;
};

void TestDataStoreFaults::init()
{
    m_inst = std::make_unique<TestInstallation>();
    TSystem::LoadSettings();
}

void TestDataStoreFaults::missingFileIsNotCreated()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lodgex.mdb"));
    TDataM dm;
    try {
        dm.OpenConnection(ConnectionString::buildJet(file));
        QFAIL("a missing file opened");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains(file), qPrintable(e.message()));
    }
    QVERIFY(!dm.Conn.isOpen());
    QVERIFY(QDir(dir.path()).isEmpty());
}

void TestDataStoreFaults::foreignFileIsRefusedUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("text file") << QByteArray("this is a guest list, not a database\n").repeated(200)
                               << "not a database";
    QTest::newRow("empty file") << QByteArray() << "not a Tolvane database";
    QTest::newRow("truncated header") << QByteArray("SQLite format 3\0", 16) << "not a";
}

void TestDataStoreFaults::foreignFileIsRefusedUntouched()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lodgex.mdb"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    TDataM dm;
    try {
        dm.OpenConnection(ConnectionString::buildJet(file));
        QFAIL("a foreign file opened");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(digest(file), QCryptographicHash::hash(content, QCryptographicHash::Sha256));
    QCOMPARE(siblings(file), QStringList{QStringLiteral("lodgex.mdb")});
}

void TestDataStoreFaults::compactionShrinksAndKeepsContent()
{
    TestDatabase db;
    QTemporaryDir tmp; // the system's temporary folder for the compaction: nothing may be left in it
    {
        TDataM dm;
        dm.OpenConnection(db.connectionString());
        for (int i = 0; i < 3000; ++i)
            dm.WriteLog(QString(200, QChar(u'a' + i % 26)), 4);
        dm.Q_Exec.setSql(QStringLiteral("delete from log where id > 10"));
        dm.Q_Exec.execSql();
    }
    const qint64 before = QFileInfo(db.file()).size() + QFileInfo(db.file() + QStringLiteral("-wal")).size();
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    QVERIFY(CompactAccessFile(db.file(), QString()));
    qunsetenv("TMPDIR");
    QVERIFY(QDir(tmp.path()).isEmpty());
    QVERIFY2(QFileInfo(db.file()).size() < before / 2,
             qPrintable(QString::number(QFileInfo(db.file()).size())));
    QVERIFY(!QFileInfo::exists(db.file() + QStringLiteral("-wal")));

    TDataM dm;
    dm.OpenConnection(db.connectionString());
    QCOMPARE(count(dm.Conn, QStringLiteral("select count(*) from log")), 10);
    QCOMPARE(count(dm.Conn, QStringLiteral("select count(*) from g_right")),
             Installer::rightsCatalogue().size());
    QSqlQuery q(dm.Conn.database());
    QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
    QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
}

void TestDataStoreFaults::compactionFailsAndTouchesNothing_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not a database") << "foreign";
    QTest::newRow("held open by another connection") << "open";
    QTest::newRow("in a read transaction elsewhere") << "reading";
}

void TestDataStoreFaults::compactionFailsAndTouchesNothing()
{
    QFETCH(QString, situation);
    TestDatabase db;
    QTemporaryDir tmp;
    QString file = db.file();
    DbConnection other;
    QSqlQuery reading;
    if (situation == QStringLiteral("missing")) {
        file += QStringLiteral(".gone");
    } else if (situation == QStringLiteral("foreign")) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("not a database at all");
    } else {
        other.openSqlite(file);
        if (situation == QStringLiteral("reading")) {
            reading = QSqlQuery(other.database());
            QVERIFY(reading.exec(QStringLiteral("BEGIN")));
            QVERIFY(reading.exec(QStringLiteral("select count(*) from room")));
        }
    }
    const QByteArray before = digest(file);
    const QStringList filesBefore = siblings(db.file());
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    QVERIFY(!CompactAccessFile(file, QString()));
    qunsetenv("TMPDIR");
    QCOMPARE(digest(file), before);
    QCOMPARE(siblings(db.file()), filesBefore);
    QVERIFY(QDir(tmp.path()).isEmpty());
    if (other.isOpen()) {
        reading = QSqlQuery();
        QCOMPARE(count(other, QStringLiteral("select count(*) from g_right")),
                 Installer::rightsCatalogue().size());
    }
}

void TestDataStoreFaults::committedRecordsSurvivePowerLoss()
{
    if (TestDatabase::engineUnderTest() != Engine::SQLite)
        QSKIP("the file engine's durability");
    const Installer::SampleHotel hotel{1, 1, 2};
    TestDatabase db(&hotel);
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QStringLiteral(TOLVANE_CRASH_WRITER), {db.file()});
    QVERIFY(writer.waitForStarted());
    QByteArray printed;
    while (printed.count('\n') < 300) {
        QVERIFY2(writer.waitForReadyRead(30000), "the writer stopped printing");
        printed += writer.readAllStandardOutput();
    }
    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL); // no chance to close the file
    writer.waitForFinished();
    printed += writer.readAllStandardOutput();
    const QList<QByteArray> lines = printed.trimmed().split('\n');
    const int lastReported = lines.last().toInt();

    TDataM dm;
    dm.OpenConnection(db.connectionString());
    QSqlQuery q(dm.Conn.database());
    QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
    const int stored = count(dm.Conn, QStringLiteral("select count(*) from issue_card_log"));
    QVERIFY2(stored >= lastReported,
             qPrintable(QStringLiteral("%1 stored, %2 reported").arg(stored).arg(lastReported)));
    QCOMPARE(count(dm.Conn, QStringLiteral("select max(cast(card_hard_no as integer)) from issue_card_log")),
             stored);
    // Each record came with its room count; at most the one in flight may lack it.
    const int counted = count(dm.Conn, QStringLiteral("select card_num from room where room_no = '10101'"));
    QVERIFY(counted == stored || counted == stored - 1);
}

void TestDataStoreFaults::serverStoppedDuringRefresh()
{
    if (!TestDatabase::postgresAvailable())
        QSKIP(qPrintable(TestDatabase::postgresMissingReason()));
    // A cluster of its own, so stopping it disturbs no other test. It lives in the system's
    // temporary folder: the server user must reach it, and its socket path must stay short.
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tolvane-pgfault-XXXXXX"));
    const QString script =
        qEnvironmentVariable("TOLVANE_SOURCE_DIR") + QStringLiteral("/scripts/pg-test-cluster.sh");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOLVANE_PG_DIR"), dir.path());
    env.remove(QStringLiteral("TOLVANE_PG_PORT"));
    auto cluster = [&](const QString& command) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(QStringLiteral("bash"), {script, command});
        return p.waitForFinished(120000) && p.exitCode() == 0;
    };
    QVERIFY(cluster(QStringLiteral("start")));
    auto stopCluster = qScopeGuard([&] { cluster(QStringLiteral("stop")); });
    QFile portFile(dir.filePath(QStringLiteral("port")));
    QVERIFY(portFile.open(QIODevice::ReadOnly));
    DbConnection::PgSettings s;
    s.host = dir.path();
    s.port = portFile.readAll().trimmed().toInt();
    s.user = QStringLiteral("postgres");
    s.database = QStringLiteral("lodgex");
    const Installer::SampleHotel hotel{1, 2, 2};
    Installer::initialisePostgres(s, {QStringLiteral("admin"), QStringLiteral("pw")}, &hotel);

    cfg::sys().dataSource = s.host + u',' + QString::number(s.port);
    cfg::sys().userId = s.user;
    cfg::sys().initialCatalog = s.database;
    TDataM dm;
    QVERIFY(dm.ReconnectToServer());
    dm.CountRoomStatus();
    QCOMPARE(dm.RoomCount, 4);

    QVERIFY(cluster(QStringLiteral("halt"))); // the server goes away in the middle of a refresh
    QVERIFY_THROWS_EXCEPTION(DatabaseError, dm.OpenRoomDisplay(false, 0));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, dm.CountRoomStatus());
    dm.InsertIssueLog(QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("AB"), QStringLiteral("0"),
                      QStringLiteral("10101"), QStringLiteral("GuestCard"), QStringLiteral("0"), QString(),
                      QString(), QString(), QDateTime::currentDateTime(),
                      QDateTime::currentDateTime()); // swallowed
    QVERIFY(!dm.ReconnectToServer());
    QVERIFY(!dm.Conn.isOpen());

    QVERIFY(cluster(QStringLiteral("start")));
    QVERIFY(dm.ReconnectToServer());
    dm.CountRoomStatus();
    QCOMPARE(dm.RoomCount, 4);
    QCOMPARE(dm.Q_display.recordCount(), 4);
}

QTEST_GUILESS_MAIN(TestDataStoreFaults)
#include "TestDataStoreFaults.moc"

#include "config/Settings.h"
#include "datastore/ConnectionString.h"

#include <QTest>

class TestConnectionString : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void jetString_data();
    void jetString();
    void sqlServerStringIsExact();
    void sqlServerQuotesEveryValue_data();
    void sqlServerQuotesEveryValue();
    void parse_data();
    void parse();
    void endpoint_data();
    void endpoint();
    void csvStringIsNoDatabase();
};

void TestConnectionString::jetString_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "C:\\Tolvane\\lodgex.mdb"
                           << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Tolvane\\lodgex.mdb;";
    QTest::newRow("blanks inside")
        << "/srv/my hotel/lodgex.mdb"
        << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/my hotel/lodgex.mdb;";
    QTest::newRow("semicolon is quoted") << "/srv/a;b.mdb"
                                         << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source='/srv/a;b.mdb';";
    QTest::newRow("quote is doubled") << "/srv/o'k.mdb"
                                      << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source='/srv/o''k.mdb';";
}

void TestConnectionString::jetString()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QCOMPARE(ConnectionString::buildJet(file), expected);
    const ConnectionString cs = ConnectionString::parse(expected);
    QCOMPARE(cs.engine(), Engine::SQLite);
    QCOMPARE(cs.value(QStringLiteral("data source")), file);
}

void TestConnectionString::sqlServerStringIsExact()
{
    const SysSettings defaults;
    QCOMPARE(ConnectionString::buildSqlServer(defaults),
             QStringLiteral(
                 "Provider=SQLOLEDB.1;Password='';Persist Security Info=True;User ID='sa';Initial "
                 "Catalog='lodgex';Data Source='TOLVANE-SERVER';Extended Properties=\"User "
                 "pwd=t9\";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Workstation "
                 "ID='TOLVANE-SERVER';Use Encryption for Data=False;Tag with column collation when "
                 "possible=False"));
}

void TestConnectionString::sqlServerQuotesEveryValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("single quote") << "it's";
    QTest::newRow("two quotes in a row") << "a''b";
    QTest::newRow("semicolon and equals") << "p;w=d";
    QTest::newRow("double quote") << "say \"hi\"";
    QTest::newRow("blanks around") << "  x  ";
    QTest::newRow("non-Latin") << QStringLiteral("服务器");
}

void TestConnectionString::sqlServerQuotesEveryValue()
{
    QFETCH(QString, value);
    const QString text = ConnectionString::buildSqlServer(value, value, value, value, value);
    QString doubled = value;
    doubled.replace(u'\'', QStringLiteral("''"));
    QVERIFY(text.contains(QStringLiteral(";Password='") + doubled + QStringLiteral("';")));
    QVERIFY(text.contains(QStringLiteral(";Workstation ID='") + doubled + QStringLiteral("';")));
    const ConnectionString cs = ConnectionString::parse(text);
    QCOMPARE(cs.engine(), Engine::PostgreSQL);
    for (const char* key : {"Password", "User ID", "Initial Catalog", "Data Source", "Workstation ID"})
        QCOMPARE(cs.value(QLatin1String(key)), value);
    QCOMPARE(cs.value(QStringLiteral("Extended Properties")), QStringLiteral("User pwd=t9"));
    QCOMPARE(cs.value(QStringLiteral("Use Procedure for Prepare")), QStringLiteral("1"));
    QCOMPARE(cs.value(QStringLiteral("Tag with column collation when possible")), QStringLiteral("False"));
}

void TestConnectionString::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("keys ignore case and blanks") << " provider = SQLOLEDB.1 ; user id = bob "
                                                 << "User ID"
                                                 << "bob";
    QTest::newRow("double-quoted with semicolons") << "A=\"x;y;z\";B=2"
                                                   << "a"
                                                   << "x;y;z";
    QTest::newRow("doubled double quote") << "A=\"say \"\"hi\"\"\";B=2"
                                          << "a"
                                          << "say \"hi\"";
    QTest::newRow("single quotes inside double") << "A=\"it's\""
                                                 << "a"
                                                 << "it's";
    QTest::newRow("blank after closing quote") << "A='v'  ;B=w"
                                               << "b"
                                               << "w";
    QTest::newRow("missing value") << "A=;B=w"
                                   << "a"
                                   << "";
    QTest::newRow("unterminated quote runs to the end") << "A='abc;B=w"
                                                        << "a"
                                                        << "abc;B=w";
    QTest::newRow("last key wins") << "A=1;A=2"
                                   << "a"
                                   << "2";
}

void TestConnectionString::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(ConnectionString::parse(text).value(key), value);
}

void TestConnectionString::endpoint_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("machine name") << "TOLVANE-SERVER"
                                  << "TOLVANE-SERVER" << 5432;
    QTest::newRow("server style port") << "db.example,5433"
                                       << "db.example" << 5433;
    QTest::newRow("colon port") << "10.0.0.5:6000"
                                << "10.0.0.5" << 6000;
    QTest::newRow("socket folder") << "/run/postgresql"
                                   << "/run/postgresql" << 5432;
    QTest::newRow("socket folder with port") << "/tmp/pg dir,25000"
                                             << "/tmp/pg dir" << 25000;
    QTest::newRow("local") << "(local)"
                           << "localhost" << 5432;
    QTest::newRow("not a port") << "host,abc"
                                << "host,abc" << 5432;
}

void TestConnectionString::endpoint()
{
    QFETCH(QString, source);
    QFETCH(QString, host);
    QFETCH(int, port);
    const ConnectionString cs =
        ConnectionString::parse(ConnectionString::buildSqlServer({}, {}, {}, source, {}));
    QCOMPARE(cs.endpoint().host, host);
    QCOMPARE(cs.endpoint().port, port);
}

void TestConnectionString::csvStringIsNoDatabase()
{
    const QString text = ConnectionString::buildCsv(QStringLiteral("d:\\"));
    QCOMPARE(text, QStringLiteral(
                       " Provider=Microsoft.Jet.OLEDB.4.0;Data Source=d:\\;Extended Properties=text;Persist "
                       "Security Info=False"));
    const ConnectionString cs = ConnectionString::parse(text);
    QVERIFY(cs.isCsv());
    QCOMPARE(cs.engine(), Engine::None);
}

QTEST_GUILESS_MAIN(TestConnectionString)
#include "TestConnectionString.moc"

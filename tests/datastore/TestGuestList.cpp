// The CSV guest lists: read through the data module's own text, searched with bound values.
#include "DbTestEnv.h"
#include "TestDir.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/CsvTable.h"
#include "datastore/DatabaseError.h"
#include "datastore/TDataM.h"

#include <QStringEncoder>
#include <QTest>

class TestGuestList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void decodesGbk();
    void connectionOpensBothLists();
    void missingFolderOrFileLeavesListClosed_data();
    void missingFolderOrFileLeavesListClosed();
    void searchBindsTypedText_data();
    void searchBindsTypedText();
    void searchReadsTheFileAgain();
};

void TestGuestList::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::newRow("plain CRLF") << "a,b\r\n1,2\r\n3,4\r\n"
                                << QStringList{"a", "b"} << QList<QStringList>{{"1", "2"}, {"3", "4"}};
    QTest::newRow("quoted commas, quotes, newline")
        << "n,remark\n\"Li, Wei\",\"said \"\"hi\"\"\nthen left\"\n"
        << QStringList{"n", "remark"} << QList<QStringList>{{"Li, Wei", "said \"hi\"\nthen left"}};
    QTest::newRow("no final newline, blank lines skipped")
        << "x\n\n1\n\n2" << QStringList{"x"} << QList<QStringList>{{"1"}, {"2"}};
    QTest::newRow("unnamed and repeated columns")
        << "id,,id\n1,2,3\n"
        << QStringList{"id", "F2", "id2"} << QList<QStringList>{{"1", "2", "3"}};
    QTest::newRow("empty fields kept") << "a,b,c\n,,\n"
                                       << QStringList{"a", "b", "c"} << QList<QStringList>{{"", "", ""}};
}

void TestGuestList::parse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, columns);
    QFETCH(QList<QStringList>, rows);
    const Csv::Table table = Csv::parse(text);
    QCOMPARE(table.columns, columns);
    QCOMPARE(table.rows, rows);
}

void TestGuestList::decodesGbk()
{
    const QString text = QStringLiteral("姓名,房间号\n张三,101\n");
    QStringEncoder gbk("GBK");
    if (!gbk.isValid())
        QSKIP("GBK codec not available");
    QCOMPARE(Csv::decode(gbk.encode(text)), text);
    QCOMPARE(Csv::decode(QByteArray("\xEF\xBB\xBF") + text.toUtf8()), text);
}

namespace {

const QString kGuests = QStringLiteral("WorkID,Name,UserGroup,checkout,roomno\r\n"
                                       "1001,\"O'Brien, Pat\",Blue,2024-06-30,10101\r\n"
                                       "1002,张三,Green,2024-06-30,10102\r\n"
                                       "1003,100% Sure,Blue,2024-07-01,10201\r\n"
                                       "1004,Under_Score,Red,2024-07-01,10202\r\n");

struct Desk
{
    TestInstallation inst;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TDataM> dm;

    Desk(const QString& sysIni, const QString& guestFile, const QByteArray& guests)
    {
        inst.write(QStringLiteral("sys.ini"), sysIni);
        if (!guestFile.isEmpty())
            inst.write(guestFile, guests);
        TSystem::LoadSettings();
        db = std::make_unique<TestDatabase>();
        dm = std::make_unique<TDataM>();
        dm->OpenConnection(db->connectionString());
    }
};

} // namespace

void TestGuestList::connectionOpensBothLists()
{
    Desk desk(QStringLiteral("[sys]\r\ncsvpath_yfk=d:\\pre\\\r\ncsvname_yfk=pre.csv\r\n"),
              QStringLiteral("drives/d/数据文件样例.csv"), QByteArray("\xEF\xBB\xBF") + kGuests.toUtf8());
    desk.inst.write(QStringLiteral("drives/d/pre/pre.csv"), QStringLiteral("a,b\n1,2\n"));
    desk.dm->ConnAfterConnect();
    DataSet& list = desk.dm->Q_csv;
    QVERIFY(list.isOpen());
    QCOMPARE(list.sql(), QStringLiteral("Select   *   from  数据文件样例.csv"));
    QCOMPARE(list.recordCount(), 4);
    QCOMPARE(list.fieldNames(), (QStringList{"WorkID", "Name", "UserGroup", "checkout", "roomno"}));
    QCOMPARE(list.field(QStringLiteral("name")).toString(), QStringLiteral("O'Brien, Pat"));
    QVERIFY(list.locate(QStringLiteral("roomno"), QStringLiteral("10102")));
    QCOMPARE(list.field(QStringLiteral("Name")).toString(), QStringLiteral("张三"));
    QVERIFY(desk.dm->Q_csv_yfk.isOpen());
    QCOMPARE(desk.dm->Q_csv_yfk.recordCount(), 1);
}

void TestGuestList::missingFolderOrFileLeavesListClosed_data()
{
    QTest::addColumn<QString>("sysIni");
    QTest::newRow("missing folder") << "[sys]\r\ncsvpath=d:\\nowhere\\\r\n";
    QTest::newRow("missing file") << "[sys]\r\ncsvname=other.csv\r\n";
    QTest::newRow("name that is no table") << "[sys]\r\ncsvname=a.b.c.csv\r\n";
}

void TestGuestList::missingFolderOrFileLeavesListClosed()
{
    QFETCH(QString, sysIni);
    Desk desk(sysIni, QStringLiteral("drives/d/数据文件样例.csv"), kGuests.toUtf8());
    desk.inst.write(QStringLiteral("drives/d/a.b.c.csv"), kGuests.toUtf8());
    desk.dm->ConnAfterConnect(); // no error
    QVERIFY(!desk.dm->Q_csv.isOpen());
    QVERIFY(desk.dm->Q_display.isOpen());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, desk.dm->OpenGuestListSearch({}));
}

void TestGuestList::searchBindsTypedText_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("workIds");
    QTest::newRow("quote in the name") << "Name"
                                       << "O'Brien" << QStringList{"1001"};
    QTest::newRow("part of a name, any case") << "Name"
                                              << "u" << QStringList{"1003", "1004"};
    QTest::newRow("non-Latin") << "Name"
                               << "张" << QStringList{"1002"};
    QTest::newRow("injection attempt finds nothing") << "Name"
                                                     << "' or '1'='1" << QStringList{};
    QTest::newRow("room number") << "roomno"
                                 << "1020" << QStringList{"1003", "1004"};
    QTest::newRow("column name with a quote") << "Na\"me"
                                              << "x" << QStringList{};
}

void TestGuestList::searchBindsTypedText()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QStringList, workIds);
    Desk desk(QString(), QStringLiteral("drives/d/数据文件样例.csv"), kGuests.toUtf8());
    try {
        desk.dm->OpenGuestListSearch({{column, text}, {QStringLiteral("UserGroup"), QString()}});
    } catch (const DatabaseError&) {
        QVERIFY(workIds.isEmpty()); // an unknown column is an error, never a changed statement
        return;
    }
    QStringList found;
    DataSet& list = desk.dm->Q_csv;
    for (list.first(); !list.eof(); list.next())
        found.append(list.field(QStringLiteral("WorkID")).toString());
    QCOMPARE(found, workIds);
}

void TestGuestList::searchReadsTheFileAgain()
{
    Desk desk(QString(), QStringLiteral("drives/d/数据文件样例.csv"), kGuests.toUtf8());
    desk.dm->OpenGuestListSearch({});
    QCOMPARE(desk.dm->Q_csv.recordCount(), 4);
    desk.inst.write(QStringLiteral("drives/d/数据文件样例.csv"),
                    kGuests.toUtf8() + "1005,New,Blue,2024-07-02,20101\r\n");
    desk.dm->OpenGuestListSearch({{QStringLiteral("UserGroup"), QStringLiteral("Blue")}});
    QCOMPARE(desk.dm->Q_csv.recordCount(), 3);
}

QTEST_GUILESS_MAIN(TestGuestList)
#include "TestGuestList.moc"

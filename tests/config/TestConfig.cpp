#include "TestDir.h"
#include "config/Settings.h"
#include "config/TSystem.h"

#include <QTest>

class TestConfig : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void defaultsWithoutAnyFile();
    void sysValuesAndByteWrapping_data();
    void sysValuesAndByteWrapping();
    void keysWithSpacesAndQuotes();
    void invalidTimesKeepDefaultsAndLoadTheRest();
    void textTables();
    void cardTypes();
    void garbageFilesLoadWithDefaults();
    void lockHandOver();
};

void TestConfig::defaultsWithoutAnyFile()
{
    TestInstallation inst;
    TSystem::LoadSettings();
    const SysSettings& s = cfg::sys();
    QCOMPARE(s.checkout_time, QTime(12, 0));
    QCOMPARE(s.dayout_time, QTime(6, 0));
    QCOMPARE(s.max_card, 10);
    QCOMPARE(s.cols_num, 20);
    QCOMPARE(s.bgkd, 48);
    QCOMPARE(s.font_size, 10);
    QCOMPARE(s.com, 1);
    QCOMPARE(s.sector, 1);
    QCOMPARE(s.tqfk, 1);
    QCOMPARE(s.tqsj, 2);
    QCOMPARE(s.drts, 1);
    QCOMPARE(s.IssueBackDays, 30);
    QCOMPARE(s.userId, QStringLiteral("sa"));
    QCOMPARE(s.initialCatalog, QStringLiteral("lodgex"));
    QCOMPARE(s.dataSource, s.workstationId);
    QCOMPARE(s.csvpath, QStringLiteral("d:\\"));
    QCOMPARE(s.csvname, QStringLiteral("数据文件样例.csv"));
    QCOMPARE(s.csvname_yfk, QStringLiteral("预发卡数据文件样例.csv"));
    QCOMPARE(s.filename[4], QStringLiteral("roomno"));
    QCOMPARE(s.filecaption[3], QStringLiteral("毕业时间"));
    QCOMPARE(s.backupFolder, QStringLiteral("d:\\TOLBAK\\"));
    QVERIFY(cfg::loadWarnings().isEmpty());
    QCOMPARE(cfg::codes().GC_NOCARDCANCEL, QStringLiteral("GC_NOCARDCANCEL"));
    QCOMPARE(cfg::codes().room_empty, QStringLiteral("room_empty"));
}

void TestConfig::sysValuesAndByteWrapping_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("max_card");
    QTest::newRow("in range") << "max_card=12" << 12;
    QTest::newRow("wraps to 8 bits") << "max_card=300" << 44;
    QTest::newRow("negative wraps") << "max_card=-1" << 255;
    QTest::newRow("not a number") << "max_card=many" << 10;
    QTest::newRow("beyond 32 bits") << "max_card=12345678901234" << 10;
}

void TestConfig::sysValuesAndByteWrapping()
{
    QFETCH(QString, line);
    QFETCH(int, max_card);
    TestInstallation inst;
    inst.write("sys.ini", QStringLiteral("[sys]\n%1\ncom=258\nbgkd=300\n").arg(line));
    TSystem::LoadSettings();
    QCOMPARE(int(cfg::sys().max_card), max_card);
    QCOMPARE(int(cfg::sys().com), 2);
    QCOMPARE(cfg::sys().bgkd, 300); // a plain integer, not a byte
}

void TestConfig::keysWithSpacesAndQuotes()
{
    TestInstallation inst;
    inst.write("sys.ini", QStringLiteral("[SYS]\nuser id=hotel\nInitial Catalog = lodge\npassword='p;w'\n"
                                         "Data Source=db.local,5433\nsys_sqcode1=18\nsys_sqcode4=$FF\n"));
    TSystem::LoadSettings();
    QCOMPARE(cfg::sys().userId, QStringLiteral("hotel"));
    QCOMPARE(cfg::sys().initialCatalog, QStringLiteral("lodge"));
    QCOMPARE(cfg::sys().password, QStringLiteral("p;w"));
    QCOMPARE(cfg::sys().dataSource, QStringLiteral("db.local,5433"));
    QCOMPARE(cfg::sys().siteCode()[0], quint8(18));
    QCOMPARE(cfg::sys().siteCode()[3], quint8(255));
}

void TestConfig::invalidTimesKeepDefaultsAndLoadTheRest()
{
    TestInstallation inst;
    inst.write("sys.ini", QStringLiteral("[sys]\ncheckout_time=25:99\ndayout_time=7:30\nmax_card=4\n"));
    inst.write("ic.ini", QStringLiteral("[except]\n48=Cannot open the encoder\n"));
    TSystem::LoadSettings();
    QCOMPARE(cfg::sys().checkout_time, QTime(12, 0));
    QCOMPARE(cfg::sys().dayout_time, QTime(7, 30));
    QCOMPARE(cfg::sys().max_card, 4);
    QCOMPARE(cfg::texts().except(48), QStringLiteral("Cannot open the encoder"));
    QCOMPARE(cfg::loadWarnings().size(), 1);
    QVERIFY(cfg::loadWarnings().first().contains("checkout_time"));
    QVERIFY(cfg::loadWarnings().first().contains("25:99"));
}

void TestConfig::textTables()
{
    TestInstallation inst;
    inst.write("ic.ini", QStringLiteral("[except]\n48=no encoder\n200=beyond\n[label]\n0=zero\n[state]\n036=padded\n"
                                        "[code]\nroom_used=占用\n"));
    TSystem::LoadTexts();
    const TextTables& t = cfg::texts();
    QCOMPARE(t.except(48), QStringLiteral("no encoder"));
    QCOMPARE(t.except(47), QStringLiteral("error47"));
    QCOMPARE(t.except(200), QStringLiteral("error200")); // keys beyond the table are ignored
    QCOMPARE(t.label(0), QStringLiteral("zero"));
    QCOMPARE(t.label(254), QStringLiteral("label254"));
    QCOMPARE(TextTables::size(TextTables::Label), 255);
    QCOMPARE(TextTables::size(TextTables::Version), 5);
    QCOMPARE(t.state(36), QStringLiteral("state36")); // "036" is not the key "36"
    QCOMPARE(t.version(1), QStringLiteral("version1"));
    QCOMPARE(t.log(199), QStringLiteral("log199"));
    QCOMPARE(cfg::codes().room_used, QStringLiteral("占用"));
    QCOMPARE(cfg::codes().room_empty, QStringLiteral("room_empty"));
}

void TestConfig::cardTypes()
{
    TestInstallation inst;
    TSystem::LoadCardTypes();
    for (const Rcards& r : cfg::cardTypes()) {
        QCOMPARE(r.card_type, 0);
        QCOMPARE(r.card_status, 0);
        QCOMPARE(r.card_name, QStringLiteral("GuestCard"));
    }
    inst.write("SetCard.ini", QStringLiteral("[0]\ncard_status=289\ncard_name=Guest\n[21]\ncard_type=3\ncard_name=Gate\n"));
    TSystem::LoadCardTypes();
    QCOMPARE(cfg::cardTypes()[0].card_name, QStringLiteral("Guest"));
    QCOMPARE(cfg::guestCardStatus(), quint8(33));
    QCOMPARE(cfg::cardTypes()[21].card_type, 3);
}

void TestConfig::garbageFilesLoadWithDefaults()
{
    TestInstallation inst;
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919) % 256));
    inst.write("sys.ini", QByteArray("[sys\n=novalue\n[[]]\n") + junk + "\n[sys]\ncom=999999999999999\n");
    inst.write("ic.ini", junk);
    inst.write("SetCard.ini", QByteArray("[0]\ncard_type=\xff\xfe\n[") + junk);
    TSystem::LoadSettings();
    QCOMPARE(cfg::sys().com, 1);
    QCOMPARE(cfg::texts().except(5), QStringLiteral("error5"));
    QCOMPARE(cfg::cardTypes()[0].card_type, 0);
}

void TestConfig::lockHandOver()
{
    TestInstallation inst;
    const QDateTime now(QDate(2024, 5, 6), QTime(9, 0));
    QVERIFY(!readLockHandOver(now));
    inst.write("lock.ini", QStringLiteral("[brimtal]\nroom_no=203\n"));
    const auto h = readLockHandOver(now);
    QVERIFY(h);
    QCOMPARE(h->room_no, QStringLiteral("203"));
    QCOMPARE(h->end_time, now.addDays(1));
    QCOMPARE(h->guest_name, QStringLiteral("guest"));
}

QTEST_GUILESS_MAIN(TestConfig)
#include "TestConfig.moc"

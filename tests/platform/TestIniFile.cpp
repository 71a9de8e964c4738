#include "TestDir.h"
#include "platform/IniFile.h"

#include <QStringEncoder>
#include <QTest>

class TestIniFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsLikeWindows();
    void integers_data();
    void integers();
    void writesKeepTheRestOfTheFile();
    void writeAddsKeysAndSections();
    void bomIsToleratedAndKept();
    void gbkFilesReadAndWriteBackAsGbk();
    void missingFileIsEmptyAndCreatedOnWrite();
    void dateTimes();
};

void TestIniFile::readsLikeWindows()
{
    TestInstallation inst;
    inst.write("a.ini", QStringLiteral("; comment\r\n[SYS]\r\n  User ID = sa2 \r\nPassword=\"it's\"\r\n"
                                       "garbage line without equals\r\nempty=\r\n[other]\r\nuser id=no\r\n"));
    IniFile ini(inst.path("a.ini"));
    QCOMPARE(ini.readString("sys", "user id", "x"), QStringLiteral("sa2"));
    QCOMPARE(ini.readString("Sys", "PASSWORD", "x"), QStringLiteral("it's"));
    QCOMPARE(ini.readString("sys", "empty", "x"), QString());
    QCOMPARE(ini.readString("sys", "missing", "dflt"), QStringLiteral("dflt"));
    QCOMPARE(ini.readString("nosection", "user id", "dflt"), QStringLiteral("dflt"));
    QVERIFY(ini.sectionExists("Other"));
    QCOMPARE(ini.keys("sys"), (QStringList{"User ID", "Password", "empty"}));
}

void TestIniFile::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << "300" << 300;
    QTest::newRow("blanks") << "  12 " << 12;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("hex dollar") << "$1F" << 31;
    QTest::newRow("hex 0x") << "0x10" << 16;
    QTest::newRow("not a number") << "ten" << 77;
    QTest::newRow("trailing junk") << "12abc" << 77;
    QTest::newRow("huge") << "99999999999999999999" << 77;
    QTest::newRow("beyond 32 bits") << "4294967296" << 77;
    QTest::newRow("empty") << "" << 77;
    QTest::newRow("double sign") << "--3" << 77;
}

void TestIniFile::integers()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    TestInstallation inst;
    inst.write("a.ini", QStringLiteral("[s]\nk=") + text + u'\n');
    QCOMPARE(IniFile(inst.path("a.ini")).readInteger("s", "k", 77), expected);
}

void TestIniFile::writesKeepTheRestOfTheFile()
{
    TestInstallation inst;
    const QByteArray original = "; keep me\r\n[sys]\r\ncom=5\r\n  odd line\r\nmax_card=10\r\n\r\n[ports]\r\nCOM1=/dev/x\r\n";
    inst.write("sys.ini", original);
    IniFile ini(inst.path("sys.ini"));
    ini.writeInteger("SYS", "COM", 1);
    QByteArray expected = original;
    expected.replace("com=5", "COM=1");
    QCOMPARE(inst.read("sys.ini"), expected);
    QCOMPARE(IniFile(inst.path("sys.ini")).readInteger("sys", "com", 0), 1);
}

void TestIniFile::writeAddsKeysAndSections()
{
    TestInstallation inst;
    inst.write("sys.ini", QByteArray("[sys]\ncom=5\n\n[b]\nx=1\n"));
    IniFile ini(inst.path("sys.ini"));
    ini.writeString("sys", "lastbackup", "2024-05-06");
    ini.writeString("new", "k", "v");
    QCOMPARE(inst.read("sys.ini"), QByteArray("[sys]\ncom=5\nlastbackup=2024-05-06\n\n[b]\nx=1\n\n[new]\nk=v\n"));
}

void TestIniFile::bomIsToleratedAndKept()
{
    TestInstallation inst;
    inst.write("ic.ini", QByteArray("\xEF\xBB\xBF[label]\r\n1=用户名\r\n"));
    IniFile ini(inst.path("ic.ini"));
    QCOMPARE(ini.readString("label", "1", ""), QStringLiteral("用户名"));
    ini.writeString("label", "2", "密码");
    QVERIFY(inst.read("ic.ini").startsWith("\xEF\xBB\xBF[label]\r\n1="));
    QCOMPARE(IniFile(inst.path("ic.ini")).readString("label", "2", ""), QStringLiteral("密码"));
}

void TestIniFile::gbkFilesReadAndWriteBackAsGbk()
{
    QStringEncoder gbk("GBK");
    QVERIFY2(gbk.isValid(), "GBK converter missing");
    TestInstallation inst;
    const QByteArray bytes = gbk.encode(QStringLiteral("[sys]\r\ncsvname=数据文件样例.csv\r\n"));
    inst.write("sys.ini", bytes);
    IniFile ini(inst.path("sys.ini"));
    QCOMPARE(ini.readString("sys", "csvname", ""), QStringLiteral("数据文件样例.csv"));
    ini.writeInteger("sys", "com", 2);
    QCOMPARE(inst.read("sys.ini"), gbk.encode(QStringLiteral("[sys]\r\ncsvname=数据文件样例.csv\r\ncom=2\r\n")));
}

void TestIniFile::missingFileIsEmptyAndCreatedOnWrite()
{
    TestInstallation inst;
    IniFile ini(inst.path("none.ini"));
    QVERIFY(!ini.exists());
    QCOMPARE(ini.readInteger("sys", "com", 3), 3);
    ini.writeInteger("sys", "com", 1);
    QCOMPARE(IniFile(inst.path("none.ini")).readInteger("sys", "com", 3), 1);
}

void TestIniFile::dateTimes()
{
    TestInstallation inst;
    inst.write("lock.ini", QByteArray("[brimtal]\nend_time=2024-05-08 12:00:00\nbad=someday\nshort=2024-5-8 9:05\n"));
    IniFile ini(inst.path("lock.ini"));
    const QDateTime fallback(QDate(2000, 1, 1), QTime(0, 0));
    QCOMPARE(ini.readDateTime("brimtal", "end_time", fallback), QDateTime(QDate(2024, 5, 8), QTime(12, 0)));
    QCOMPARE(ini.readDateTime("brimtal", "short", fallback), QDateTime(QDate(2024, 5, 8), QTime(9, 5)));
    QCOMPARE(ini.readDateTime("brimtal", "bad", fallback), fallback);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "TestIniFile.moc"

#include "TestDir.h"
#include "platform/WinPath.h"

#include <QTest>

class TestWinPath : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void translations();
};

void TestWinPath::translations()
{
    TestInstallation inst;
    inst.write("bmp/0.bmp", QByteArray("x"));
    inst.write("lodgex.mdb", QByteArray("x"));
    const QString root = inst.root();
    QCOMPARE(WinPath::toLocal(".\\bmp\\0.bmp"), root + "/bmp/0.bmp");
    QCOMPARE(WinPath::toLocal("LODGEX.MDB"), root + "/lodgex.mdb");
    QCOMPARE(WinPath::toLocal(".\\BMP\\0.BMP"), root + "/bmp/0.bmp");
    QCOMPARE(WinPath::toLocal("d:\\TOLBAK\\"), root + "/drives/d/TOLBAK/");
    QCOMPARE(WinPath::toLocal("sub\\..\\ico\\1.ico"), root + "/ico/1.ico");
    qputenv("TOLVANE_DRIVE_D", "/srv/backup");
    QCOMPARE(WinPath::toLocal("D:\\TOLBAK\\20240506.mdb"), QStringLiteral("/srv/backup/TOLBAK/20240506.mdb"));
    qunsetenv("TOLVANE_DRIVE_D");
    QCOMPARE(WinPath::toLocal("/var/tmp/x.db"), QStringLiteral("/var/tmp/x.db"));
}

QTEST_GUILESS_MAIN(TestWinPath)
#include "TestWinPath.moc"

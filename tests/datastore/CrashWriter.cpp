// Records guest cards into a database file as fast as it can and prints each card's serial once
// InsertIssueLog has returned (its record committed). The power-loss test kills it mid-way.
#include "config/TSystem.h"
#include "datastore/ConnectionString.h"
#include "datastore/TDataM.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    TSystem::LoadSettings();
    TDataM dm;
    dm.OpenConnection(ConnectionString::buildJet(QString::fromLocal8Bit(argv[1])));
    const QDateTime in = QDateTime::currentDateTime();
    for (int serial = 1; serial < 1000000; ++serial) {
        dm.InsertIssueLog(QString::number(serial), QStringLiteral("writer"),
                          QStringLiteral("%1").arg(serial, 64, 10, QLatin1Char('0')), QStringLiteral("0"),
                          QStringLiteral("10101"), QStringLiteral("GuestCard"), QStringLiteral("0"),
                          QString(), QString(), QStringLiteral("guest"), in, in.addDays(1));
        std::printf("%d\n", serial);
        std::fflush(stdout);
    }
    return 0;
}

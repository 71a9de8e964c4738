#include "app/DemoInstallation.h"

#include "card/TEncrypt.h"
#include "config/Settings.h"
#include "datastore/DataSet.h"
#include "datastore/DbConnection.h"
#include "datastore/Installer.h"
#include "datastore/SqlValue.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <stdexcept>

namespace DemoInstallation {
namespace {

void copyFile(const QString& from, const QString& to, bool overwrite)
{
    if (QFile::exists(to)) {
        if (!overwrite)
            return;
        QFile::remove(to);
    }
    if (!QFile::copy(from, to))
        throw std::runtime_error(("cannot copy " + from + " to " + to).toStdString());
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

void setRoom(DbConnection& db, const QString& room, const QString& status, int cards)
{
    DataSet q;
    q.setConnection(&db);
    q.setSql(QStringLiteral("update room set room_status_code = :s, card_num = :n where room_no = :r"));
    q.bindValue(QStringLiteral("s"), status);
    q.bindValue(QStringLiteral("n"), cards);
    q.bindValue(QStringLiteral("r"), room);
    q.execSql();
}

void addGuestCard(DbConnection& db, const QString& room, int serial, const QString& guest,
                  const QDateTime& now)
{
    DataSet q;
    q.setConnection(&db);
    q.setSql(QStringLiteral(
        "insert into "
        "issue_card_log(card_hard_no,publish_datetime,publish_operator,card_status_code,checkin_datetime,"
        "checkout_datetime,own_name,own_id,remark,card_type,card_type_name,room_no,yn_loss,card_date_hex) "
        "values(:no,:pub,:op,:st,:in,:out,:name,'','',0,'Guest Card',:room,0,:hex)"));
    q.bindValue(QStringLiteral("no"), QString::number(serial));
    q.bindValue(QStringLiteral("pub"), now.addSecs(-3600));
    q.bindValue(QStringLiteral("op"), QStringLiteral("Front Desk"));
    q.bindValue(QStringLiteral("st"), QStringLiteral("GC_AVAILABLE"));
    q.bindValue(QStringLiteral("in"), now.addSecs(-3 * 3600));
    q.bindValue(QStringLiteral("out"), QDateTime(now.date().addDays(1), QTime(12, 0)));
    q.bindValue(QStringLiteral("name"), guest);
    q.bindValue(QStringLiteral("room"), room);
    q.bindValue(QStringLiteral("hex"), QStringLiteral("%1").arg(serial, 64, 16, QLatin1Char('0')).toUpper());
    q.execSql();
}

} // namespace

QString installDataDir()
{
    const QString fromEnv = qEnvironmentVariable("TOLVANE_INSTALL_DATA");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QStringLiteral(TOLVANE_INSTALL_DATA_DIR);
}

void copyInstallData(const QString& folder, const QString& language, bool overwrite)
{
    const QDir source(installDataDir());
    const QDir target(folder);
    if (!target.mkpath(QStringLiteral("bmp")) || !target.mkpath(QStringLiteral("ico")))
        throw std::runtime_error(("cannot create " + folder).toStdString());
    for (const char* name : {"sys.ini", "SetCard.ini", "skin.skn"})
        copyFile(source.filePath(QLatin1String(name)), target.filePath(QLatin1String(name)), overwrite);
    copyFile(source.filePath(QStringLiteral("ic.ini.") + language), target.filePath(QStringLiteral("ic.ini")),
             overwrite);
    for (const char* sub : {"bmp", "ico"}) {
        const QDir pictures(source.filePath(QLatin1String(sub)));
        for (const QString& file : pictures.entryList(QDir::Files))
            copyFile(pictures.filePath(file), target.filePath(QLatin1String(sub) + u'/' + file), overwrite);
    }
}

void createDatabase(const QString& file, const QString& operatorName, const QString& password,
                    bool showStates)
{
    const Installer::SampleHotel hotel{2, 4, 12};
    Installer::createSqliteFile(file, {operatorName, password}, &hotel);
    if (!showStates)
        return;
    DbConnection db;
    db.openSqlite(file);
    const QDateTime now = Clock::instance().now();
    int serial = 0x3A000001;
    const struct
    {
        int floor;
        int index;
        const char* status;
        int cards;
    } rooms[] = {{1, 2, "room_used", 1},  {1, 5, "room_used", 3},   {2, 1, "room_used", 2},
                 {2, 7, "room_used", 1},  {3, 3, "room_used", 1},   {1, 8, "room_dirty", 0},
                 {2, 4, "room_dirty", 0}, {3, 9, "room_repair", 0}, {4, 2, "room_reserve", 0},
                 {4, 6, "room_self", 0},  {4, 11, "room_closed", 0}};
    const QStringList guests{"Ana Ruiz", "Tomas Berg", "Li Wei", "Sara Kaya", "Jon Eliassen", "Mira Novak"};
    int g = 0;
    for (const auto& r : rooms) {
        const QString room = Installer::sampleRoomNumber(1, r.floor, r.index);
        setRoom(db, room, QLatin1String(r.status), r.cards);
        for (int c = 0; c < r.cards; ++c)
            addGuestCard(db, room, serial++, guests[g++ % guests.size()], now);
    }
    db.close();
}

int ensureSiteCode(const QString& folder)
{
    IniFile sys(QDir(folder).filePath(QStringLiteral("sys.ini")));
    int first = sys.readInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode1"), 0) & 0xFF;
    if (first != 0)
        return first;
    auto* random = QRandomGenerator::global();
    first = static_cast<int>(random->bounded(1, 255)); // never 0: a first byte of 0 cannot sign cards
    sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode1"), first);
    for (int i = 2; i <= 4; ++i)
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode%1").arg(i),
                         static_cast<int>(random->bounded(0, 256)));
    return first;
}

} // namespace DemoInstallation

#include "config/TSystem.h"

#include "card/TCard.h"
#include "config/Settings.h"
#include "platform/IniFile.h"
#include "platform/WinPath.h"

#include <QFileInfo>

namespace {

quint8 asByte(int value)
{
    return static_cast<quint8>(value & 0xFF);
}

QString sysSection()
{
    return QStringLiteral("sys");
}

QTime readTime(const IniFile& ini, const char* key, const QTime& fallback)
{
    const QString text = ini.readString(sysSection(), QLatin1String(key), TSystem::formatTime(fallback));
    if (const auto t = TSystem::parseTime(text))
        return *t;
    cfg::loadWarnings().append(QStringLiteral("sys.ini: \"%1\" is not a valid time for %2; %3 is used instead.")
                                   .arg(text, QLatin1String(key), TSystem::formatTime(fallback)));
    return fallback;
}

} // namespace

std::optional<QTime> TSystem::parseTime(const QString& text)
{
    const QString t = text.trimmed();
    for (const char* format : {"H:mm:ss", "H:mm", "H:mm:ss.zzz", "h:mm:ss AP", "h:mm AP"}) {
        const QTime time = QTime::fromString(t, QLatin1String(format));
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

QString TSystem::formatTime(const QTime& time)
{
    return time.toString(QStringLiteral("H:mm:ss"));
}

void TSystem::LoadSettings()
{
    cfg::loadWarnings().clear();
    cfg::replaceSysIni(std::make_unique<IniFile>(cfg::sysIniPath()));
    const IniFile& ini = cfg::sysIni();
    SysSettings s;
    const QString sec = sysSection();
    auto integer = [&](const QString& key, int fallback) { return ini.readInteger(sec, key, fallback); };
    auto byte = [&](const QString& key, int fallback) { return asByte(integer(key, fallback)); };
    auto string = [&](const QString& key, const QString& fallback) { return ini.readString(sec, key, fallback); };

    s.checkout_time = readTime(ini, "checkout_time", s.checkout_time);
    s.dayout_time = readTime(ini, "dayout_time", s.dayout_time);
    s.max_card = byte("max_card", 10);
    s.database = string("database", QString());
    s.cols_num = byte("cols_num", 20);
    s.bgkd = integer("bgkd", 48);
    s.xp = byte("xp", 0);
    s.font_size = byte("font_size", 10);
    s.com = byte("com", 1);
    s.ishdxk = byte("ishdxk", 0);
    s.hdsq = byte("hdsq", 0);
    s.sys_num = byte("sys_num", 0);
    s.sys_type = byte("sys_type", 0);
    s.IssueBackDays = integer("IssueBackDays", 30);
    s.password = string("password", QString());
    s.userId = string("User ID", s.userId);
    s.initialCatalog = string("Initial Catalog", s.initialCatalog);
    s.dataSource = string("Data Source", s.dataSource);
    s.workstationId = string("WorkstationID", s.workstationId);
    for (int i = 0; i < 4; ++i)
        s.sys_sqcode[static_cast<size_t>(i)] = integer(QStringLiteral("sys_sqcode%1").arg(i + 1), 0);
    s.sector = byte("sector", 1);
    s.isfgfk = byte("isfgfk", 0);
    s.tqfk = byte("tqfk", 1);
    s.tqsj = integer("tqsj", 2);
    s.drts = byte("drts", 1);
    s.isxsxxdr = byte("isxsxxdr", 0);
    s.csvpath = string("csvpath", s.csvpath);
    s.csvname = string("csvname", s.csvname);
    s.csvpath_yfk = string("csvpath_yfk", s.csvpath_yfk);
    s.csvname_yfk = string("csvname_yfk", s.csvname_yfk);
    for (size_t i = 0; i < 5; ++i) {
        s.filename[i] = string(QStringLiteral("filename%1").arg(i + 1), s.filename[i]);
        s.filecaption[i] = string(QStringLiteral("filecaption%1").arg(i + 1), s.filecaption[i]);
    }
    s.lastbackup = string("lastbackup", QString());
    s.backupFolder = QStringLiteral("d:\\TOLBAK\\");
    cfg::sys() = s;

    LoadTexts();
    LoadCardTypes();
    ResetGlobalCard();
}

void TSystem::LoadTexts()
{
    const IniFile ini(cfg::icIniPath());
    StatusCodes& c = cfg::codes();
    const QString code = QStringLiteral("code");
    auto read = [&](QString& field, const char* key) {
        field = ini.readString(code, QLatin1String(key), QLatin1String(key));
    };
    read(c.room_empty, "room_empty");
    read(c.room_used, "room_used");
    read(c.room_dirty, "room_dirty");
    read(c.room_reserve, "room_reserve");
    read(c.room_self, "room_self");
    read(c.room_repair, "room_repair");
    read(c.room_closed, "room_closed");
    read(c.GC_AVAILABLE, "GC_AVAILABLE");
    read(c.GC_ISCANCEL, "GC_ISCANCEL");
    read(c.GC_NOCARDCANCEL, "GC_NOCARDCANCEL");
    read(c.GC_AUTOCANCEL, "GC_AUTOCANCEL");
    read(c.GC_LOSSCANCEL, "GC_LOSSCANCEL");

    TextTables tables;
    for (int t = 0; t < TextTables::TableCount; ++t) {
        const auto table = static_cast<TextTables::Table>(t);
        const QString section = TextTables::sectionName(table);
        for (int i = 0; i < TextTables::size(table); ++i)
            tables.set(table, i, ini.readString(section, QString::number(i), TextTables::defaultText(table, i)));
    }
    cfg::texts() = tables;
}

void TSystem::LoadCardTypes()
{
    const IniFile ini(cfg::setCardIniPath());
    auto& types = cfg::cardTypes();
    for (int i = 0; i < cfg::kCardTypeCount; ++i) {
        const QString section = QString::number(i);
        Rcards r;
        r.card_type = ini.readInteger(section, QStringLiteral("card_type"), 0);
        r.card_status = ini.readInteger(section, QStringLiteral("card_status"), 0);
        r.card_name = ini.readString(section, QStringLiteral("card_name"), QStringLiteral("GuestCard"));
        r.card_memo = ini.readInteger(section, QStringLiteral("card_memo"), 0);
        r.card_info = ini.readString(section, QStringLiteral("card_info"), QString());
        r.card_right = ini.readInteger(section, QStringLiteral("card_right"), 0);
        types[static_cast<size_t>(i)] = r;
    }
    cfg::guestCardStatus() = static_cast<quint8>(types[0].card_status & 0xFF);
}

std::optional<LockHandOver> readLockHandOver(const QDateTime& now)
{
    const QString path = cfg::lockIniPath();
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const IniFile ini(path);
    const QString section = QStringLiteral("brimtal");
    LockHandOver h;
    h.room_no = ini.readString(section, QStringLiteral("room_no"), QString());
    h.end_time = ini.readDateTime(section, QStringLiteral("end_time"), now.addDays(1));
    h.guest_name = ini.readString(section, QStringLiteral("guest_name"), QStringLiteral("guest"));
    return h;
}

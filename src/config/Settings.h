#pragma once

#include "platform/IniFile.h"

#include <QMutex>
#include <QRecursiveMutex>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <memory>

// Process-wide settings of section [sys] of sys.ini, loaded by TSystem::LoadSettings.
// "byte" settings are kept in 8 bits, as the card format and the screens expect.
struct SysSettings
{
    static constexpr const char* kDefaultMachine = "TOLVANE-SERVER";

    QTime checkout_time{12, 0, 0};
    QTime dayout_time{6, 0, 0};
    quint8 max_card = 10;
    QString database;
    quint8 cols_num = 20;
    int bgkd = 48;
    quint8 xp = 0;
    quint8 font_size = 10;
    quint8 com = 1;
    quint8 ishdxk = 0;
    quint8 hdsq = 0;
    quint8 sys_num = 0;
    quint8 sys_type = 0;
    int IssueBackDays = 30;
    QString password;
    QString userId = QStringLiteral("sa");
    QString initialCatalog = QStringLiteral("lodgex");
    QString dataSource = QLatin1String(kDefaultMachine);
    QString workstationId = QLatin1String(kDefaultMachine);
    std::array<int, 4> sys_sqcode{0, 0, 0, 0};
    quint8 sector = 1;
    quint8 isfgfk = 0;
    quint8 tqfk = 1;
    int tqsj = 2;
    quint8 drts = 1;
    quint8 isxsxxdr = 0;
    QString csvpath = QStringLiteral("d:\\");
    QString csvname = QStringLiteral("数据文件样例.csv");
    QString csvpath_yfk = QStringLiteral("d:\\");
    QString csvname_yfk = QStringLiteral("预发卡数据文件样例.csv");
    std::array<QString, 5> filename{QStringLiteral("WorkID"), QStringLiteral("Name"), QStringLiteral("UserGroup"),
                                    QStringLiteral("checkout"), QStringLiteral("roomno")};
    std::array<QString, 5> filecaption{QStringLiteral("工号"), QStringLiteral("姓名"), QStringLiteral("组别"),
                                       QStringLiteral("毕业时间"), QStringLiteral("房间号")};
    QString lastbackup;
    // Not configurable: the backup folder of the daily database copies.
    QString backupFolder = QStringLiteral("d:\\TOLBAK\\");

    // The four site-code bytes as the card layer uses them.
    std::array<quint8, 4> siteCode() const;
};

// The twelve status codes of section [code] of ic.ini; each defaults to its own key name.
struct StatusCodes
{
    QString room_empty = QStringLiteral("room_empty");
    QString room_used = QStringLiteral("room_used");
    QString room_dirty = QStringLiteral("room_dirty");
    QString room_reserve = QStringLiteral("room_reserve");
    QString room_self = QStringLiteral("room_self");
    QString room_repair = QStringLiteral("room_repair");
    QString room_closed = QStringLiteral("room_closed");
    QString GC_AVAILABLE = QStringLiteral("GC_AVAILABLE");
    QString GC_ISCANCEL = QStringLiteral("GC_ISCANCEL");
    QString GC_NOCARDCANCEL = QStringLiteral("GC_NOCARDCANCEL");
    QString GC_AUTOCANCEL = QStringLiteral("GC_AUTOCANCEL");
    QString GC_LOSSCANCEL = QStringLiteral("GC_LOSSCANCEL");
};

// The eight numbered text tables of ic.ini.
class TextTables
{
public:
    enum Table { Version, State, Form, Menu, Button, Label, Except, Log, TableCount };
    static int size(Table table);
    static QString sectionName(Table table);
    static QString defaultText(Table table, int index);

    TextTables();
    // The entry, or its default for an index outside the table (never a crash).
    QString get(Table table, int index) const;
    void set(Table table, int index, const QString& text);

    QString version(int n) const { return get(Version, n); }
    QString state(int n) const { return get(State, n); }
    QString form(int n) const { return get(Form, n); }
    QString menu(int n) const { return get(Menu, n); }
    QString button(int n) const { return get(Button, n); }
    QString label(int n) const { return get(Label, n); }
    QString except(int n) const { return get(Except, n); }
    QString log(int n) const { return get(Log, n); }

private:
    std::array<QStringList, TableCount> m_tables;
};

// One entry of the card-type table (SetCard.ini).
struct Rcards
{
    int card_type = 0;
    int card_status = 0;
    QString card_name = QStringLiteral("GuestCard");
    int card_memo = 0;
    QString card_info;
    int card_right = 0;
};

namespace cfg {

constexpr int kCardTypeCount = 22;

SysSettings& sys();
StatusCodes& codes();
TextTables& texts();
std::array<Rcards, kCardTypeCount>& cardTypes();
// Low byte of entry 0's card_status ("Issued cards can unlock deadbolt" in system setup).
quint8& guestCardStatus();
// The sys.ini object kept for the whole run; system setup writes through it.
IniFile& sysIni();
// Problems met by the last LoadSettings (invalid times), for the operator to read.
QStringList& loadWarnings();
// Held around room change and stay change. Re-entrant for the thread that holds it.
QRecursiveMutex& criticalSection();

// Names of the INI files, relative to the installation folder.
QString sysIniPath();
QString icIniPath();
QString setCardIniPath();
QString lockIniPath();

void replaceSysIni(std::unique_ptr<IniFile> ini);

} // namespace cfg

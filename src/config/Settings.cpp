#include "config/Settings.h"

#include "platform/WinPath.h"

#include <QDir>

std::array<quint8, 4> SysSettings::siteCode() const
{
    std::array<quint8, 4> code{};
    for (size_t i = 0; i < code.size(); ++i)
        code[i] = static_cast<quint8>(sys_sqcode[i] & 0xFF);
    return code;
}

int TextTables::size(Table table)
{
    switch (table) {
    case Version:
        return 5;
    case Label:
        return 255;
    default:
        return 200;
    }
}

QString TextTables::sectionName(Table table)
{
    static const char* const names[] = {"version", "state", "form", "menu", "button", "label", "except", "log"};
    return QLatin1String(names[table]);
}

QString TextTables::defaultText(Table table, int index)
{
    // The except table's defaults read "error48", not "except48".
    const QString prefix = table == Except ? QStringLiteral("error") : sectionName(table);
    return prefix + QString::number(index);
}

TextTables::TextTables()
{
    for (int t = 0; t < TableCount; ++t) {
        const auto table = static_cast<Table>(t);
        QStringList& entries = m_tables[static_cast<size_t>(t)];
        entries.reserve(size(table));
        for (int i = 0; i < size(table); ++i)
            entries.append(defaultText(table, i));
    }
}

QString TextTables::get(Table table, int index) const
{
    const QStringList& entries = m_tables[static_cast<size_t>(table)];
    if (index < 0 || index >= entries.size())
        return defaultText(table, index);
    return entries[index];
}

void TextTables::set(Table table, int index, const QString& text)
{
    QStringList& entries = m_tables[static_cast<size_t>(table)];
    if (index >= 0 && index < entries.size())
        entries[index] = text;
}

namespace cfg {
namespace {

struct State
{
    SysSettings sys;
    StatusCodes codes;
    TextTables texts;
    std::array<Rcards, kCardTypeCount> cardTypes;
    quint8 guestCardStatus = 0;
    std::unique_ptr<IniFile> sysIni;
    QStringList warnings;
    QRecursiveMutex critical;
};

State& state()
{
    static State s;
    return s;
}

QString inInstallation(const char* name)
{
    return QDir(WinPath::installationFolder()).filePath(QLatin1String(name));
}

} // namespace

SysSettings& sys()
{
    return state().sys;
}
StatusCodes& codes()
{
    return state().codes;
}
TextTables& texts()
{
    return state().texts;
}
std::array<Rcards, kCardTypeCount>& cardTypes()
{
    return state().cardTypes;
}
quint8& guestCardStatus()
{
    return state().guestCardStatus;
}
QStringList& loadWarnings()
{
    return state().warnings;
}
QRecursiveMutex& criticalSection()
{
    return state().critical;
}

IniFile& sysIni()
{
    if (!state().sysIni)
        state().sysIni = std::make_unique<IniFile>(sysIniPath());
    return *state().sysIni;
}

void replaceSysIni(std::unique_ptr<IniFile> ini)
{
    state().sysIni = std::move(ini);
}

QString sysIniPath()
{
    return inInstallation("sys.ini");
}
QString icIniPath()
{
    return inInstallation("ic.ini");
}
QString setCardIniPath()
{
    return inInstallation("SetCard.ini");
}
QString lockIniPath()
{
    return inInstallation("lock.ini");
}

} // namespace cfg

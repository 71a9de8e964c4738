#include "platform/WinPath.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace WinPath {
namespace {

QString matchCase(const QString& absolute)
{
    if (absolute.isEmpty() || QFileInfo::exists(absolute))
        return absolute;
    const bool trailingSlash = absolute.endsWith(u'/');
    const QStringList parts = absolute.split(u'/', Qt::SkipEmptyParts);
    QString built = QStringLiteral("/");
    bool resolving = true;
    for (const QString& part : parts) {
        QString chosen = part;
        if (resolving) {
            const QDir dir(built);
            if (!QFileInfo::exists(dir.filePath(part))) {
                const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                          QDir::NoDotAndDotDot);
                auto it = std::find_if(entries.begin(), entries.end(), [&](const QString& e) {
                    return e.compare(part, Qt::CaseInsensitive) == 0;
                });
                if (it != entries.end())
                    chosen = *it;
                else
                    resolving = false;
            }
        }
        built = QDir(built).filePath(chosen);
    }
    if (trailingSlash && !built.endsWith(u'/'))
        built += u'/';
    return built;
}

} // namespace

QString installationFolder()
{
    const QString home = qEnvironmentVariable("TOLVANE_HOME");
    return QDir::cleanPath(home.isEmpty() ? QDir::currentPath() : QDir(home).absolutePath());
}

QString toLocal(const QString& windowsPath)
{
    QString p = windowsPath.trimmed();
    p.replace(u'\\', u'/');
    const bool trailingSlash = p.endsWith(u'/');
    static const QRegularExpression drive(QStringLiteral("^([A-Za-z]):/?"));
    const auto m = drive.match(p);
    QString absolute;
    if (m.hasMatch()) {
        const QString letter = m.captured(1).toLower();
        QString root = qEnvironmentVariable(("TOLVANE_DRIVE_" + letter.toUpper()).toLatin1().constData());
        if (root.isEmpty())
            root = QDir(installationFolder()).filePath(QStringLiteral("drives/") + letter);
        absolute = QDir(root).filePath(p.mid(m.capturedLength()));
    } else if (QDir::isAbsolutePath(p)) {
        absolute = p;
    } else {
        absolute = QDir(installationFolder()).filePath(p);
    }
    absolute = QDir::cleanPath(absolute);
    if (trailingSlash)
        absolute += u'/';
    return matchCase(absolute);
}

QString toWindows(const QString& localPath)
{
    QString p = localPath;
    p.replace(u'/', u'\\');
    return p;
}

} // namespace WinPath

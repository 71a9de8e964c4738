#include "platform/PortMap.h"

#include "platform/IniFile.h"
#include "platform/WinPath.h"

#include <QDir>

namespace PortMap {

QString deviceFor(int portNumber)
{
    const QString name = QStringLiteral("COM%1").arg(portNumber);
    const QString fromEnv = qEnvironmentVariable(("TOLVANE_" + name).toLatin1().constData());
    if (!fromEnv.isEmpty())
        return fromEnv;
    const IniFile sys(QDir(WinPath::installationFolder()).filePath(QStringLiteral("sys.ini")));
    const QString fromIni = sys.readString(QStringLiteral("ports"), name, QString());
    if (!fromIni.isEmpty())
        return fromIni;
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

} // namespace PortMap

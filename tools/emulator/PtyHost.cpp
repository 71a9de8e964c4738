#include "PtyHost.h"

#include "platform/Clock.h"
#include "platform/WireLog.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyHost::PtyHost(EncoderEngine& engine, QString linkPath, QObject* parent)
    : QObject(parent), m_engine(engine), m_linkPath(std::move(linkPath))
{}

PtyHost::~PtyHost()
{
    m_engine.setDeliver({});
    m_notifier.reset();
    removeLink();
    if (m_slaveKeepAlive >= 0)
        ::close(m_slaveKeepAlive);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyHost::start(QString* error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = systemError("cannot open a pseudo-terminal");
        return false;
    }
    const char* slaveName = ::ptsname(m_master);
    if (!slaveName) {
        *error = systemError("ptsname");
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(slaveName);
    m_slaveKeepAlive = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (m_slaveKeepAlive < 0) {
        *error = systemError("cannot open the terminal's slave side");
        return false;
    }
    // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
    termios mode{};
    ::tcgetattr(m_slaveKeepAlive, &mode);
    ::cfmakeraw(&mode);
    ::cfsetispeed(&mode, B9600);
    ::cfsetospeed(&mode, B9600);
    ::tcsetattr(m_slaveKeepAlive, TCSANOW, &mode);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    const QFileInfo existing(m_linkPath);
    if (existing.isSymLink()) {
        QFile::remove(m_linkPath);
    } else if (existing.exists()) {
        *error = QStringLiteral("%1 exists and is not a link").arg(m_linkPath);
        return false;
    }
    if (::symlink(slaveName, QFile::encodeName(m_linkPath).constData()) != 0) {
        *error = systemError("cannot make the link");
        return false;
    }
    m_linkMade = true;

    m_engine.setDeliver([this](int delayMs, const QByteArray& bytes) {
        Clock::instance().callLater(delayMs, [host = QPointer<PtyHost>(this), bytes] {
            if (host)
                host->writeMaster(bytes);
        });
    });
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PtyHost::readMaster);
    return true;
}

void PtyHost::readMaster()
{
    char buffer[512];
    while (true) {
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            return;
        const QByteArray bytes(buffer, static_cast<qsizetype>(got));
        // Logged from the program's side of the line: ">" is towards the encoder.
        WireLog::record(WireLog::Direction::Out, bytes);
        m_engine.receive(bytes, Clock::instance().ticks());
    }
}

void PtyHost::writeMaster(const QByteArray& bytes)
{
    WireLog::record(WireLog::Direction::In, bytes);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t sent =
            ::write(m_master, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (sent <= 0) {
            // The terminal's input queue is full because nobody reads the line: the bytes are
            // lost, as on a wire with nobody listening.
            WireLog::note(systemError("reply dropped"));
            return;
        }
        written += sent;
    }
}

void PtyHost::removeLink()
{
    if (!m_linkMade)
        return;
    // Only our own link: another emulator may have taken the name since.
    if (QFileInfo(m_linkPath).symLinkTarget() == QFileInfo(m_devicePath).absoluteFilePath())
        QFile::remove(m_linkPath);
    m_linkMade = false;
}

ControlServer::ControlServer(EncoderEngine& engine, QString socketPath, QObject* parent)
    : QObject(parent), m_engine(engine), m_path(std::move(socketPath)), m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &ControlServer::accept);
}

ControlServer::~ControlServer()
{
    m_server->close();
    QFile::remove(m_path);
}

bool ControlServer::listen(QString* error)
{
    QLocalServer::removeServer(m_path);
    if (!m_server->listen(m_path)) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(m_path, m_server->errorString());
        return false;
    }
    return true;
}

void ControlServer::accept()
{
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::readyRead, this, [this, client] { serve(client); });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        serve(client);
    }
}

void ControlServer::serve(QLocalSocket* client)
{
    while (client->canReadLine()) {
        const QString line = QString::fromUtf8(client->readLine()).trimmed();
        if (line.isEmpty())
            continue;
        client->write(m_engine.control(line).toUtf8() + '\n');
    }
    client->flush();
}

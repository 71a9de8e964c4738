#pragma once

#include "EncoderEngine.h"

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QSocketNotifier;

// The encoder on a pseudo-terminal: the program opens the slave side (through a symlink at
// linkPath) as if it were a serial port, and this host answers on the master side with the
// engine and real timers.
class PtyHost : public QObject
{
    Q_OBJECT
public:
    PtyHost(EncoderEngine& engine, QString linkPath, QObject* parent = nullptr);
    ~PtyHost() override;

    // Opens the terminal pair and makes the link; false with a reason on failure.
    bool start(QString* error);
    QString devicePath() const { return m_devicePath; }

private:
    void readMaster();
    void writeMaster(const QByteArray& bytes);
    void removeLink();

    EncoderEngine& m_engine;
    QString m_linkPath;
    QString m_devicePath;
    int m_master = -1;
    // Our own descriptor on the slave: with it open the master never sees a hang-up when the
    // program closes its port, so the line survives any number of open/close cycles.
    int m_slaveKeepAlive = -1;
    bool m_linkMade = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// The control socket: one line in, one line out, in the engine's control language. Clients
// may keep the connection for several lines or connect once per line.
class ControlServer : public QObject
{
    Q_OBJECT
public:
    ControlServer(EncoderEngine& engine, QString socketPath, QObject* parent = nullptr);
    ~ControlServer() override;

    bool listen(QString* error);

private:
    void accept();
    void serve(QLocalSocket* client);

    EncoderEngine& m_engine;
    QString m_path;
    QLocalServer* m_server;
};

#include "platform/SingleInstance.h"

#include "platform/devio/DeviceInterfaces.h"
#include "platform/devio/DevioServer.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace platform {

namespace {

// The runtime folder, made (private) where it does not exist yet.
QString folder() {
    const std::string dir = devio::runtimeDirectory();
    // Where it cannot be made, taking the lock fails.
    [[maybe_unused]] const bool made = devio::makePrivateDirectories(dir);
    return QString::fromStdString(dir);
}

}  // namespace

SingleInstance::SingleInstance(const QString& name)
    : m_name(name), m_lock(folder() + "/" + name + ".lock") {
    m_lock.setStaleLockTime(0);  // a lock whose process is gone is stale at once
}

SingleInstance::~SingleInstance() {
    if (m_server) m_server->close();
}

bool SingleInstance::acquire(std::function<void()> raiseRequested) {
    const QString socketPath = folder() + "/" + m_name + ".instance";
    if (!m_lock.tryLock(100)) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(1000)) {
            socket.write("raise\n");
            socket.waitForBytesWritten(1000);
        }
        return false;
    }
    QLocalServer::removeServer(socketPath);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(),
                     [this, raiseRequested] {
                         while (QLocalSocket* s = m_server->nextPendingConnection()) {
                             s->deleteLater();
                             raiseRequested();
                         }
                     });
    m_server->listen(socketPath);
    return true;
}

}  // namespace platform

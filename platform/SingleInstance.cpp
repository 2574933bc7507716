#include "platform/SingleInstance.h"

#include "platform/devio/DeviceInterfaces.h"
#include "platform/devio/RuntimeFolder.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace platform {

namespace {

// The runtime folder, made (private) where it does not exist yet. A folder another user could
// write to is refused: a lock or socket planted there would keep the program from starting or
// hear its requests.
QString folder(QString* refusal = nullptr) {
    const std::string dir = devio::runtimeDirectory();
    std::string error;
    if (!devio::ensurePrivateDirectory(dir, error) && refusal != nullptr) {
        *refusal = QString::fromStdString(error);
    }
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

bool SingleInstance::acquire(const std::function<void()>& raiseRequested) {
    m_refusal.clear();
    const QString socketPath = folder(&m_refusal) + "/" + m_name + ".instance";
    if (!m_refusal.isEmpty()) {
        return false;
    }
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

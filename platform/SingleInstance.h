#pragma once

// Stand-in for the named mutex and the window lookup that keep the program to one instance: a lock
// file in the runtime folder, and a local socket on which the running instance hears that it
// should raise its window.
//
// Thread: the user-interface thread.

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

namespace platform {

class SingleInstance {
public:
    explicit SingleInstance(const QString& name);
    ~SingleInstance();

    // True for the first instance, which then listens for later ones. False when another instance
    // runs; it has been asked to raise its window.
    // Also false, with refusal() saying why, when the runtime folder is not private to this user.
    bool acquire(const std::function<void()>& raiseRequested);
    [[nodiscard]] const QString& refusal() const { return m_refusal; }

private:
    QString m_name;
    QString m_refusal;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

}  // namespace platform

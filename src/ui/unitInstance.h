// One reader per library: the first start holds a lock in the program folder and
// listens on a local socket; a later start hands its files to it and ends.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>

class QLocalServer;

class TInstanceGuard : public QObject {
  public:
    explicit TInstanceGuard(std::string programFolder);
    ~TInstanceGuard() override;

    // Takes the lock; false when another reader of this program folder holds it.
    bool Acquire();
    // Listens for later starts; onFiles gets the files each of them handed over
    // (possibly none: that start only wants the window raised).
    void Listen(std::function<void(const QStringList&)> onFiles);
    // A later start: hands files (absolute paths) to the reader holding the
    // lock; true once it confirmed them.
    bool HandOver(const QStringList& files, int timeoutMs = 5000) const;

    // The socket's path: in $XDG_RUNTIME_DIR, named for the program folder.
    QString SocketPath() const;

  private:
    std::string folder_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

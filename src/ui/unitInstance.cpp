#include "unitInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TInstanceGuard::TInstanceGuard(std::string programFolder) : folder_(std::move(programFolder)) {}

TInstanceGuard::~TInstanceGuard() {
    if (server_) server_->close();
    if (lockFd_ >= 0) ::close(lockFd_);  // the lock goes with the descriptor
}

QString TInstanceGuard::SocketPath() const {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists()) dir = QDir::tempPath();
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(folder_), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return dir + "/tavisto-" + QString::number(::getuid()) + "-" + QString::fromLatin1(hash);
}

bool TInstanceGuard::Acquire() {
    // A lock dies with its holder, however it ended: a killed reader never
    // keeps a new one from starting.
    const std::string path = folder_ + "tavisto.lock";
    lockFd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) return true;  // a folder without write access: nothing to guard
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return true;
    ::close(lockFd_);
    lockFd_ = -1;
    return false;
}

void TInstanceGuard::Listen(std::function<void(const QStringList&)> onFiles) {
    // The lock is ours, so a socket file standing there was left by a reader
    // that is gone.
    QLocalServer::removeServer(SocketPath());
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(SocketPath())) return;
    connect(server_, &QLocalServer::newConnection, this, [this, onFiles] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, s, [s, onFiles] {
                // One message: the files, one per line, then an empty line.
                if (!s->canReadLine()) return;
                QByteArray all = s->peek(s->bytesAvailable());
                if (!all.contains("\n\n") && !all.startsWith("\n")) return;
                const QByteArray msg = s->readAll();
                QStringList files;
                for (const QByteArray& line : msg.split('\n'))
                    if (!line.isEmpty())
                        files << QString::fromUtf8(QByteArray::fromPercentEncoding(line));
                s->write("ok\n");
                s->flush();
                onFiles(files);
            });
        }
    });
}

bool TInstanceGuard::HandOver(const QStringList& files, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    // The first reader may still be starting; it listens once its windows exist.
    while (!deadline.hasExpired()) {
        QLocalSocket s;
        s.connectToServer(SocketPath());
        if (s.waitForConnected(500)) {
            QByteArray msg;
            for (const QString& f : files) msg += f.toUtf8().toPercentEncoding("/") + '\n';
            msg += '\n';
            s.write(msg);
            if (!s.waitForBytesWritten(2000)) return false;
            while (!s.canReadLine() &&
                   s.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
                ;
            return s.readLine().startsWith("ok");
        }
        QThread::msleep(100);
    }
    return false;
}

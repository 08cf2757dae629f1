#include "ui/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

InstanceGuard::InstanceGuard(std::string programFolder) : folder_(std::move(programFolder)) {}

InstanceGuard::~InstanceGuard() {
    Release();
}

void InstanceGuard::Release() {
    if (server_) server_->close();       // and its socket file gone
    if (lockFd_ >= 0) ::close(lockFd_);  // the lock goes with the descriptor
    lockFd_ = -1;
}

namespace {

// A folder only this user can enter: a real folder (no link), owned by the
// user, with no access for anyone else.
bool PrivateFolder(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// The limits of one hand-over: a message of a later start names its files.
constexpr qint64 MaxMessageBytes = 64 * 1024;
constexpr int MaxMessagePaths = 100;
constexpr int MessageTimeoutMs = 3000;
// Starts heard at once; more are dropped (each holds a message's room, and
// thousands of idle connections held hundreds of megabytes).
constexpr int MaxStartsAtOnce = 16;
// The names of the temporary folder tried for the socket's folder.
constexpr int MaxFolderTries = 16;

}  // namespace

QString InstanceGuard::SocketPath() const {
    // The socket lives where only this user can reach it: the session's runtime
    // folder, else a folder of the user's own in the temporary folder, made and
    // checked here. Anything else (a folder of someone else's, a link) gives no
    // path: the hand-over is then not offered at all.
    QByteArray dir = qgetenv("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !PrivateFolder(dir)) {
        // A name someone else took first is passed by: every start of this
        // user's goes the same way, and so meets at the same folder.
        const QByteArray base =
            QFile::encodeName(QDir::tempPath()) + "/tavisto-" + QByteArray::number(::getuid());
        for (int i = 0;; ++i) {
            if (i == MaxFolderTries) return {};
            dir = i == 0 ? base : base + "-" + QByteArray::number(i);
            if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) return {};
            if (PrivateFolder(dir)) break;
        }
    }
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(folder_), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QFile::decodeName(dir) + "/tavisto-" + QString::number(::getuid()) + "-" +
           QString::fromLatin1(hash);
}

bool InstanceGuard::Acquire() {
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

bool InstanceGuard::Listen(std::function<bool(const FileList&)> onFiles) {
    const QString path = SocketPath();
    if (path.isEmpty()) {
        std::fprintf(stderr,
                     "tavisto: no private folder for the hand-over socket: files given to a "
                     "later start will not reach this reader\n");
        return false;
    }
    // The lock is ours, so a socket file standing there was left by a reader
    // that is gone.
    QLocalServer::removeServer(path);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        std::fprintf(stderr, "tavisto: cannot listen on %s: %s\n", qPrintable(path),
                     qPrintable(server_->errorString()));
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this, onFiles] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            if (heard_ >= MaxStartsAtOnce) {
                s->abort();
                s->deleteLater();
                continue;
            }
            ++heard_;
            connect(s, &QObject::destroyed, this, [this] { --heard_; });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            // A start that sends nothing whole in time is dropped.
            QTimer::singleShot(MessageTimeoutMs, s, [s] { s->abort(); });
            s->setReadBufferSize(MaxMessageBytes + 1);
            connect(s, &QLocalSocket::readyRead, s, [s, onFiles] {
                // One message: the files, one per line, then an empty line.
                const QByteArray all = s->peek(MaxMessageBytes + 1);
                const bool whole = all.contains("\n\n") || all.startsWith("\n");
                if (!whole) {
                    if (all.size() > MaxMessageBytes) s->abort();
                    return;
                }
                const QByteArray msg = all.left(all.startsWith("\n") ? 1 : all.indexOf("\n\n") + 2);
                s->read(msg.size());
                FileList files;
                for (const QByteArray& line : msg.split('\n'))
                    if (!line.isEmpty())
                        files.push_back(QByteArray::fromPercentEncoding(line).toStdString());
                if (files.size() > MaxMessagePaths) {
                    s->abort();
                    return;
                }
                // A reader going away says no, and the start waits for it to be gone.
                const bool taken = onFiles(files);
                s->write(taken ? "ok\n" : "no\n");
                s->flush();
                s->disconnectFromServer();
            });
        }
    });
    return true;
}

namespace {
QByteArray MessageLine(const std::string& file) {
    return QByteArray::fromStdString(file).toPercentEncoding("/") + '\n';
}
}  // namespace

InstanceGuard::FileList InstanceGuard::FitMessage(const FileList& files, FileList& left) {
    FileList fit;
    left.clear();
    qint64 bytes = 1;  // the empty line that ends the message
    for (const std::string& f : files) {
        const qint64 line = MessageLine(f).size();
        if (int(fit.size()) < MaxMessagePaths && bytes + line <= MaxMessageBytes) {
            fit.push_back(f);
            bytes += line;
        } else {
            left.push_back(f);
        }
    }
    return fit;
}

InstanceGuard::Outcome InstanceGuard::HandOver(const FileList& files, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    // The first reader may still be starting (it listens once its windows
    // exist), or going away (saving the position, and its lock soon free).
    const QString path = SocketPath();
    while (!deadline.hasExpired()) {
        if (Acquire()) return Outcome::TookOver;
        QLocalSocket s;
        if (!path.isEmpty()) s.connectToServer(path);
        if (!path.isEmpty() && s.waitForConnected(200)) {
            QByteArray msg;
            for (const std::string& f : files) msg += MessageLine(f);
            msg += '\n';
            s.write(msg);
            if (!s.waitForBytesWritten(2000)) return Outcome::Failed;
            // Sent once only: the answer is waited for until the reader closes
            // the connection (it ended, or is going away).
            while (!s.canReadLine() && s.state() == QLocalSocket::ConnectedState &&
                   s.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
                ;
            if (s.readLine().startsWith("ok")) return Outcome::HandedOver;
            return WaitForLock(deadline) ? Outcome::TookOver : Outcome::Failed;
        }
        QThread::msleep(50);
    }
    return Outcome::Failed;
}

bool InstanceGuard::WaitForLock(const QDeadlineTimer& deadline) {
    while (!Acquire()) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
    return true;
}

// One reader per library: the first start holds a lock in the program folder and
// listens on a local socket; a later start hands its files to it and ends.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QDeadlineTimer;
class QLocalServer;

class InstanceGuard : public QObject {
  public:
    explicit InstanceGuard(std::string programFolder);
    ~InstanceGuard() override;

    // Takes the lock; false when another reader of this program folder holds it.
    bool Acquire();
    // Stops listening and lets the lock go (the destructor does the same).
    void Release();
    // Listens for later starts; onFiles gets the files each of them handed over
    // (possibly none: that start only wants the window raised), and returns
    // false when this reader is going away: that start then waits for it. A message is at
    // most 64 KB and 100 files, sent whole within 3 seconds; a start that breaks
    // these is dropped, and so is one beyond 16 connected at once. False (said
    // on standard error) when it cannot listen.
    // Paths are bytes, as the file system has them (a name need not be UTF-8).
    using FileList = std::vector<std::string>;
    bool Listen(std::function<bool(const FileList&)> onFiles);
    // A later start: hands files (absolute paths) to the reader holding the
    // lock (HandedOver once it confirmed them). A reader going away (it
    // refuses them, or is gone before it answers) is waited for until its
    // lock is free: TookOver, the lock is this start's, which opens the files
    // itself. Failed when neither happened within the time.
    enum class Outcome { HandedOver, TookOver, Failed };
    Outcome HandOver(const FileList& files, int timeoutMs = 5000);
    // The files one hand-over can carry (the first ones, within its limits);
    // the others go to left.
    static FileList FitMessage(const FileList& files, FileList& left);

    // The socket's path, named for the program folder, in a folder only this
    // user can enter ($XDG_RUNTIME_DIR, else a private folder of the temporary
    // folder: "tavisto-UID", or when another user or a link holds that name,
    // "tavisto-UID-1" and on); empty when there is none.
    QString SocketPath() const;

  private:
    // Takes the lock once it is free; false when the deadline passed first.
    bool WaitForLock(const QDeadlineTimer& deadline);
    std::string folder_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
    int heard_ = 0;  // the later starts connected now
};

#include "convert/SyncBehind.h"

#include <unistd.h>

#include <cerrno>

void SyncBehind::Written(uint64_t bytes) {
    written_ += bytes;
    if (written_ - handed_ < Step) return;
    handed_ = written_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wanted_ = handed_;
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    changed_.notify_one();
}

int SyncBehind::Finish() {
    Stop(false);
    return error_;
}

void SyncBehind::Stop(bool dropped) {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        (dropped ? dropped_ : ending_) = true;
    }
    changed_.notify_one();
    thread_.join();
}

void SyncBehind::Run() {
    uint64_t synced = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return dropped_ || ending_ || wanted_ > synced; });
            // At the end what was handed over is synced all the same.
            if (dropped_ || wanted_ == synced) return;
            synced = wanted_;
        }
        // The data alone: the file's size and name are made durable when it
        // is saved.
        if (::fdatasync(fd_) != 0) {
            const int err = errno;
            std::lock_guard<std::mutex> lock(mutex_);
            if (!error_) error_ = err;
        }
    }
}

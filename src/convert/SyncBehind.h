// A file's bytes handed to the disk while it is still being written.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// Syncs a file on a thread of its own each time another Step bytes were
// written to it, so that the sync that ends the writing finds little left to
// do: the disk works while the text is still being converted. Nothing runs for
// a file shorter than Step.
class SyncBehind {
  public:
    static constexpr uint64_t Step = 4 << 20;

    explicit SyncBehind(int fd) : fd_(fd) {}
    // The file given up: waits for a sync under way, and drops any failure.
    ~SyncBehind() { Stop(true); }
    SyncBehind(const SyncBehind&) = delete;
    SyncBehind& operator=(const SyncBehind&) = delete;

    // So many more bytes were written.
    void Written(uint64_t bytes);
    // Syncs what it was handed and stops. Returns the errno of a sync that
    // failed, or 0: the file's own sync would not report that failure again.
    int Finish();

  private:
    void Run();
    void Stop(bool dropped);

    const int fd_;
    uint64_t written_ = 0, handed_ = 0;  // the writer's
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t wanted_ = 0;  // under the lock: bytes the thread is to sync
    bool ending_ = false, dropped_ = false;
    int error_ = 0;
    std::thread thread_;
};

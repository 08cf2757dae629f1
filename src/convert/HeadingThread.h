// The headings looked for beside the writing: the paragraphs a book's writer
// emits go to its heading finder on a thread of their own, in batches.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "convert/Headings.h"

// The writer fills its batch while the finder, on the other thread, reads
// the one before: each object stands in cache lines of its own (see
// HeadingFinder), or every paragraph would pull a line back and forth.
class alignas(64) HeadingThread {
  public:
    explicit HeadingThread(HeadingFinder& finder) : finder_(finder) {}
    // A writer given up: the thread stops, what it had not read is dropped.
    ~HeadingThread();
    HeadingThread(const HeadingThread&) = delete;
    HeadingThread& operator=(const HeadingThread&) = delete;

    // As HeadingFinder::AddParts; the text is copied.
    void AddParts(int32_t number, std::string_view cls, std::string_view text);
    // Waits until the finder has had every part: it is the caller's again.
    // What the finder threw is thrown here.
    void Finish();

  private:
    struct Part {
        int32_t number;
        char cls[5];
        uint8_t clsSize;
        uint32_t at, size;  // the text's place in the batch
    };
    struct Batch {
        std::string text;
        std::vector<Part> parts;
    };
    // A text shorter than a batch is looked at on the caller's thread, at the end.
    static constexpr size_t BatchBytes = 256 << 10;
    static constexpr size_t MaxWaiting = 4;  // batches: the writer waits beyond

    void Hand();
    void Run();
    void Feed(const Batch& batch);

    HeadingFinder& finder_;
    // The writer's own, apart from what the finder's thread reads.
    alignas(64) Batch filling_;
    alignas(64) std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> waiting_;
    // Batches read, their memory kept for the next ones: a new batch's pages
    // would be faulted in afresh.
    std::vector<Batch> spare_;
    bool ending_ = false, stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

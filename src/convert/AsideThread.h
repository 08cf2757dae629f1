// The second half of a book's writing, beside the first: the paragraphs the
// writer tags go, in batches, to a reader of them on a thread of their own.
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

// What takes a writer's tagged paragraphs, part by part.
class PartsReader {
  public:
    virtual ~PartsReader() = default;
    // The number and class of the paragraph a part begins (0 and empty when
    // it continues one) and its text.
    virtual void AddParts(int32_t number, std::string_view cls, std::string_view text) = 0;
};

// The writer fills its batch while the reader, on the other thread, reads
// the one before: each object stands in cache lines of its own, or every
// paragraph would pull a line back and forth.
class alignas(64) AsideThread {
  public:
    explicit AsideThread(PartsReader& reader) : reader_(reader) {}
    // A writer given up: the thread stops, what it had not read is dropped.
    ~AsideThread();
    AsideThread(const AsideThread&) = delete;
    AsideThread& operator=(const AsideThread&) = delete;

    // As PartsReader::AddParts; the text is copied. What the reader threw
    // is thrown here, once it is known.
    void AddParts(int32_t number, std::string_view cls, std::string_view text);
    // Waits until the reader has had every part: it is the caller's again.
    // What the reader threw is thrown here.
    void Finish();

  private:
    struct Part {
        int32_t number;
        char cls[5];
        uint8_t clsSize;
        uint32_t at, size;  // the text's place in the batch
    };
    struct Batch {
        std::string text;  // its first `used` bytes: the parts' text
        size_t used = 0;
        std::vector<Part> parts;  // its first partsUsed
        size_t partsUsed = 0;
    };
    // A text shorter than a batch is looked at on the caller's thread, at the end.
    static constexpr size_t BatchBytes = 256 << 10;
    static constexpr size_t MaxWaiting = 4;  // batches: the writer waits beyond
    static constexpr size_t MaxSpare = 8;

    // The text and the parts are gathered in small stages and written to the
    // batch a stage at a time, past the cache: the batch's memory was last
    // read on the reader's core, and a line written there in the usual way
    // would first be taken from it.
    static constexpr size_t StageBytes = 4096;
    static constexpr size_t PartStage = 256;  // parts: a multiple of 16 bytes
    void Stage(std::string_view text);
    void WriteStage(size_t bytes);
    void WriteParts();
    // Writes what is staged, and makes it seen.
    void Flush();
    void Hand();
    void Run();
    void Feed(const Batch& batch);

    PartsReader& reader_;
    // The writer's own, apart from what the reader's thread reads.
    alignas(64) Batch filling_;
    alignas(64) char stage_[StageBytes];
    alignas(64) Part partStage_[PartStage];
    size_t staged_ = 0, partsStaged_ = 0;
    alignas(64) std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> waiting_;
    // Batches read, their memory kept for the next ones: a new batch's pages
    // would be faulted in afresh. The one read longest ago is filled first:
    // the one just read still lies in the reader's cache, and every line the
    // writer wrote would be taken from it first.
    std::deque<Batch> spare_;
    bool ending_ = false, stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

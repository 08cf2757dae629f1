#include "convert/AsideThread.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

AsideThread::~AsideThread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

namespace {

// Copies bytes to memory another core read last, past the cache where both
// ends are sixteen bytes aligned and the length a multiple of sixteen.
void StreamCopy(char* to, const char* from, size_t bytes) {
    size_t done = 0;
#ifdef __SSE2__
    if (reinterpret_cast<uintptr_t>(to) % 16 == 0 && reinterpret_cast<uintptr_t>(from) % 16 == 0 &&
        bytes % 16 == 0)
        for (; done < bytes; done += 16)
            _mm_stream_si128(reinterpret_cast<__m128i*>(to + done),
                             _mm_load_si128(reinterpret_cast<const __m128i*>(from + done)));
#endif
    std::memcpy(to + done, from + done, bytes - done);
}

// What was written past the cache is seen: by this thread's copies, and by
// the reader once the batch is handed over.
void Fence() {
#ifdef __SSE2__
    _mm_sfence();
#endif
}

}  // namespace

void AsideThread::AddParts(int32_t number, std::string_view cls, std::string_view text) {
    Part& p = partStage_[partsStaged_++];
    p.number = number;
    p.clsSize = uint8_t(std::min(cls.size(), sizeof p.cls));
    std::copy_n(cls.data(), p.clsSize, p.cls);
    p.at = uint32_t(filling_.used + staged_);
    p.size = uint32_t(text.size());
    if (partsStaged_ == PartStage) WriteParts();
    Stage(text);
    if (filling_.used + staged_ >= BatchBytes) Hand();
}

void AsideThread::Stage(std::string_view text) {
    while (!text.empty()) {
        const size_t take = std::min(text.size(), StageBytes - staged_);
        std::memcpy(stage_ + staged_, text.data(), take);
        staged_ += take;
        text.remove_prefix(take);
        if (staged_ == StageBytes) WriteStage(StageBytes);
    }
}

void AsideThread::WriteStage(size_t bytes) {
    Batch& b = filling_;
    if (b.text.size() < b.used + bytes) {
        Fence();
        b.text.resize(std::max({b.used + bytes, BatchBytes + StageBytes, b.text.size() * 2}));
    }
    StreamCopy(b.text.data() + b.used, stage_, bytes);
    b.used += bytes;
    staged_ = 0;
}

void AsideThread::WriteParts() {
    static_assert(sizeof(Part) * PartStage % 16 == 0, "a whole stage of parts streams");
    Batch& b = filling_;
    if (b.parts.size() < b.partsUsed + partsStaged_) {
        Fence();
        b.parts.resize(std::max({b.partsUsed + partsStaged_, 8 * PartStage, b.parts.size() * 2}));
    }
    StreamCopy(reinterpret_cast<char*>(b.parts.data() + b.partsUsed),
               reinterpret_cast<const char*>(partStage_), partsStaged_ * sizeof(Part));
    b.partsUsed += partsStaged_;
    partsStaged_ = 0;
}

void AsideThread::Flush() {
    if (staged_) WriteStage(staged_);
    if (partsStaged_) WriteParts();
    Fence();
}

void AsideThread::Hand() {
    Flush();
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return waiting_.size() < MaxWaiting || error_; });
        // Once the reader has failed (a disk that is full) the writer stops
        // at once with its reason: nobody reads its batches.
        if (error_) std::rethrow_exception(error_);
        waiting_.push_back(std::move(filling_));
        filling_ = {};
        if (!spare_.empty()) {
            filling_ = std::move(spare_.front());
            spare_.pop_front();
        }
    }
    changed_.notify_all();
    filling_.used = filling_.partsUsed = 0;
    // (Made once for each batch's memory: the spare ones have it.)
    if (filling_.text.size() < BatchBytes + StageBytes)
        filling_.text.resize(BatchBytes + StageBytes);
}

void AsideThread::Finish() {
    if (!thread_.joinable()) {
        Flush();
        return Feed(filling_);
    }
    Hand();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (error_) std::rethrow_exception(error_);
}

void AsideThread::Run() {
    for (;;) {
        Batch batch;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !waiting_.empty() || ending_ || stopping_; });
            if (stopping_ || waiting_.empty()) return;
            batch = std::move(waiting_.front());
            waiting_.pop_front();
        }
        changed_.notify_all();
        try {
            Feed(batch);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            error_ = std::current_exception();
            changed_.notify_all();
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.size() < MaxSpare) spare_.push_back(std::move(batch));
    }
}

void AsideThread::Feed(const Batch& batch) {
    const std::string_view text(batch.text.data(), batch.used);
    for (size_t i = 0; i < batch.partsUsed; ++i) {
        const Part& p = batch.parts[i];
        reader_.AddParts(p.number, std::string_view(p.cls, p.clsSize), text.substr(p.at, p.size));
    }
}

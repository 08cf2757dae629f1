#include "convert/AsideThread.h"

#include <algorithm>

AsideThread::~AsideThread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void AsideThread::AddParts(int32_t number, std::string_view cls, std::string_view text) {
    Part p{number,
           {},
           uint8_t(std::min(cls.size(), sizeof p.cls)),
           uint32_t(filling_.text.size()),
           uint32_t(text.size())};
    std::copy_n(cls.data(), p.clsSize, p.cls);
    filling_.text.append(text);
    filling_.parts.push_back(p);
    if (filling_.text.size() >= BatchBytes) Hand();
}

void AsideThread::Hand() {
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
    filling_.text.clear();
    filling_.parts.clear();
    filling_.text.reserve(BatchBytes + (BatchBytes >> 2));
}

void AsideThread::Finish() {
    if (!thread_.joinable()) return Feed(filling_);
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
    const std::string_view text = batch.text;
    for (const Part& p : batch.parts)
        reader_.AddParts(p.number, std::string_view(p.cls, p.clsSize), text.substr(p.at, p.size));
}

#include "reading/ReadingPace.h"

#include <algorithm>

void ReadingPace::Note(int64_t ms, double at) {
    if (movedMs_ < 0) {
        movedMs_ = ms;
        at_ = at;
        return;
    }
    if (at == at_) return;  // still reading the same place
    const double read = at - at_;
    const int64_t spent = ms - movedMs_;
    movedMs_ = ms;
    at_ = at;
    // A pause; back, or on faster than anyone reads: a jump. Neither is reading.
    if (spent > PauseMs || read < 0 || spent <= 0 ||
        read / (double(spent) / 60000.0) > MostBytesPerMinute)
        return;
    steps_.push_back({spent, read});
    counted_ += spent;
    read_ += read;
    while (!steps_.empty() && counted_ - steps_.front().ms >= WindowMs) {
        counted_ -= steps_.front().ms;
        read_ -= steps_.front().read;
        steps_.pop_front();
    }
}

double ReadingPace::MinutesFor(double bytes) const {
    if (counted_ < KnownAfterMs || read_ <= 0) return -1;
    return std::max(bytes, 0.0) / (read_ / (double(counted_) / 60000.0));
}

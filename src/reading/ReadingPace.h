// How fast this reader reads, from where the reading position stands as time
// goes: the text read per minute over the last minutes of reading. A pause
// (the place unmoved for long) and a jump (the contents, Go to, a search: more
// text than anyone reads in the time) are not reading.
#pragma once

#include <cstdint>
#include <deque>

class ReadingPace {
  public:
    // The place unmoved for longer than this is a pause, and that step is not
    // counted at all.
    static constexpr int64_t PauseMs = 3 * 60 * 1000;
    // Faster than this (bytes of text a minute, some 3,000 words) is a jump.
    static constexpr double MostBytesPerMinute = 20000;
    // The pace is known after this much reading, and taken over this much.
    static constexpr int64_t KnownAfterMs = 60 * 1000;
    static constexpr int64_t WindowMs = 10 * 60 * 1000;

    // The reader is at byte at of the text at time ms (a steady clock).
    void Note(int64_t ms, double at);
    // Minutes to read bytes more at this pace; -1 while it is not known.
    double MinutesFor(double bytes) const;
    // Another book, or none.
    void Reset() { *this = ReadingPace(); }

  private:
    struct Step {
        int64_t ms;   // reading time
        double read;  // bytes
    };
    std::deque<Step> steps_;
    int64_t counted_ = 0;   // the steps' time
    double read_ = 0;       // their bytes
    int64_t movedMs_ = -1;  // when the place last moved
    double at_ = 0;
};

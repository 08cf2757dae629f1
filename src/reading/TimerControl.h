// What the reader's logic needs of a timer: switching it and its period. The
// threaded timer implements it; tests use a plain stand-in.
#pragma once

#include <cstdint>

class ITimerControl {
  public:
    virtual ~ITimerControl() = default;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool value) = 0;
    virtual uint16_t Interval() const = 0;
    virtual void SetInterval(uint16_t value) = 0;
};

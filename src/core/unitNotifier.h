// Messages that core code reports on the spot. The windows implement this with a
// message box; the command-line tool prints; tests record.
#pragma once

#include <string>
#include <vector>

class TNotifier {
  public:
    virtual ~TNotifier() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// Keeps every message, for tests and for callers that report them later.
class TRecordingNotifier : public TNotifier {
  public:
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    std::vector<std::string> Messages;
};

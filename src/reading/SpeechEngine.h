// What reading aloud asks of a speech engine. The view layer speaks through
// Qt's text-to-speech; tests stand in a fake.
#pragma once

#include <functional>
#include <string>

class ISpeechEngine {
  public:
    virtual ~ISpeechEngine() = default;
    // Starts speaking text (UTF-8) in a voice of language ("ru", "en"; "" leaves
    // the voice as it is) and returns at once.
    virtual void Say(const std::string& text, const std::string& language) = 0;
    // Ends what is being spoken; OnSpoken does not follow.
    virtual void Stop() = 0;
    // The text given last has been spoken to its end.
    std::function<void()> OnSpoken;
    // The engine cannot speak (it failed, or it did not begin within a few
    // seconds): what went wrong, in the program's words.
    std::function<void(const std::string&)> OnFailed;
};

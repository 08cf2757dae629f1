// What the reader asks of its HTML view. The real one embeds Qt WebEngine; tests
// can stand in a fake. Every question is answered before the call returns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class THtmlView {
  public:
    virtual ~THtmlView() = default;

    // Starts loading a local file; returns at once. OnDocumentComplete follows.
    virtual void Navigate(const std::string& localPath) = 0;
    // The current document, 0 while none has loaded. It may still be the previous
    // page's during a load.
    virtual uint64_t Document() const = 0;
    // The id of the innermost element at a point in view pixels. False when there
    // is no element there or the view could not answer.
    virtual bool ElementIdAtPoint(int x, int y, std::string& id) = 0;
    // Scrolls the first "p" element with this id to the top of the view; false
    // when there is none or the view could not answer.
    virtual bool ScrollParagraphIntoView(const std::string& id) = 0;
    // Relative scroll of the document's window, clamped at its edges.
    virtual void ScrollBy(int dx, int dy) = 0;
    virtual int ViewWidth() const = 0;
    virtual int ViewHeight() const = 0;

    // Fired once a page has loaded and its elements can be queried.
    std::function<void()> OnDocumentComplete;
    // A script message box the page wants to show; it is never shown.
    std::function<void(const std::u16string&)> OnShowMessage;
};

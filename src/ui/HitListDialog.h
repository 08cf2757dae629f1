// Every place the text is found in the open book, listed with a line of
// context and its chapter as they are found (a big book stays live, a count
// tells how far the search has come). Return or a double click chooses one;
// the main window then shows it marked.
#pragma once

#include <QCoreApplication>
#include <QDialog>

#include <memory>
#include <vector>

#include "search/HitList.h"

class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class ReadingSession;

class HitListDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(HitListDialog)

  public:
    HitListDialog();
    ~HitListDialog() override;
    // Lists the hits of text in the session's book; a list already made for
    // this book and text is kept (and goes on when it was left unfinished).
    void List(ReadingSession& session, const std::string& text);
    // After OK: the hit chosen, and the text it is a hit of.
    const ListedHit* Chosen() const { return chosen_ >= 0 ? &hits_[size_t(chosen_)] : nullptr; }
    std::string Text() const { return search_ ? search_->Text() : std::string(); }
    // Still looking through the book.
    bool Searching() const;

    QLineEdit* Edit = nullptr;
    QLabel* Count = nullptr;
    QTreeWidget* Tree = nullptr;
    // At most this many hits are listed.
    static constexpr size_t MaxListed = 10000;

  private:
    void Start();
    void ScanSome();
    void Choose();
    void Stop();

    ReadingSession* session_ = nullptr;
    uint64_t book_ = 0;
    std::unique_ptr<HitList> search_;
    std::vector<ListedHit> hits_;
    int chosen_ = -1;
    QTimer* timer_ = nullptr;
};

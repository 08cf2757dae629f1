// The book record, its book file, and the list of books in a library folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "unitDataStreaming.h"
#include "unitNotifier.h"
#include "unitStrings.h"

// One book: title, book file name, properties, converted text and reading position.
// Its book file is Folder + FileName; Folder is the library folder with a trailing '/'.
class TBookInfo {
  public:
    TBookInfo(std::string folder, TNotifier* notifier);

    std::string Title;
    std::string FileName;
    TLines Properties;
    TLines ReservedA;
    TLines ReservedB;
    int32_t LastParagraph = 0;
    int32_t LastPage = 1;
    bool IsLastPage = false;
    bool IsFirstPage = false;

    // The converted text. EditBody gives write access and drops the page index,
    // which is rebuilt at the next page extraction.
    const TLines& Body() const { return body_; }
    TLines& EditBody() {
        pagesIndexed_ = false;
        return body_;
    }

    const std::string& Folder() const { return folder_; }
    std::string FullPath() const { return folder_ + FileName; }

    void LoadFromBookFile();
    void LoadHeader();
    void SaveToBookFile();
    void ReadFrom(TStream& s, bool headerOnly);
    void WriteTo(TStream& s) const;
    void SavePosition();
    void DeleteBookFile();

    std::string GetProperty(const std::string& name) const;
    int32_t GetIntProperty(const std::string& name) const;
    void SetProperty(const std::string& name, const std::string& value);

    void ExtractPage(int32_t n, TLines& lines);
    void NextPage(TLines& lines);
    void PrevPage(TLines& lines);

  private:
    struct TextPos {
        size_t line;
        size_t col;
    };
    void IndexPages();
    bool FindMarker(int32_t n, TextPos& pos) const;
    bool Load(bool headerOnly);

    std::string folder_;
    TNotifier* notifier_;
    TLines body_;
    // First occurrence of each page marker "<PageN>" in the body text, found once.
    std::unordered_map<int32_t, TextPos> pages_;
    bool pagesIndexed_ = false;
};

// Case-folded (A-Z only) byte comparison of titles: <0, 0 or >0.
int CompareBookTitles(const TBookInfo& a, const TBookInfo& b);

// The books of one library folder, each loaded header-only. Owns its records.
class TBookInfoList {
  public:
    TBookInfoList(std::string folder, TNotifier* notifier);
    TBookInfo& AddNew();
    TBookInfo& GetBook(size_t index) { return *books_.at(index); }
    size_t Count() const { return books_.size(); }
    void Clear() { books_.clear(); }
    void ScanFolder();
    void SortByTitle();
    // The captions a list view shows, one per record in list order.
    std::vector<std::string> Captions() const;

  private:
    std::string folder_;
    TNotifier* notifier_;
    std::vector<std::unique_ptr<TBookInfo>> books_;
};

// The archive viewer: lists the ".txt" members of a ZIP archive and extracts the
// one chosen by double-click into TEMP/.
#pragma once

#include <QCoreApplication>

#include <QDialog>

#include "archive/ZipArchive.h"

class QTreeWidget;

class ArchiveDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(ArchiveDialog)

  public:
    ArchiveDialog();
    std::string ArchiveFileName;    // input: the archive's full path
    std::string ExtractedFileName;  // output: TEMP/ + the chosen member's bare name
    std::string ExtractedMember;    // output: the chosen member's path in the archive
    bool ExtractionFailed = false;  // the viewer closed because an extraction failed

    // Reads the archive's directory before the window shows: raises "Cannot
    // read the archive %s: reason" for an archive that cannot be read, and
    // "%s holds no text file" for one without a text member.
    void LoadArchive();
    void FillFileList();
    // Extracts the selected member; false (after telling the user) when it failed.
    bool ExtractSelected();
    void ExtractChosen();

    QTreeWidget* memberTree = nullptr;
    ZipArchive Zip;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    std::vector<ArchiveRow> rows_;
};

// A member's size in KB and its date and time, as the locale writes them.
QString SizeText(uint64_t bytes);
QString DateText(uint32_t dosDateTime);

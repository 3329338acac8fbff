#pragma once

#include "books/Book.h"

#include <QString>
#include <QStringView>

#include <string>

namespace tovrin {

// Lays a book out as the player's document text while a converter walks it: one line per
// paragraph, indented, headings on lines of their own at the margin, and an empty-line gap
// before every chapter but the first. Every chapter that follows another opens with a heading
// line, so that the layout analysis of the loaded text finds the chapter gaps as section breaks.
class BookWriter {
  public:
    // Empty lines between chapters: enough for the section count of every layout the analysis
    // chooses for such text, and for the default.
    static constexpr int kChapterGap = 2;
    static constexpr const char* kIndent = "   ";

    void SetTitle(const QString& title);
    void SetAuthor(const QString& author);
    // The next line opens a new chapter, unless the chapter being written holds only headings
    // so far (a part's title directly followed by its first chapter's). `label` names the
    // chapter when it brings no heading of its own.
    void StartChapter(const QString& label = QString());
    void Heading(const QString& text);
    // A heading over the whole book (its title on the first page): written as a heading line,
    // but no chapter is named after it.
    void BookHeading(const QString& text);
    void Paragraph(const QString& text);
    // The book; throws BookError when nothing readable was found.
    Book Finish();

    bool HasTitle() const { return !book_.Title.empty(); }

  private:
    void Line(const QString& text, bool heading, bool namesChapter = true);
    void Emit(const std::string& line, bool indented);

    Book book_;
    bool chapterHasBody_ = false;
    bool chapterPending_ = false;
    bool titleOpen_ = false;  // the chapter's title still grows with each heading line
    QString pendingLabel_;
    std::string line_;  // the line being written, in Windows-1251
};

// Folds white space to single blanks, drops invisible characters (soft hyphens, zero-width
// marks, controls) and trims the ends.
QString CleanLine(const QString& text);

// CleanLine's result appended in Windows-1251, each character the code page lacks as "?" and
// counted in `unmapped`; false when nothing was left.
bool AppendCleanWindows1251(std::string& out, QStringView text, size_t& unmapped);

}  // namespace tovrin

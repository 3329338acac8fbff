// Texts of both kinds side by side: hard-wrapped ones (indented first lines, or empty lines
// between paragraphs) and ones with a paragraph per line, as most books come today. The
// analysis must tell them apart, and reading, paragraph steps and chapter steps must follow.

#include "tests/text/TextDoc.h"
#include "text/CodePages.h"
#include "text/DocumentFile.h"
#include "text/Navigation.h"
#include "text/PlayerOptions.h"
#include "text/Portion.h"
#include "text/TextFinder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tovrin {
namespace {

using test::TextDoc;

const char* const kSentences[] = {
    "Утром над рекой поднялся густой туман, и лодки у причала едва виднелись.",
    "Старый паромщик вышел на берег, посмотрел на воду и покачал головой.",
    "— Сегодня никто не поедет, — сказал он.",
    "Дети, которые ждали переправы с корзинами ягод, переглянулись и сели на траву.",
    "Где-то за лесом прокричала птица, и ей ответила другая, совсем близко.",
    "К полудню туман рассеялся, солнце осветило мокрые доски, и паром тихо качнулся.",
    "Паромщик долго молчал, потом махнул рукой и отвязал тяжелую цепь.",
    "Вода была холодной и темной, а течение несло ветки и листья к далекому мосту.",
};
constexpr int kSentenceCount = sizeof kSentences / sizeof kSentences[0];

// A book of chapters, each a heading and paragraphs of one to four sentences.
struct Book {
    std::vector<std::string> headings;
    std::vector<std::vector<std::string>> chapters;  // paragraphs, Windows-1251
};

Book MakeBook(int chapters, int paragraphs) {
    Book book;
    int next = 0;
    for (int c = 0; c < chapters; ++c) {
        book.headings.push_back(Utf8ToWindows1251("Глава " + std::to_string(c + 1)));
        book.chapters.emplace_back();
        for (int p = 0; p < paragraphs; ++p) {
            std::string paragraph;
            for (int s = 0; s <= (c + p) % 4; ++s) {
                if (!paragraph.empty()) paragraph += ' ';
                paragraph += kSentences[next++ % kSentenceCount];
            }
            book.chapters.back().push_back(Utf8ToWindows1251(paragraph));
        }
    }
    return book;
}

// Greedy wrap of a paragraph at `width` columns; the first line indented by `indent`.
std::vector<std::string> Wrap(const std::string& paragraph, size_t width, size_t indent) {
    std::vector<std::string> lines{std::string(indent, ' ')};
    std::istringstream words(paragraph);
    std::string word;
    while (words >> word) {
        std::string& line = lines.back();
        const bool blankLine = line.find_first_not_of(' ') == std::string::npos;
        if (!blankLine && line.size() + 1 + word.size() > width) {
            lines.emplace_back();
        } else if (!blankLine) {
            lines.back() += ' ';
        }
        lines.back() += word;
    }
    return lines;
}

enum class Form { WrappedIndented, WrappedSpaced, LinePlain, LineIndented, LineMixed };

// The book written in one form; chapters end with `chapterGap` empty lines.
std::string Write(const Book& book, Form form, size_t width, int chapterGap) {
    std::string text;
    for (size_t c = 0; c < book.chapters.size(); ++c) {
        text += book.headings[c] + "\r\n";
        if (form == Form::WrappedSpaced) text += "\r\n";
        for (size_t p = 0; p < book.chapters[c].size(); ++p) {
            const std::string& paragraph = book.chapters[c][p];
            if (form == Form::WrappedIndented || form == Form::WrappedSpaced) {
                for (const std::string& line :
                     Wrap(paragraph, width, form == Form::WrappedIndented ? 4 : 0))
                    text += line + "\r\n";
                if (form == Form::WrappedSpaced) text += "\r\n";
                continue;
            }
            // Mixed: dialogue flush left, narrative indented, as converted books often have.
            const bool dialogue = paragraph.rfind(Utf8ToWindows1251("—"), 0) == 0;
            const bool indented =
                form == Form::LineIndented || (form == Form::LineMixed && !dialogue);
            text += (indented ? "    " : "") + paragraph + "\r\n";
        }
        for (int i = 0; i < chapterGap; ++i)
            text += "\r\n";
    }
    return text;
}

size_t ParagraphCount(const Book& book) {
    size_t count = 0;
    for (const auto& chapter : book.chapters)
        count += chapter.size() + 1;  // the heading reads as a paragraph of its own
    return count;
}

PlayerOptions Analysed(const std::string& text) {
    PlayerOptions options;
    DefaultPlayerOptions(options);
    AnalyseText(options, true, text.c_str());
    return options;
}

// The non-empty portions read by paragraphs from the start to the end.
std::vector<std::string> ReadByParagraphs(const TextDoc& doc, const PlayerOptions& options) {
    std::vector<std::string> spoken;
    doc.Install();
    for (const char* p = doc.At(0); p < doc.At(doc.Size());) {
        const Portion portion = PreparePortion(options, p);
        EXPECT_GT(portion.End, p);
        if (portion.End <= p) break;
        if (portion.Text && portion.Text->find_first_not_of(" \r\n") != std::string::npos)
            spoken.push_back(*portion.Text);
        p = portion.End;
    }
    return spoken;
}

std::string Squeezed(const std::string& text) {
    std::istringstream words(text);
    std::string word, out;
    while (words >> word)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

struct Case {
    const char* name;
    Form form;
    size_t width;
    int chapterGap;
    int32_t abzType;
};

TEST(ParagraphForm, AnalysisTellsWrappedTextsFromLineParagraphs) {
    const Book book = MakeBook(3, 14);
    const Case cases[] = {
        {"wrapped at 60, indented", Form::WrappedIndented, 60, 2, kAbzIndented},
        {"wrapped at 72, indented", Form::WrappedIndented, 72, 1, kAbzIndented},
        {"wrapped at 75, spaced", Form::WrappedSpaced, 75, 2, kAbzEmptyLine},
        {"line per paragraph", Form::LinePlain, 0, 1, kAbzEachLine},
        {"line per paragraph, no gaps", Form::LinePlain, 0, 0, kAbzEachLine},
        {"indented line per paragraph", Form::LineIndented, 0, 1, kAbzEachLine},
        {"mixed indentation", Form::LineMixed, 0, 2, kAbzEachLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = Write(book, c.form, c.width, c.chapterGap);
        const PlayerOptions options = Analysed(text);
        EXPECT_EQ(options.AbzType, c.abzType);

        // Every paragraph of the book is one portion, whole, in order.
        const TextDoc doc(text);
        const std::vector<std::string> spoken = ReadByParagraphs(doc, options);
        ASSERT_EQ(spoken.size(), ParagraphCount(book));
        EXPECT_EQ(Squeezed(spoken[1]), book.chapters[0][0]);
        const std::string& last = book.chapters.back().back();
        const std::string heard = Squeezed(spoken.back());
        ASSERT_GE(heard.size(), 20u);
        EXPECT_EQ(heard.substr(heard.size() - 20), last.substr(last.size() - 20));
    }
}

TEST(ParagraphForm, ShortAndUtf8TextsAreReadLineByLine) {
    // Four short lines, as typed or pasted: four portions with the analysed defaults.
    const std::string four = "Первая строка.\r\nВторая строка.\r\nТретья.\r\nЧетвертая.\r\n";
    for (const std::string& text : {Utf8ToWindows1251(four), four}) {
        const PlayerOptions options = Analysed(text);
        EXPECT_EQ(options.AbzType, kAbzEachLine);
        EXPECT_EQ(options.RazdEmpt, 1);
        EXPECT_EQ(ReadByParagraphs(TextDoc(text), options).size(), 4u);
    }
    // A UTF-8 file with bare line feeds, loaded as the player and tovrin-say load it.
    const LoadedDocument loaded = DocumentFromBytes("Раз.\nДва.\nТри.\nЧетыре.\n");
    EXPECT_EQ(ReadByParagraphs(TextDoc(loaded.Text), Analysed(loaded.Text)).size(), 4u);
    // A line of 90 Russian letters is 180 bytes of UTF-8 but still a line a wrap could make.
    std::string wrapped;
    for (int i = 0; i < 12; ++i) {
        const std::string line =
            (i % 3 == 0 ? "    " : "") + std::string(i % 3 == 2 ? 20 : 45, 'x');
        std::string utf8;
        for (char c : line)
            utf8 += c == 'x' ? "жы" : std::string(1, c);
        wrapped += utf8 + "\r\n";
    }
    EXPECT_EQ(Analysed(wrapped).AbzType, kAbzIndented);
    // Nothing to analyse keeps the indented form.
    EXPECT_EQ(Analysed("").AbzType, kAbzIndented);
    EXPECT_EQ(Analysed("\r\n\r\n").AbzType, kAbzIndented);
}

TEST(ParagraphForm, StepsAndChaptersInALinePerParagraphBook) {
    const Book book = MakeBook(3, 5);
    const std::string text = Write(book, Form::LineIndented, 0, 1);
    const PlayerOptions options = Analysed(text);
    ASSERT_EQ(options.AbzType, kAbzEachLine);
    EXPECT_EQ(options.RazdEmpt, 1);
    const LayoutParams layout = LayoutParamsOf(options);
    const TextDoc doc(text);

    // One paragraph down at a time visits every line start, headings included.
    std::vector<std::ptrdiff_t> stops;
    for (const char* caret = doc.At(0); caret < doc.At(doc.Size());) {
        const char* next = MoveTarget(layout, Move::ParagraphDown, caret);
        ASSERT_GT(next, caret);
        caret = next;
        stops.push_back(doc.Offset(caret));
    }
    ASSERT_EQ(stops.size(), ParagraphCount(book));  // the last stop is the end of the text
    EXPECT_EQ(stops[0], doc.Find("    " + book.chapters[0][0]));
    // And back up, one line at a time, to the start.
    const char* caret = doc.At(doc.Size());
    for (size_t i = stops.size() - 1; i > 0; --i) {
        caret = MoveTarget(layout, Move::ParagraphUp, caret);
        EXPECT_EQ(doc.Offset(caret), stops[i - 1]);
    }
    EXPECT_EQ(MoveTarget(layout, Move::ParagraphUp, caret), doc.At(0));

    // Chapter steps land on the headings, forward and back.
    const auto second = doc.Find(book.headings[1]), third = doc.Find(book.headings[2]);
    EXPECT_EQ(doc.Offset(MoveTarget(layout, Move::SectionDown, doc.At(0))), second);
    EXPECT_EQ(doc.Offset(MoveTarget(layout, Move::SectionDown, doc.At(second))), third);
    EXPECT_EQ(doc.Offset(MoveTarget(layout, Move::SectionUp, doc.At(third + 3))), third);
    EXPECT_EQ(doc.Offset(MoveTarget(layout, Move::SectionUp, doc.At(third))), second);
    const TextRange chapter = FindNextSection(layout, doc.At(second));
    EXPECT_EQ(doc.Offset(chapter.End), third - 2);  // where the empty line begins
}

TEST(ParagraphForm, LineParagraphsGetTheirTextsAndStartMidLine) {
    const auto w = [](const char* utf8) { return Utf8ToWindows1251(utf8); };
    const TextDoc doc(w("Один.\r\n  Два три.\r\n\r\nЧетыре\r\n"));
    PlayerOptions options;
    DefaultPlayerOptions(options);
    options.AbzType = kAbzEachLine;
    options.AbzBeg = "[";
    options.AbzEnd = "]";
    options.Dcd_NoCommand = false;
    const std::vector<std::string> spoken = ReadByParagraphs(doc, options);
    ASSERT_EQ(spoken.size(), 3u);
    EXPECT_EQ(spoken[0], w("[Один.\r\n]"));
    EXPECT_EQ(spoken[1], w("[  Два три.\r\n]"));
    EXPECT_EQ(spoken[2], w("[Четыре\r\n]"));

    // From inside a line: the rest of it, without the begin text.
    const Portion rest = PreparePortion(options, doc.At(doc.Find(w("три"))));
    EXPECT_EQ(rest.Text.value_or(""), w("три.\r\n]"));
    // After a line's last character: the next line.
    const Portion after = PreparePortion(options, doc.At(doc.Find("\r\n\r\n")));
    EXPECT_EQ(doc.Offset(after.Start), doc.Find(w("Четыре")));
    // A line longer than the longest portion is cut, and the cut is not dressed as an end.
    const std::string longLine(kMaxParagraphPortion + 100, 'a');
    const TextDoc huge(longLine + "\r\nb\r\n");
    const Portion first = PreparePortion(options, huge.At(0));
    EXPECT_EQ(huge.Offset(first.End), kMaxParagraphPortion);
    EXPECT_EQ(first.Text->back(), 'a');
    const Portion second = PreparePortion(options, first.End);
    EXPECT_EQ(second.Text->front(), 'a');
    EXPECT_EQ(huge.Offset(second.End), huge.Find("b"));

    // Blocks of whole lines.
    options.ReadingType = 1;
    options.BlockSize = 1024;
    doc.Install();
    const Portion block = PreparePortion(options, doc.At(0));
    // Packing makes each line break a blank.
    EXPECT_EQ(block.Text.value_or(""), w("[Один. ][ Два три. ][Четыре ]"));
}

}  // namespace
}  // namespace tovrin

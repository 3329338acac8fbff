#include "text/TextFinder.h"

#include "tests/text/TextDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace tovrin {
namespace {

using test::TextDoc;

LayoutParams Layout(int32_t abzType, int32_t razdEmpt = 1) {
    LayoutParams layout;
    layout.AbzType = abzType;
    layout.RazdEmpt = razdEmpt;
    return layout;
}

// First lines indented by four, body lines flush, CR LF line ends.
constexpr const char* kIndented =
    "    One a\r\none b\r\n    Two a\r\ntwo b\r\ntwo c\r\n    Three\r\n";

TEST(TextFinder, LineStepsStopAtLineBreaksAndBounds) {
    // A CR LF line, a line ended by a bare CR, an empty line, a last line.
    const TextDoc doc("ab\r\ncd\r\rx\r\n");
    EXPECT_EQ(doc.Offset(LineStart(doc.At(5))), 4);
    EXPECT_EQ(doc.Offset(LineEnd(doc.At(4))), 6);
    EXPECT_EQ(doc.Offset(NextLine(doc.At(0))), 4);
    EXPECT_EQ(doc.Offset(NextLine(doc.At(4))), 7);
    EXPECT_TRUE(IsEmptyLine(doc.At(7)));
    EXPECT_FALSE(IsEmptyLine(doc.At(5)));
    EXPECT_EQ(doc.Offset(NextLine(doc.At(7))), 8);
    EXPECT_EQ(doc.Offset(PreviousLine(doc.At(8))), 7);
    EXPECT_EQ(doc.Offset(PreviousLine(doc.At(7))), 4);
    EXPECT_EQ(doc.Offset(PreviousLine(doc.At(1))), 0);
    EXPECT_EQ(doc.Offset(LineStart(doc.At(0))), 0);
    // The end of a text that ends in a line break is an empty line of its own.
    EXPECT_EQ(LineStart(doc.At(doc.Size())), doc.At(doc.Size()));
    EXPECT_EQ(NextLine(doc.At(doc.Size())), doc.At(doc.Size()));
    // Positions outside the bounds are taken as the bound.
    EXPECT_EQ(LineStart(doc.At(-3)), doc.At(0));
    EXPECT_EQ(LineEnd(doc.At(doc.Size() + 3)), doc.At(doc.Size()));
}

TEST(TextFinder, IndentationCountsBlanksTabsAndFormFeeds) {
    const TextDoc doc(" \tA\r\tB\r  \r\f C\r\n\nD\rE");
    EXPECT_EQ(Indentation(doc.At(0)), 8);  // blank then tab: to the next multiple of 8
    EXPECT_EQ(Indentation(doc.At(doc.Find("\tB"))), 8);
    EXPECT_EQ(Indentation(doc.At(doc.Find("  \r"))), -1);
    EXPECT_EQ(Indentation(doc.At(doc.Find("\f C"))), 2);
    EXPECT_EQ(Indentation(doc.At(doc.Find("\nD"))), 0);  // a line feed counts nothing
    EXPECT_EQ(Indentation(doc.At(doc.Find("E"))), 0);
    EXPECT_EQ(Indentation(doc.At(doc.Size())), -1);

    const LineMeasures m = MeasureLines(doc.At(doc.Find("\tB") + 1));
    EXPECT_EQ(m.Cur, 8);
    EXPECT_EQ(m.Prev, 8);
    // The form feed after the empty line makes it a page break, so the next line is "\f C".
    EXPECT_EQ(m.Next, 2);
    EXPECT_EQ(MeasureLines(doc.At(1)).Prev, -1);
}

TEST(TextFinder, FormFeedMakesARunOfEmptyLinesOneBreak) {
    const TextDoc paged("A\r\n\r\n\f\r\n\r\nB\r\n");
    EXPECT_EQ(NextLine(paged.At(0)), paged.At(paged.Find("B")));
    EXPECT_EQ(PreviousLine(paged.At(paged.Find("B"))), paged.At(0));

    const TextDoc plain("A\r\n\r\n\r\nB\r\n");
    EXPECT_EQ(plain.Offset(NextLine(plain.At(0))), 3);
    EXPECT_EQ(plain.Offset(PreviousLine(plain.At(plain.Find("B")))), 5);
}

TEST(TextFinder, FindParagraphInIndentedText) {
    const TextDoc doc(kIndented);
    const LayoutParams layout = Layout(0);
    const auto two = doc.Find("    Two"), three = doc.Find("    Three");

    TextRange r = FindParagraph(layout, doc.At(0));
    EXPECT_EQ(doc.Offset(r.Start), 0);
    EXPECT_EQ(doc.Offset(r.End), two);
    r = FindParagraph(layout, doc.At(two));
    EXPECT_EQ(doc.Offset(r.Start), two);
    EXPECT_EQ(doc.Offset(r.End), three);
    r = FindParagraph(layout, doc.At(three));
    EXPECT_EQ(doc.Offset(r.End), doc.Size());

    // Inside a paragraph the start is the position itself.
    const auto inside = doc.Find("two b") + 2;
    r = FindParagraph(layout, doc.At(inside));
    EXPECT_EQ(doc.Offset(r.Start), inside);
    EXPECT_EQ(doc.Offset(r.End), three);

    // At a paragraph's last character the search goes on to the next paragraph.
    r = FindParagraph(layout, doc.At(doc.Find("one b") + 5));
    EXPECT_EQ(doc.Offset(r.Start), two);
    EXPECT_EQ(doc.Offset(r.End), three);

    r = FindParagraph(layout, doc.At(doc.Size()));
    EXPECT_EQ(doc.Offset(r.Start), doc.Size());
    EXPECT_EQ(doc.Offset(r.End), doc.Size());
}

TEST(TextFinder, EquallyIndentedLinesAreOneLineParagraphs) {
    const TextDoc doc("    X\r\n    Y\r\ny2\r\ny3\r\n");
    const LayoutParams layout = Layout(0);
    const auto y = doc.Find("    Y");
    TextRange r = FindParagraph(layout, doc.At(0));
    EXPECT_EQ(doc.Offset(r.End), y);
    r = FindParagraph(layout, doc.At(y));
    EXPECT_EQ(doc.Offset(r.Start), y);
    EXPECT_EQ(doc.Offset(r.End), doc.Size());

    EXPECT_EQ(doc.Offset(FindParagraphStart(layout, doc.At(doc.Find("y3"))).Start), y);
    EXPECT_EQ(doc.Offset(FindParagraphStart(layout, doc.At(y)).Start), 0);
}

TEST(TextFinder, FindParagraphWithEmptyLineSeparation) {
    const TextDoc doc("Alpha one\r\nalpha two\r\n\r\n\r\nBeta\r\nbeta\r\n");
    const LayoutParams layout = Layout(1);
    const auto empty = doc.Find("\r\n\r\n") + 2, beta = doc.Find("Beta");
    TextRange r = FindParagraph(layout, doc.At(0));
    EXPECT_EQ(doc.Offset(r.End), empty);
    r = FindParagraph(layout, r.End);
    EXPECT_EQ(doc.Offset(r.Start), beta);
    EXPECT_EQ(doc.Offset(r.End), doc.Size());

    // Backwards: inside Beta's paragraph, at its start, and among the empty lines.
    TextStart s = FindParagraphStart(layout, doc.At(doc.Find("beta")));
    EXPECT_EQ(doc.Offset(s.Start), beta);
    s = FindParagraphStart(layout, doc.At(beta));
    EXPECT_EQ(doc.Offset(s.Start), 0);
    EXPECT_EQ(doc.Offset(s.Aux), empty);
    s = FindParagraphStart(layout, doc.At(empty + 2));
    EXPECT_EQ(doc.Offset(s.Start), 0);
}

TEST(TextFinder, FindParagraphStartInIndentedText) {
    const TextDoc doc(kIndented);
    const LayoutParams layout = Layout(0);
    const auto two = doc.Find("    Two"), three = doc.Find("    Three");
    TextStart s = FindParagraphStart(layout, doc.At(0));
    EXPECT_EQ(doc.Offset(s.Start), 0);
    EXPECT_EQ(doc.Offset(s.Aux), 0);
    EXPECT_EQ(doc.Offset(FindParagraphStart(layout, doc.At(doc.Find("two c"))).Start), two);
    // From a paragraph's start the search turns back to the previous one.
    s = FindParagraphStart(layout, doc.At(two));
    EXPECT_EQ(doc.Offset(s.Start), 0);
    EXPECT_EQ(doc.Offset(s.Aux), two);
    s = FindParagraphStart(layout, doc.At(doc.Size()));
    EXPECT_EQ(doc.Offset(s.Start), three);
    EXPECT_EQ(doc.Offset(s.Aux), doc.Size());
}

TEST(TextFinder, SectionsAreSeparatedByRazdEmptyEmptyLines) {
    const TextDoc doc("A1\r\n\r\nA2\r\n\r\n\r\nB1\r\n\r\nB2\r\n");
    const LayoutParams layout = Layout(1, 2);
    const auto a2End = doc.Find("A2") + 4, b1 = doc.Find("B1");
    TextRange next = FindNextSection(layout, doc.At(0));
    EXPECT_EQ(doc.Offset(next.Start), 0);
    EXPECT_EQ(doc.Offset(next.End), a2End);
    next = FindNextSection(layout, next.End);
    EXPECT_EQ(doc.Offset(next.Start), b1);
    EXPECT_EQ(doc.Offset(next.End), doc.Size());

    EXPECT_EQ(doc.Offset(FindPreviousSection(layout, doc.At(doc.Find("B2"))).Start), b1);
    EXPECT_EQ(doc.Offset(FindPreviousSection(layout, doc.At(b1)).Start), 0);
    EXPECT_EQ(doc.Offset(FindPreviousSection(layout, doc.At(0)).Start), 0);

    // With one empty line enough, every paragraph is a section.
    EXPECT_EQ(doc.Offset(FindNextSection(Layout(1, 1), doc.At(0)).End), doc.Find("\r\n") + 2);
}

TEST(TextFinder, MostCommonGapCountsEmptyLinesBetweenParagraphs) {
    const TextDoc spaced("A\r\n\r\nB\r\n\r\nC\r\n\r\n\r\nD\r\n");
    EXPECT_EQ(MostCommonGap(Layout(1), spaced.Data()), 1);
    const TextDoc indented(kIndented);
    EXPECT_EQ(MostCommonGap(Layout(0), indented.Data()), 0);
    // A tie goes to the smaller count.
    const TextDoc tie("A\r\n\r\nB\r\n\r\n\r\nC\r\n\r\n\r\n\r\nD\r\n\r\n\r\nE\r\n\r\nF\r\n");
    EXPECT_EQ(MostCommonGap(Layout(0), tie.Data()), 1);
    // Runs longer than the histogram are left out.
    std::string huge = "A\r\n";
    for (int i = 0; i < 300; ++i)
        huge += "\r\n";
    huge += "B\r\n\r\n\r\nC\r\n";
    const TextDoc far(huge);
    EXPECT_EQ(MostCommonGap(Layout(0), far.Data()), 2);
}

TEST(TextFinder, BoundedSearchesAgreeWithFullOnesAndStopEarly) {
    std::string flat;
    for (int i = 0; i < 3000; ++i)
        flat += "flat line of a text without paragraph marks\r\n";
    const TextDoc doc(flat);
    const LayoutParams layout = Layout(0);
    const char* middle = doc.At(doc.Size() / 2);
    const TextRange bounded = FindParagraph(layout, middle, 34816);
    EXPECT_GT(bounded.End - bounded.Start, 34816);
    EXPECT_LT(bounded.End - bounded.Start, 34816 + 200);
    EXPECT_EQ(FindParagraph(layout, middle).End, doc.At(doc.Size()));
    const TextStart floored = FindParagraphStart(layout, middle, middle - 1000);
    EXPECT_LE(floored.Start, middle - 1000);
    EXPECT_GT(floored.Start, middle - 1200);

    const TextDoc small(kIndented);
    for (std::ptrdiff_t i = 0; i <= small.Size(); ++i) {
        const TextRange full = FindParagraph(layout, small.At(i));
        const TextRange cut = FindParagraph(layout, small.At(i), 34816);
        EXPECT_EQ(full.Start, cut.Start);
        EXPECT_EQ(full.End, cut.End);
        EXPECT_EQ(FindParagraphStart(layout, small.At(i)).Start,
                  FindParagraphStart(layout, small.At(i), small.At(0)).Start);
    }
}

TEST(TextFinder, DegenerateTextsStayWithinBounds) {
    const LayoutParams layout = Layout(0);
    const TextDoc empty("");
    EXPECT_EQ(FindParagraph(layout, empty.At(0)).End, empty.At(0));
    EXPECT_EQ(FindParagraphStart(layout, empty.At(0)).Start, empty.At(0));
    EXPECT_EQ(FindNextSection(layout, empty.At(0)).End, empty.At(0));
    EXPECT_EQ(FindPreviousSection(layout, empty.At(0)).Start, empty.At(0));
    EXPECT_EQ(MostCommonGap(layout, empty.Data()), 0);

    const TextDoc oneLine("no line break at all");
    EXPECT_EQ(FindParagraph(layout, oneLine.At(3)).End, oneLine.At(oneLine.Size()));
    EXPECT_EQ(FindParagraphStart(layout, oneLine.At(oneLine.Size())).Start, oneLine.At(0));

    const TextDoc blanks("  \r\n\t\r\n \r\n");
    for (std::ptrdiff_t i = 0; i <= blanks.Size(); ++i) {
        EXPECT_EQ(FindParagraph(layout, blanks.At(i)).Start, blanks.At(blanks.Size()));
        EXPECT_EQ(FindParagraphStart(layout, blanks.At(i)).Start, blanks.At(0));
    }
}

// Random layouts of blanks, tabs, form feeds and line breaks: every answer stays inside the
// text, and the bounded searches decide exactly as the full ones.
TEST(TextFinder, RandomLayoutsKeepTheInvariants) {
    std::mt19937 random(20261208);
    const char alphabet[] = {' ', ' ', '\t', '\f', '\r', '\r', '\n', 'a', 'a', 'a', 'b', '-'};
    for (int round = 0; round < 400; ++round) {
        std::string text(random() % 160, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        const TextDoc doc(text);
        const char* first = doc.At(0);
        const char* end = doc.At(doc.Size());
        const LayoutParams layout = Layout(static_cast<int32_t>(round % 3), 1 + round % 3);
        std::vector<std::ptrdiff_t> order(static_cast<size_t>(doc.Size() + 1));
        std::iota(order.begin(), order.end(), 0);
        if (round % 3 == 0) std::shuffle(order.begin(), order.end(), random);
        for (const std::ptrdiff_t i : order) {
            const char* p = doc.At(i);
            const TextRange forward = FindParagraph(layout, p);
            ASSERT_GE(forward.Start, p);
            ASSERT_LE(forward.Start, forward.End);
            ASSERT_LE(forward.End, end);
            if (p < end && forward.Start < end) {
                ASSERT_GT(forward.End, forward.Start);
            }
            const std::ptrdiff_t limit = random() % 40;
            const TextRange bounded = FindParagraph(layout, p, limit);
            ASSERT_EQ(bounded.Start, forward.Start);
            if (forward.End - forward.Start > limit) {
                ASSERT_GT(bounded.End - bounded.Start, limit);
            } else {
                ASSERT_EQ(bounded.End, forward.End);
            }

            const TextStart backward = FindParagraphStart(layout, p);
            ASSERT_GE(backward.Start, first);
            ASSERT_LE(backward.Start, end);
            const char* floor = doc.At(random() % (i + 1));
            const TextStart floored = FindParagraphStart(layout, p, floor);
            if (backward.Start <= floor) {
                ASSERT_LE(floored.Start, floor);
                if (floored.Aux != backward.Aux) {
                    ASSERT_LE(floored.Aux, floor);
                    ASSERT_LE(backward.Aux, floor);
                }
            } else {
                ASSERT_EQ(floored.Start, backward.Start);
                ASSERT_EQ(floored.Aux, backward.Aux);
            }

            const TextRange section = FindNextSection(layout, p);
            ASSERT_LE(section.End, end);
            const TextStart previous = FindPreviousSection(layout, p);
            ASSERT_GE(previous.Start, first);

            // What the finder remembers about nearby lines must not change any answer.
            doc.Install();
            ASSERT_EQ(FindParagraph(layout, p).End, forward.End);
            doc.Install();
            ASSERT_EQ(FindParagraphStart(layout, p).Start, backward.Start);
            doc.Install();
            ASSERT_EQ(FindNextSection(layout, p).End, section.End);
            doc.Install();
            ASSERT_EQ(FindPreviousSection(layout, p).Start, previous.Start);
        }
        ASSERT_GE(MostCommonGap(layout, first), 0);
    }
}

// The line steps walked out plainly, character by character, with nothing remembered between
// calls: the finder's remembered line breaks and blank runs must give the same answers whatever
// was asked before.
class PlainLineSteps {
  public:
    explicit PlainLineSteps(const TextDoc& doc) : first_(doc.At(0)), end_(doc.At(doc.Size())) {}

    const char* LineEnd(const char* p) const {
        for (p = Clamp(p); p < end_ && *p != '\r';)
            ++p;
        return p;
    }
    const char* NextLineStart(const char* p) const {
        p = LineEnd(p);
        if (p >= end_) return end_;
        ++p;
        return p < end_ && *p == '\n' ? p + 1 : p;
    }
    const char* LineStart(const char* p) const {
        p = Clamp(p);
        if (p <= first_) return first_;
        const char* lineBreak = PreviousLineBreak(p);
        return IsCr(lineBreak) ? NextLineStart(lineBreak) : lineBreak;
    }
    bool IsEmptyLine(const char* p) const {
        p = LineStart(p);
        while (p < end_ && IsWhite(*p))
            ++p;
        return p >= end_ || *p == '\r';
    }
    const char* NextLine(const char* p) const {
        p = NextLineStart(p);
        if (p < end_ && IsEmptyLine(p)) {
            const char* q = p;
            bool formFeed = false;
            for (; q < end_ && (IsWhite(*q) || *q == '\r'); ++q)
                formFeed = formFeed || *q == '\f';
            if (formFeed && q < end_) p = q;
        }
        return p < end_ ? LineStart(p) : p;
    }
    const char* PreviousLine(const char* p) const {
        p = PreviousLineBreak(Clamp(p));
        if (p > first_ && IsEmptyLine(p)) {
            const char* q = p;
            bool formFeed = false;
            for (; q > first_ && (IsWhite(q[-1]) || q[-1] == '\r'); --q)
                formFeed = formFeed || q[-1] == '\f';
            if (formFeed && q > first_) p = q;
        }
        return p > first_ ? LineStart(p) : p;
    }

  private:
    static bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f'; }
    bool IsCr(const char* p) const { return p < end_ && *p == '\r'; }
    const char* Clamp(const char* p) const { return std::clamp(p, first_, end_); }
    const char* PreviousLineBreak(const char* p) const {
        if (p <= first_) return first_;
        if (IsCr(p)) --p;
        while (p > first_ && !IsCr(p))
            --p;
        return p;
    }

    const char* first_;
    const char* end_;
};

TEST(TextFinder, RememberedLineBreaksNeverChangeALineStep) {
    std::mt19937 random(8122026);
    const char alphabet[] = {' ', '\t', '\f', '\f', '\r', '\r', '\r', '\n', '\n', 'a', 'b'};
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 120, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        const TextDoc doc(text);
        const PlainLineSteps plain(doc);
        for (int ask = 0; ask < 400; ++ask) {
            // Now and then a position just outside the text, to be taken as the bound.
            const char* p = doc.At(static_cast<std::ptrdiff_t>(random() % (text.size() + 3)) - 1);
            switch (random() % 6) {
                case 0:
                    ASSERT_EQ(LineEnd(p), plain.LineEnd(p)) << round;
                    break;
                case 1:
                    ASSERT_EQ(NextLineStart(p), plain.NextLineStart(p)) << round;
                    break;
                case 2:
                    ASSERT_EQ(LineStart(p), plain.LineStart(p)) << round;
                    break;
                case 3:
                    ASSERT_EQ(IsEmptyLine(p), plain.IsEmptyLine(p)) << round;
                    break;
                case 4:
                    ASSERT_EQ(NextLine(p), plain.NextLine(p)) << round;
                    break;
                default:
                    ASSERT_EQ(PreviousLine(p), plain.PreviousLine(p)) << round;
                    break;
            }
        }
    }
}

// Bounds set inside a larger buffer: what lies outside them, line breaks or letters, must not
// change any answer, so no step reads before the first character or past the end.
TEST(TextFinder, AnswersDependOnlyOnTheTextInsideTheBounds) {
    std::mt19937 random(31337);
    const char alphabet[] = {' ', '\t', '\f', '\r', '\r', '\n', 'a', 'a', 'b'};
    const LayoutParams layouts[] = {Layout(0, 1), Layout(1, 2)};
    for (int round = 0; round < 150; ++round) {
        std::string text(random() % 80, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        const std::string lines = "\r\n\r\n\r\n", letters = "xy xy ";
        const std::string one = lines + text + lines, other = letters + text + letters;
        const auto offsetsIn = [&](const std::string& buffer, const LayoutParams& layout,
                                   std::ptrdiff_t i) {
            const char* first = buffer.data() + 6;
            SetTextBounds(first, first + text.size());
            const char* p = first + i;
            const auto at = [&](const char* q) { return q - first; };
            return std::vector<std::ptrdiff_t>{at(LineStart(p)),
                                               at(PreviousLine(p)),
                                               at(NextLine(p)),
                                               at(FindParagraph(layout, p).Start),
                                               at(FindParagraph(layout, p).End),
                                               at(FindParagraphStart(layout, p).Start),
                                               at(FindParagraphStart(layout, p).Aux),
                                               at(FindNextSection(layout, p).End),
                                               at(FindPreviousSection(layout, p).Start),
                                               MeasureLines(p).Prev,
                                               IsParagraphStart(p, MeasureLines(p)),
                                               MostCommonGap(layout, first)};
        };
        for (const LayoutParams& layout : layouts) {
            for (std::ptrdiff_t i = 0; i <= static_cast<std::ptrdiff_t>(text.size()); ++i)
                ASSERT_EQ(offsetsIn(one, layout, i), offsetsIn(other, layout, i)) << round;
        }
    }
}

}  // namespace
}  // namespace tovrin

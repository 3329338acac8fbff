// Random and mutated texts through the filters, the portion cutter, the search and the
// dictionary line parser, checking the promises they make about lengths and positions. Every
// text sits in a buffer of exactly its size, so the sanitizer build catches any read past the
// terminator or before the first character.

#include <gtest/gtest.h>

#include "text/CodePages.h"
#include "text/DictionaryLines.h"
#include "text/EngineCommands.h"
#include "text/Navigation.h"
#include "text/PlayerOptions.h"
#include "text/Portion.h"
#include "text/TextFilters.h"
#include "text/TextFinder.h"
#include "text/TextSearch.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin {
namespace {

// A zero-terminated text in a heap block of exactly its length plus the terminator.
class ExactText {
  public:
    explicit ExactText(std::string_view bytes)
        : size_(bytes.size()), data_(new char[bytes.size() + 1]) {
        std::memcpy(data_.get(), bytes.data(), bytes.size());
        data_[size_] = '\0';
    }
    char* Data() { return data_.get(); }
    const char* Data() const { return data_.get(); }
    // Length up to the first zero byte: where the library sees the text end.
    std::size_t Length() const { return std::strlen(data_.get()); }
    const char* End() const { return data_.get() + Length(); }

  private:
    std::size_t size_;
    std::unique_ptr<char[]> data_;
};

// Fixed seed: every run sees the same texts, so a failure can be replayed.
class Randomness {
  public:
    explicit Randomness(uint32_t seed) : engine_(seed) {}
    uint32_t Below(uint32_t bound) { return bound ? engine_() % bound : 0; }
    bool Chance(uint32_t inverse) { return Below(inverse) == 0; }
    std::mt19937& Engine() { return engine_; }

  private:
    std::mt19937 engine_;
};

// Bytes that steer the filters and finders, weighted so that interesting shapes are common.
char RandomByte(Randomness& random) {
    static const std::string_view kSpecial = "\r\n\r\n \t\f-{}?:._'<>()*\"0123456789pHxA";
    switch (random.Below(10)) {
        case 0:
        case 1:
            return kSpecial[random.Below(kSpecial.size())];
        case 2:
        case 3:
            return ' ';
        case 4:
            return static_cast<char>(1 + random.Below(255));
        case 5:
            return static_cast<char>(random.Chance(2) ? 0xA8 : 0xB8);
        default:
            return static_cast<char>(0xC0 + random.Below(64));
    }
}

std::string RandomBytes(Randomness& random, std::size_t length) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i)
        bytes += RandomByte(random);
    return bytes;
}

// A small document in the shapes the filters are made for, in Windows-1251.
std::string SeedDocument() {
    return Utf8ToWindows1251(
        "                    С Л О В О   О   П О Л К У\r\n\r\n\r\n"
        "     Утром над рекой стоял туман. Старый паромщик вышел на бе-\r\n"
        "рег, посмотрел на воду и сказал: {Wait 5} день будет тёплым.\r\n"
        "Какой-то голос ответил ему 'да'. <b>Ровно в ??:?? он отплыл.\r\n"
        "     Лодка ждала его у мостков. Он проверил вёсла - и сел на\r\n"
        "\r\n"
        "   \t  \r\n"
        "скамью. pH воды был в норме, а Hовый день  начался.\f\r\n"
        "\r\n"
        "     СЛОВО - ПЕРЕВОД (от ГРЕЧ) - ЗВУК 1 2\r\n"
        "  к о т   и   с л о в о { незакрытая скобка\r\n");
}

std::string Mutated(Randomness& random, std::string text) {
    const int mutations = 1 + static_cast<int>(random.Below(12));
    for (int i = 0; i < mutations && !text.empty(); ++i) {
        const std::size_t at = random.Below(text.size());
        switch (random.Below(6)) {
            case 0:
                text[at] = RandomByte(random);
                break;
            case 1:
                text.insert(at, 1, RandomByte(random));
                break;
            case 2:
                text.erase(at, 1 + random.Below(8));
                break;
            case 3:
                text.insert(at, text.substr(random.Below(text.size()), random.Below(200)));
                break;
            case 4:
                text.insert(at, random.Chance(2) ? "-\r\n" : "\r\n\r\n");
                break;
            default:
                text.insert(at, std::string(1 + random.Below(6), ' '));
        }
    }
    return text;
}

std::string RandomText(Randomness& random) {
    if (random.Chance(2)) return Mutated(random, SeedDocument());
    std::string text = RandomBytes(random, random.Below(3000));
    // Now and then a zero byte inside: the text ends there.
    if (!text.empty() && random.Chance(8)) text[random.Below(text.size())] = '\0';
    return text;
}

PlayerOptions RandomOptions(Randomness& random) {
    static const int32_t kBlockSizes[] = {32768, 24576, 16384, 8192, 4096, 2048, 1024};
    PlayerOptions options;
    DefaultPlayerOptions(options);
    options.ReadingType = static_cast<int32_t>(random.Below(3));
    options.CodePage = static_cast<int32_t>(random.Below(5)) - 1;
    options.Dcd_pH = random.Chance(2);
    options.Dcd_NoPeren = random.Chance(2);
    options.Dcd_NoUdar = random.Chance(2);
    options.Dcd_NoCommand = random.Chance(2);
    options.Dcd_NoChar = random.Chance(2);
    options.AbzType = static_cast<int32_t>(random.Below(2));
    options.AbzBeg = random.Chance(2) ? RandomBytes(random, random.Below(6)) : "";
    options.AbzBegP = random.Chance(2);
    options.AbzBegPause = static_cast<int32_t>(random.Below(30));
    options.AbzEnd = random.Chance(2) ? RandomBytes(random, random.Below(6)) : "";
    options.AbzEndP = random.Chance(2);
    options.AbzNoEndP = random.Chance(2);
    options.RazdEmpt = 1 + static_cast<int32_t>(random.Below(4));
    options.BlockSize = random.Chance(3) ? 1024 : kBlockSizes[random.Below(7)];
    options.BlockOrgAbz = random.Chance(2);
    options.BlockSelAbz = random.Chance(2);
    options.BlockPack = random.Chance(2);
    options.BlockMsg = random.Chance(3) ? "{end}" : "";
    return options;
}

// Runs `filter` over a copy of `text` and checks that the length did not change.
template <typename Filter>
void ExpectSameLength(const std::string& text, const char* name, Filter filter) {
    ExactText buffer(text);
    const std::size_t before = buffer.Length();
    filter(buffer.Data());
    EXPECT_EQ(buffer.Length(), before) << name;
}

TEST(Randomized, FiltersKeepOrShortenTheLength) {
    Randomness random(20261207);
    for (int round = 0; round < 1500; ++round) {
        const std::string text = RandomText(random);
        const int from = static_cast<int>(random.Below(7)) - 1;
        const int to = static_cast<int>(random.Below(7)) - 1;
        ExpectSameLength(text, "RecodeText", [&](char* t) { RecodeText(from, to, t); });
        ExpectSameLength(text, "RussifyPH", RussifyPH);
        ExpectSameLength(text, "ReplaceStressMarks", ReplaceStressMarks);
        ExpectSameLength(text, "StripCommands", StripCommands);
        ExpectSameLength(text, "RemoveEngineCommands", RemoveEngineCommands);
        ExpectSameLength(text, "JoinSpacedLetters", [](char* t) { JoinSpacedLetters(t, true); });
        ExpectSameLength(text, "JoinSpacedLetters", [](char* t) { JoinSpacedLetters(t, false); });

        PlayerOptions options = RandomOptions(random);
        options.Dcd_NoPeren = false;
        ExpectSameLength(text, "CleanText", [&](char* t) { CleanText(options, t); });
        options.Dcd_NoPeren = true;
        {
            ExactText buffer(text);
            const std::size_t before = buffer.Length();
            const std::size_t after = CleanText(options, buffer.Data());
            EXPECT_LE(after, before);
            EXPECT_EQ(after, buffer.Length());
        }
        for (const bool withBlank : {false, true}) {
            ExactText buffer(text);
            const std::size_t before = buffer.Length();
            const std::size_t after = JoinHyphenated(buffer.Data(), withBlank);
            EXPECT_LE(after, before) << "JoinHyphenated never lengthens";
            EXPECT_EQ(after, buffer.Length());
        }
        {
            ExactText buffer(text);
            const std::size_t before = buffer.Length();
            const std::size_t after = PackWhiteSpace(buffer.Data());
            EXPECT_LE(after, before);
            EXPECT_EQ(after, buffer.Length());
            const std::string_view packed(buffer.Data(), after);
            EXPECT_EQ(packed.find_first_of("\r\n\t\f"), std::string_view::npos);
            EXPECT_EQ(packed.find("  "), std::string_view::npos);
        }
        {
            const ExactText buffer(text);
            const int minimum = static_cast<int>(random.Below(4));
            const SpacedRun run = FindSpacedRun(buffer.Data(), minimum);
            if (run.found) {
                EXPECT_LE(run.length, run.lengthWithSeparators);
                EXPECT_LE(run.start + run.lengthWithSeparators, buffer.Length());
            }
            // The placeholder test reads at most up to the terminator.
            for (const char* p = buffer.Data(); *p; ++p)
                if (*p == '?') IsEngineCommand(p, 5);
        }
    }
}

void ExpectInsideBounds(const char* position, const ExactText& text) {
    EXPECT_GE(position, text.Data());
    EXPECT_LE(position, text.End());
}

// Checks one portion against the position it was cut from.
void CheckPortion(const PlayerOptions& options, const ExactText& text, const char* position,
                  const Portion& portion) {
    ExpectInsideBounds(portion.Start, text);
    ExpectInsideBounds(portion.End, text);
    EXPECT_LE(portion.Start, portion.End);
    if (position < text.End()) {
        EXPECT_GT(portion.End, position) << "a portion moves forward";
    }
    if (options.ReadingType == 0) {
        EXPECT_LE(portion.End - portion.Start, kMaxParagraphPortion);
    }
}

// Cuts the text from `from` to its end as the player does; false if cutting got stuck.
bool CutToTheEnd(const PlayerOptions& options, const ExactText& text, const char* from) {
    SetTextBounds(text.Data(), text.End());
    std::size_t steps = 0;
    for (const char* position = from; position < text.End(); ++steps) {
        const Portion portion = PreparePortion(options, position);
        CheckPortion(options, text, position, portion);
        if (portion.End <= position || steps > text.Length()) return false;
        position = portion.End;
    }
    return true;
}

TEST(Randomized, PortionsStayInsideTheTextAndMoveForward) {
    Randomness random(4242);
    for (int round = 0; round < 1000; ++round) {
        const ExactText text(RandomText(random));
        const PlayerOptions options = RandomOptions(random);
        const LayoutParams layout = LayoutParamsOf(options);
        SetTextBounds(text.Data(), text.End());
        for (int probe = 0; probe < 8; ++probe) {
            const char* position = text.Data() + random.Below(text.Length() + 1);
            CheckPortion(options, text, position, PreparePortion(options, position));
            for (const Move move :
                 {Move::ParagraphDown, Move::ParagraphUp, Move::SectionDown, Move::SectionUp})
                ExpectInsideBounds(MoveTarget(layout, move, position), text);
        }
        EXPECT_TRUE(CutToTheEnd(options, text, text.Data())) << "round " << round;
    }
}

// The bad inputs a user can hand the player: none may crash or stall the cutting.
TEST(Randomized, HostileDocumentsAreCutToTheEnd) {
    Randomness random(99);
    std::string paragraph = "    ";
    while (paragraph.size() < 40000)
        paragraph += Utf8ToWindows1251("слово ");
    const std::vector<std::string> documents = {
        "",
        "no line break at all",
        std::string(5 * 1000 * 1000, 'x'),
        std::string("first\r\n\0second\r\n", 16),
        RandomBytes(random, 20000),
        paragraph + "\r\n    next\r\n",
        "\r\n\r\n\f\r\n   \r\n",
    };
    for (std::size_t i = 0; i < documents.size(); ++i) {
        const ExactText text(documents[i]);
        for (const int32_t readingType : {0, 1, 2}) {
            PlayerOptions options;
            DefaultPlayerOptions(options);
            options.ReadingType = readingType;
            // Small blocks where the document is small, so that many blocks are cut.
            options.BlockSize = documents[i].size() < 100000 ? 1024 : 32768;
            EXPECT_TRUE(CutToTheEnd(options, text, text.Data()))
                << "document " << i << " reading type " << readingType;
        }
    }
}

FindRequest RandomRequest(Randomness& random, const std::string& text) {
    FindRequest request;
    const std::size_t at = random.Below(text.size() + 1);
    request.Find = text.substr(at, 1 + random.Below(8));
    if (random.Chance(4) && !request.Find.empty())
        request.Find[random.Below(request.Find.size())] = random.Chance(2) ? '*' : '?';
    request.AsMask = random.Chance(2);
    request.WordOnly = random.Chance(3);
    request.CaseOnly = random.Chance(2);
    request.Down = random.Chance(2);
    request.Select = random.Chance(2);
    return request;
}

TEST(Randomized, SearchStaysInsideTheText) {
    Randomness random(777);
    for (int round = 0; round < 1000; ++round) {
        const std::string bytes = RandomText(random);
        const ExactText text(bytes);
        LayoutParams layout;
        layout.CodePage = static_cast<int32_t>(random.Below(5)) - 1;
        SetTextBounds(text.Data(), text.End());
        for (int probe = 0; probe < 6; ++probe) {
            const FindRequest request = RandomRequest(random, std::string(text.Data()));
            if (!MaskIsUsable(request)) continue;
            const char* position = text.Data() + random.Below(text.Length() + 1);
            const FindResult result = FindMatch(layout, position, request);
            if (!result.Found) {
                EXPECT_EQ(result.Start, position);
                EXPECT_EQ(result.End, position);
                continue;
            }
            ExpectInsideBounds(result.Start, text);
            ExpectInsideBounds(result.End, text);
            EXPECT_LE(result.Start, result.End);
            // The character at the cursor is skipped in both directions.
            if (request.Down) {
                EXPECT_GT(result.Start, position);
            } else {
                EXPECT_LT(result.Start, position);
            }
            if (!request.Select) {
                EXPECT_EQ(result.End, result.Start);
            }
            const bool literal =
                !request.AsMask && request.CaseOnly && request.Select &&
                (layout.CodePage == kCodePageUnknown || layout.CodePage == kCodePageWindows) &&
                request.Find.find_first_of(" \t\f\r\n") == std::string::npos;
            if (literal) {
                EXPECT_EQ(std::string_view(result.Start, result.End - result.Start), request.Find);
            }
        }
    }
}

std::string RandomDictionaryLine(Randomness& random) {
    static const std::vector<std::string> kPieces = {" - ",
                                                     " ; ",
                                                     "::",
                                                     "(",
                                                     ")",
                                                     Utf8ToWindows1251("(от"),
                                                     " ",
                                                     "12",
                                                     "-3",
                                                     "x",
                                                     Utf8ToWindows1251("слово"),
                                                     "word",
                                                     "ab",
                                                     Utf8ToWindows1251("ЗВУК"),
                                                     "7",
                                                     "\t",
                                                     ":"};
    std::string line;
    const int pieces = static_cast<int>(random.Below(16));
    for (int i = 0; i < pieces; ++i)
        line += random.Chance(8) ? RandomBytes(random, 3) : kPieces[random.Below(kPieces.size())];
    return line;
}

TEST(Randomized, DictionaryLinesNeverThrow) {
    Randomness random(31337);
    std::vector<std::string> lines;
    for (int round = 0; round < 3000; ++round) {
        const std::string line = RandomDictionaryLine(random);
        DictionaryLine parsed;
        bool ok = false;
        EXPECT_NO_THROW(ok = ParseDictionaryLine(line, parsed)) << line;
        if (ok) {
            EXPECT_EQ(parsed.First.find("::"), std::string::npos) << line;
            EXPECT_EQ(parsed.Third.find(' '), std::string::npos) << line;
        }
        EXPECT_EQ(ReplaceAll(line, " - ", "::").find(" - "), std::string::npos) << line;
        lines.push_back(line);
    }
    std::vector<std::string> shuffled = lines;
    ShuffleRandom shuffle;
    ShuffleLines(shuffled, shuffle);
    std::vector<std::string> sortedBefore = lines;
    std::sort(sortedBefore.begin(), sortedBefore.end());
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, sortedBefore) << "shuffling keeps every line";
    ShuffleDictionary(lines, shuffle);
    for (const std::string& line : lines) {
        DictionaryLine parsed;
        EXPECT_TRUE(ParseDictionaryLine(line, parsed)) << "only dictionary lines remain";
    }
}

}  // namespace
}  // namespace tovrin

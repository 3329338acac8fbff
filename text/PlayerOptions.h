#pragma once

#include <cstdint>
#include <string>

namespace tovrin {

// Every setting that steers how a player window cuts and cleans its document. A plain value
// record: copied freely, each player window holds its own. Strings are Windows-1251 bytes.
struct PlayerOptions {
    int32_t ReadingType = 0;  // 0 by paragraphs, 1 by blocks, 2 by lines
    int32_t CodePage = -1;    // -1 unknown, 0 English, 1 Windows-1251, 2 DOS 866, 3 KOI-8
    bool Dcd_pH = true;
    bool Dcd_NoPeren = true;
    bool Dcd_NoUdar = true;
    bool Dcd_NoCommand = true;
    bool Dcd_NoChar = true;
    int32_t AbzType = 0;  // 0 indented first line, 1 separated by an empty line, 2 each line
    std::string AbzBeg;
    bool AbzBegP = false;
    int32_t AbzBegPause = 0;  // tenths of a second
    std::string AbzEnd;
    bool AbzEndP = false;
    int32_t AbzEndPause = 5;
    bool AbzNoEndP = true;
    int32_t RazdType = 3;
    int32_t RazdEmpt = 1;
    std::string RazdKey;
    int32_t BlockSize = 32768;
    bool BlockOrgAbz = true;
    bool BlockSelAbz = true;
    bool BlockPack = true;
    std::string BlockMsg;
    std::string DictScript = "E1R1";
    bool DictOver = true;
    bool DictRep = true;
};

// Paragraph forms (AbzType): the first line indented deeper than the others; paragraphs
// separated by empty lines; every line a paragraph of its own (texts that are not hard-wrapped).
inline constexpr int32_t kAbzIndented = 0;
inline constexpr int32_t kAbzEmptyLine = 1;
inline constexpr int32_t kAbzEachLine = 2;

// The part of the options that the paragraph and section finders need.
struct LayoutParams {
    int32_t CodePage = -1;
    int32_t AbzType = 0;
    int32_t RazdType = 3;
    int32_t RazdEmpt = 1;
    std::string RazdKey;
};

// Longest paragraph portion, and the longest stretch by which a block may grow past its size
// to finish a paragraph (bytes of source text).
inline constexpr int32_t kMaxParagraphPortion = 34816;
// Bytes looked at by the quick code page guess.
inline constexpr int32_t kQuickDetectLimit = 25000;

void DefaultPlayerOptions(PlayerOptions& options);
LayoutParams LayoutParamsOf(const PlayerOptions& options);

// Tenths of a second from the text of a pause field ("15" for 1.5 s, "2 " for 2.0 s).
// Throws ConversionError when the text is not a decimal number.
int32_t ParsePauseText(const std::string& text);

// Suggests option values for the zero-terminated document `text`: the code page only when
// `full` is false; with `full` also the cleaning switches and the paragraph form. The full
// form sets the text bounds to the whole of `text`.
void AnalyseText(PlayerOptions& options, bool full, const char* text);

}  // namespace tovrin

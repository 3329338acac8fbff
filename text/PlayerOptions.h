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
    int32_t AbzType = 0;  // 0 indented first line, 1 separated by an empty line
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

// The part of the options that the paragraph and section finders need.
struct LayoutParams {
    int32_t CodePage = -1;
    int32_t AbzType = 0;
    int32_t RazdType = 3;
    int32_t RazdEmpt = 1;
    std::string RazdKey;
};

void DefaultPlayerOptions(PlayerOptions& options);
LayoutParams LayoutParamsOf(const PlayerOptions& options);

}  // namespace tovrin

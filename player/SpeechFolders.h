#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovrin {

// The player's dictionary mode outside the window: where a dictionary's sound fragments lie,
// and the request that reads one of its lines.

// The sound folder that `iniFile` (a wavepath.ini) names for the dictionary `dictionaryFile`:
// the key PATH of the section named by the dictionary's file name. A "\" in the value reads
// as "/"; a relative value is taken from the dictionary's folder. The result ends with "/";
// empty when the section has no keys, PATH is empty or the folder does not exist.
std::string ReadWavePath(const std::string& iniFile, const std::string& dictionaryFile);

// The sound folder of a ".DIC" or ".RCH" file (extension in any case), ending with "/", or
// empty when the file is no dictionary or none is found. Looked for, in this order: the
// wavepath.ini of `programFolder`, the wavepath.ini of the dictionary's folder, and the
// folder named by the file name's first two letters (S1 SLOVAR1, S2 SLOVAR2, S3 SLOVAR3,
// R1 RECH) beside the dictionary, in any letter case.
std::string FindSpeechFolder(const std::string& dictionaryFile, const std::string& programFolder);

// The eight-line request (each line ended by CR LF) that has the controller's worker read
// the dictionary line `portion` (Windows-1251): the line's Latin letters upper-cased and
// parsed as a dictionary line, its sound file taken from `speechPath`. A sound file name that
// holds "/" or "\\" or is "." or ".." could name a file outside the folder: the request then
// names no sound file. Nothing when the line does not parse (it is then spoken as text).
std::optional<std::string> MakeDictionaryRequest(const std::string& portion,
                                                 const std::string& dictScript,
                                                 const std::string& speechPath);

// Whether any line of `text` (Windows-1251, lines ended by CR, LF or both) is a dictionary
// entry. A dictionary without one would be read again and again with nothing to play.
bool HoldsDictionaryEntry(std::string_view text);

}  // namespace tovrin

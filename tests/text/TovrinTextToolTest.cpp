// Drives the built tovrin-text program as a black box: exit statuses, output bytes, JSON
// lines, UTF-8 at the edges and usage errors.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/platform/Eventually.h"
#include "tests/support/TestEnvironment.h"
#include "text/CodePages.h"
#include "tools/PortionLoop.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tovrin {
namespace {

struct ToolRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::string WriteTempFile(const std::string& bytes) {
    static int counter = 0;
    const std::string path =
        tovrin::test::MakeTempDir("tool") + "/input-" + std::to_string(++counter) + ".txt";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Runs tovrin-text with `args`, `input` on its standard input; output and errors go to files,
// so that nothing can block on a full pipe.
ToolRun RunTool(const std::vector<std::string>& args, const std::string& input = "") {
    const std::string dir = tovrin::test::MakeTempDir("run");
    const std::string inPath = dir + "/in";
    const std::string outPath = dir + "/out";
    const std::string errPath = dir + "/err";
    std::ofstream(inPath, std::ios::binary) << input;
    const std::string program = tovrin::test::BinaryDir() + "/tovrin-text";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int in = open(inPath.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ToolRun run;
    const std::optional<int> status = child > 0 ? test::WaitStatusOfChild(child) : std::nullopt;
    if (status && WIFEXITED(*status)) run.Status = WEXITSTATUS(*status);
    run.Out = test::ReadWholeFile(outPath);
    run.Err = test::ReadWholeFile(errPath);
    return run;
}

std::string Cp1251(const std::string& utf8) {
    return Utf8ToWindows1251(utf8);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The integer value of "key" in a JSON line, or -999 when absent.
long long JsonInt(const std::string& line, const std::string& key) {
    std::smatch match;
    if (!std::regex_search(line, match, std::regex("\"" + key + "\":(-?[0-9]+)"))) return -999;
    return std::stoll(match[1]);
}

void ExpectUsageError(const std::vector<std::string>& args, const std::string& input = "") {
    const ToolRun run = RunTool(args, input);
    std::string shown;
    for (const std::string& arg : args)
        shown += arg + " ";
    EXPECT_EQ(run.Status, 2) << shown;
    EXPECT_TRUE(run.Out.empty()) << shown;
    // Exactly one line of explanation.
    ASSERT_FALSE(run.Err.empty()) << shown;
    EXPECT_EQ(run.Err.find('\n'), run.Err.size() - 1) << shown << run.Err;
}

// Two indented paragraphs: the first has two lines.
const std::string kTwoParagraphs =
    "    Первый абзац начинается здесь\r\nи продолжается тут.\r\n    Второй абзац.\r\n";

TEST(TovrinTextTool, UsageErrorsExitTwoWithOneLine) {
    const std::string file = WriteTempFile(Cp1251(kTwoParagraphs));
    ExpectUsageError({});
    ExpectUsageError({"frobnicate"});
    ExpectUsageError({"strip", "--bogus"});
    ExpectUsageError({"detect", "--limit"});
    ExpectUsageError({"detect", "--limit", "many"});
    ExpectUsageError({"detect", "--limit", "-1"});
    ExpectUsageError({"clean", "--set", "NoSuchField=1"});
    ExpectUsageError({"clean", "--set", "ReadingType=one"});
    ExpectUsageError({"clean", "--set", "ReadingType=99999999999"});
    ExpectUsageError({"clean", "--set", "Dcd_pH=yes"});
    ExpectUsageError({"clean", "--set", "Dcd_pH"});
    ExpectUsageError({"recode", "--from", "2"});
    // Code pages run from 0 to 4 (and -1, detect's "unknown", as a source): others are typos.
    ExpectUsageError({"recode", "--from", "99", "--to", "-1"});
    ExpectUsageError({"recode", "--from", "2", "--to", "5"});
    ExpectUsageError({"recode", "--from", "-2", "--to", "1"});
    ExpectUsageError({"recode", "--from", "1", "--to", "-1"});
    ExpectUsageError({"portions"});
    ExpectUsageError({"portions", "--analyse", "deep", file});
    ExpectUsageError({"portions", "--from", "12x", file});
    ExpectUsageError({"portions", file, file});
    ExpectUsageError({"portions", "/nonexistent/tovrin/file.txt"});
    ExpectUsageError({"move", "sideways", "--from", "0", file});
    ExpectUsageError({"move", "down", file});
    ExpectUsageError({"find", file});
    ExpectUsageError({"find", "--pattern", "*", "--mask", "--from", "abc", file});
    ExpectUsageError({"dict-line"});
    ExpectUsageError({"analyse", "--full=yes"});
}

TEST(TovrinTextTool, DetectRecodeAndStripWorkOnBytes) {
    std::string russian;
    for (int i = 0; i < 10; ++i)
        russian += Cp1251("Он стоял на берегу реки и смотрел, как вода тихо течёт на север. ");
    EXPECT_EQ(RunTool({"detect"}, russian).Out, "1\n");
    std::string dos = russian;
    RecodeText(kCodePageWindows, kCodePageDos, dos.data());
    EXPECT_EQ(RunTool({"detect", WriteTempFile(dos)}).Out, "2\n");
    EXPECT_EQ(RunTool({"detect"}, "plain latin text only").Out, "-1\n");
    EXPECT_EQ(RunTool({"detect", "--limit", "0"}, russian).Out, "-1\n");

    const ToolRun recoded = RunTool({"recode", "--from", "2", "--to", "1"}, dos);
    EXPECT_EQ(recoded.Status, 0);
    EXPECT_EQ(recoded.Out, russian);
    EXPECT_EQ(RunTool({"recode", "--from", "-1", "--to", "1"}, dos).Out, dos);
    // The text ends at its first zero byte.
    EXPECT_EQ(RunTool({"recode", "--from=2", "--to=1"}, dos + std::string(1, '\0') + dos).Out,
              russian);

    const ToolRun stripped = RunTool({"strip"}, "a{Wait 5}b {hello} c}");
    EXPECT_EQ(stripped.Status, 0);
    EXPECT_EQ(stripped.Out, "a        b (hello) c)");
}

TEST(TovrinTextTool, TextsEndAtAZeroByteWithAWarningAndOnlyRegularFilesAreRead) {
    const std::string withZeros("ab\0cd\0e", 7);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"clean"}, {"strip"}, {"recode", "--from=2", "--to=1"}}) {
        const ToolRun run = RunTool(command, withZeros);
        EXPECT_EQ(run.Status, 0) << command[0];
        EXPECT_EQ(run.Out, "ab") << command[0];
        EXPECT_NE(run.Err.find("5 bytes"), std::string::npos) << command[0] << ": " << run.Err;
    }
    EXPECT_EQ(RunTool({"strip"}, "ab").Err, "");

    // A device would be read until memory runs out.
    ExpectUsageError({"detect", "/dev/zero"});
    EXPECT_NE(RunTool({"detect", "/dev/zero"}).Err.find("Это не обычный файл"), std::string::npos);
}

TEST(TovrinTextTool, CleanAppliesEverySetOption) {
    const std::string broken = Cp1251("пере-\r\nнос и 'ударение'");
    EXPECT_EQ(RunTool({"clean"}, broken).Out, Cp1251("перенос и \"ударение\""));
    EXPECT_EQ(
        RunTool({"clean", "--set", "Dcd_NoPeren=false", "--set", "Dcd_NoUdar=false"}, broken).Out,
        broken);
    // CodePage=2 recodes the DOS input to Windows-1251 before cleaning.
    std::string dos = Cp1251("Кот");
    RecodeText(kCodePageWindows, kCodePageDos, dos.data());
    EXPECT_EQ(RunTool({"clean", "--set", "CodePage=2"}, dos).Out, Cp1251("Кот"));
    EXPECT_EQ(RunTool({"clean", "--set=CodePage=-1"}, "").Status, 0);
}

TEST(TovrinTextTool, PortionsCoverTheTextInOrder) {
    const std::string text = Cp1251(kTwoParagraphs);
    const std::string file = WriteTempFile(text);
    const ToolRun run = RunTool({"portions", file});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::vector<std::string> lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 2u) << run.Out;
    const std::string secondStart = std::to_string(text.find(Cp1251("    Второй")));
    EXPECT_EQ(lines[0].rfind("{\"start\":0,\"end\":" + secondStart + ",\"text\":\"", 0), 0u)
        << lines[0];
    EXPECT_NE(lines[0].find("Первый абзац"), std::string::npos) << "text is UTF-8";
    EXPECT_NE(lines[0].find("\\r\\n"), std::string::npos) << "line breaks are escaped";
    EXPECT_EQ(JsonInt(lines[1], "start"), JsonInt(lines[0], "end"));
    EXPECT_EQ(JsonInt(lines[1], "end"), static_cast<long long>(text.size()));
    EXPECT_EQ(lines[1].back(), '}');

    // Options given in UTF-8 reach the prepared text and come back as UTF-8.
    const ToolRun dressed = RunTool({"portions", "--set", "AbzBeg=Глава", "--set", "AbzBegP=true",
                                     "--set", "AbzBegPause=15", file});
    ASSERT_EQ(dressed.Status, 0) << dressed.Err;
    EXPECT_NE(Lines(dressed.Out).at(1).find("\"text\":\"Глава{wait15}    Второй"),
              std::string::npos)
        << dressed.Out;

    // Starting positions at and beyond the end read nothing; before the start reads all.
    const std::string end = std::to_string(text.size());
    EXPECT_EQ(RunTool({"portions", "--from", end, file}).Out, "");
    EXPECT_EQ(RunTool({"portions", "--from", "99999999999", file}).Out, "");
    EXPECT_EQ(RunTool({"portions", "--from", "-5", file}).Out, run.Out);
    EXPECT_EQ(RunTool({"portions", WriteTempFile("")}).Status, 0);
}

TEST(TovrinTextTool, JsonStringsAreEscapedUtf8) {
    const std::string text = Cp1251("    он сказал \"да\\нет\"\x01\t") + "\x98\r\n";
    const ToolRun run = RunTool({"portions", "--set", "Dcd_NoCommand=false", WriteTempFile(text)});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("\"text\":\"    он сказал \\\"да\\\\нет\\\"\\u0001\\t"),
              std::string::npos)
        << run.Out;
    // A byte without a character in Windows-1251 still yields valid UTF-8.
    EXPECT_NE(run.Out.find("?\\r\\n\"}"), std::string::npos) << run.Out;
    EXPECT_EQ(RunTool({"--help"}).Status, 0);
}

TEST(TovrinTextTool, PortionsAnalyseTheTextLikeThePlayerByDefault) {
    // Four lines of UTF-8, a paragraph each: four portions without any option.
    const std::string four = "Раз строка.\r\nДва строка.\r\nТри строка.\r\nЧетыре строка.\r\n";
    const std::string lines = WriteTempFile(four);
    EXPECT_EQ(Lines(RunTool({"portions", lines}).Out).size(), 4u);
    EXPECT_EQ(Lines(RunTool({"portions", "--analyse", "full", lines}).Out).size(), 4u);
    // Without the analysis the indented form reads them as one paragraph.
    EXPECT_EQ(Lines(RunTool({"portions", "--analyse", "none", lines}).Out).size(), 1u);
    // A --set assignment wins over what the analysis chose.
    EXPECT_EQ(Lines(RunTool({"portions", "--set", "AbzType=0", lines}).Out).size(), 1u);

    // The same text wrapped with indented first lines stays two paragraphs.
    EXPECT_EQ(Lines(RunTool({"portions", WriteTempFile(Cp1251(kTwoParagraphs))}).Out).size(), 2u);
}

TEST(TovrinTextTool, PortionsSurviveHostileFiles) {
    std::string garbage;
    for (int i = 0; i < 70000; ++i)
        garbage += static_cast<char>((i * 7919 + i / 13) % 255 + 1);
    const std::string longLine(5 * 1000 * 1000, 'a');
    for (const std::string& bytes :
         {garbage, longLine, std::string("\r\r\n\n\r"), std::string("abc\0def", 7)}) {
        const ToolRun run = RunTool({"portions", "--set", "ReadingType=1", WriteTempFile(bytes)});
        EXPECT_EQ(run.Status, 0) << run.Err;
        const std::vector<std::string> lines = Lines(run.Out);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(JsonInt(lines.back(), "end"),
                  static_cast<long long>(std::string(bytes.c_str()).size()));
    }
}

// The stall guard of `portions` cannot be provoked through a sound library, so it is driven
// here with cutters that misbehave on purpose.
TEST(TovrinTextTool, CuttingStopsWhenAPortionDoesNotMoveOn) {
    const std::string text = "0123456789";
    const char* first = text.data();
    const char* end = first + text.size();
    std::vector<long long> taken;
    const auto take = [&](const Portion& portion) { taken.push_back(portion.End - first); };
    const auto byThree = [&](const char* p) { return Portion{p, std::min(p + 3, end), ""}; };
    EXPECT_TRUE(CutToTheEnd(first, end, first, byThree, take).Finished);
    EXPECT_EQ(taken, (std::vector<long long>{3, 6, 9, 10}));

    const auto stuckAtSix = [&](const char* p) {
        return Portion{p, p - first == 6 ? p : p + 3, std::nullopt};
    };
    taken.clear();
    const CutOutcome stalled = CutToTheEnd(first, end, first, stuckAtSix, take);
    EXPECT_FALSE(stalled.Finished);
    EXPECT_EQ(stalled.Position - first, 6);
    EXPECT_EQ(taken, (std::vector<long long>{3, 6}));

    const auto pastTheEnd = [&](const char* p) { return Portion{p, p + 4, ""}; };
    EXPECT_FALSE(CutToTheEnd(first, end, first, pastTheEnd, take).Finished);
    const auto backwards = [&](const char* p) { return Portion{p, p - 1, ""}; };
    EXPECT_FALSE(CutToTheEnd(first, end, first + 5, backwards, take).Finished);
    EXPECT_TRUE(CutToTheEnd(first, end, end, backwards, take).Finished) << "nothing left to cut";
}

// Reading a text portion by portion (exports, tovrin-say) tells a cutter that stalls apart
// from a reader that stopped, so that neither a stall nor a stop passes for a finished text.
TEST(TovrinTextTool, AStalledPortionSequenceIsNeitherFinishedNorStopped) {
    const std::string text = "0123456789";
    const char* first = text.data();
    const char* end = first + text.size();
    const auto stuckAtSix = [&](const char* p) {
        return Portion{p, p - first == 6 ? p : std::min(p + 3, end), std::string(p, 1)};
    };
    std::vector<std::string> heard;
    const auto hear = [&](const std::string& portion, double, double) {
        heard.push_back(portion);
        return true;
    };
    const CutOutcome stalled = ForEachPortion(first, end, first, stuckAtSix, hear);
    EXPECT_TRUE(stalled.Stalled());
    EXPECT_FALSE(stalled.Finished);
    EXPECT_EQ(heard, (std::vector<std::string>{"0", "3"}));
    EXPECT_EQ(DescribeStall(stalled, first),
              "the portion cut at 6 ends at 6, not past it within the text; stopping");

    const auto byThree = [&](const char* p) {
        return Portion{p, std::min(p + 3, end), std::string(p, 1)};
    };
    const CutOutcome stopped =
        ForEachPortion(first, end, first, byThree,
                       [](const std::string& portion, double, double) { return portion != "3"; });
    EXPECT_TRUE(stopped.Stopped);
    EXPECT_FALSE(stopped.Stalled());
    EXPECT_FALSE(stopped.Finished);
    heard.clear();
    EXPECT_TRUE(ForEachPortion(first, end, first + 4, byThree, hear).Finished);
    EXPECT_EQ(heard, (std::vector<std::string>{"4", "7"}));
}

TEST(TovrinTextTool, AnalyseListsEveryOptionField) {
    const std::string text =
        Cp1251("Первый абзац текста.\r\n\r\nВторой абзац.\r\n\r\nТретий абзац.\r\n");
    const ToolRun run = RunTool({"analyse", "--full", WriteTempFile(text)});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::vector<std::string> lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 1u);
    const std::string& json = lines[0];
    std::size_t last = 0;
    for (const char* key : {"ReadingType",   "CodePage",   "Dcd_pH",   "Dcd_NoPeren", "Dcd_NoUdar",
                            "Dcd_NoCommand", "Dcd_NoChar", "AbzType",  "AbzBeg",      "AbzBegP",
                            "AbzBegPause",   "AbzEnd",     "AbzEndP",  "AbzEndPause", "AbzNoEndP",
                            "RazdType",      "RazdEmpt",   "RazdKey",  "BlockSize",   "BlockOrgAbz",
                            "BlockSelAbz",   "BlockPack",  "BlockMsg", "DictScript",  "DictOver",
                            "DictRep"}) {
        const std::size_t at = json.find("\"" + std::string(key) + "\":");
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key << " out of order";
        last = at;
    }
    EXPECT_NE(json.find("\"AbzType\":1"), std::string::npos) << json;
    EXPECT_NE(json.find("\"RazdEmpt\":2"), std::string::npos) << json;
    EXPECT_NE(json.find("\"Dcd_NoUdar\":false"), std::string::npos) << json;
    EXPECT_NE(json.find("\"DictScript\":\"E1R1\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"AbzBeg\":\"\""), std::string::npos) << json;
    // Without --full only the code page is guessed, here from standard input.
    const ToolRun quick = RunTool({"analyse"}, text);
    EXPECT_NE(quick.Out.find("\"AbzType\":0"), std::string::npos) << quick.Out;
}

TEST(TovrinTextTool, MoveFindAndGap) {
    const std::string text = Cp1251(kTwoParagraphs);
    const std::string file = WriteTempFile(text);
    const long long second = static_cast<long long>(text.find(Cp1251("    Второй")));
    EXPECT_EQ(RunTool({"move", "down", "--from", "0", file}).Out,
              "{\"target\":" + std::to_string(second) + "}\n");
    EXPECT_EQ(RunTool({"move", "up", "--from", std::to_string(second + 6), file}).Out,
              "{\"target\":" + std::to_string(second) + "}\n");

    const ToolRun found = RunTool({"find", "--pattern", "абзац", "--select", file});
    EXPECT_EQ(found.Status, 0) << found.Err;
    const long long at = static_cast<long long>(text.find(Cp1251("абзац")));
    EXPECT_EQ(found.Out, "{\"found\":true,\"start\":" + std::to_string(at) +
                             ",\"end\":" + std::to_string(at + 5) + "}\n");
    const ToolRun upward = RunTool({"find", "--pattern", "АБЗАЦ", "--up", file});
    EXPECT_EQ(JsonInt(upward.Out, "start"), static_cast<long long>(text.rfind(Cp1251("абзац"))));
    EXPECT_EQ(JsonInt(upward.Out, "end"), JsonInt(upward.Out, "start")) << "no --select";
    const ToolRun belowFirst =
        RunTool({"find", "--pattern", "абзац", "--up", "--from", std::to_string(at + 7), file});
    EXPECT_EQ(JsonInt(belowFirst.Out, "start"), at);
    const ToolRun caseSensitive = RunTool({"find", "--pattern", "АБЗАЦ", "--case", file});
    EXPECT_EQ(caseSensitive.Status, 1);
    EXPECT_EQ(caseSensitive.Out, "{\"found\":false}\n");
    EXPECT_EQ(RunTool({"find", "--pattern", "*", "--mask", file}).Status, 1);
    EXPECT_EQ(RunTool({"find", "--pattern", "а*ц", "--mask", "--word", file}).Status, 0);

    const std::string gaps = "A first.\r\n\r\nA second.\r\n\r\nA third.\r\n\r\n\r\nA fourth.\r\n";
    EXPECT_EQ(RunTool({"gap"}, gaps).Out, "1\n");
}

TEST(TovrinTextTool, DictLineReportsFieldsAsJson) {
    const ToolRun ok = RunTool({"dict-line", "СЛОВО - ПЕРЕВОД (от ГРЕЧ) - ЗВУК 1 2"});
    EXPECT_EQ(ok.Status, 0);
    EXPECT_EQ(ok.Out,
              "{\"ok\":true,\"First\":\"СЛОВО\",\"Second\":\"ПЕРЕВОД \",\"Third\":\"ЗВУК\","
              "\"Number1\":1,\"Number2\":2}\n");
    const ToolRun bad = RunTool({"dict-line", "слово :: \"перевод\" only"});
    EXPECT_EQ(bad.Status, 1);
    EXPECT_EQ(bad.Out.rfind("{\"ok\":false,\"First\":", 0), 0u) << bad.Out;
    EXPECT_NE(bad.Out.find("\"Third\":\"\","), std::string::npos) << bad.Out;
    EXPECT_NE(bad.Out.find("\"Number1\":-1,\"Number2\":-1}"), std::string::npos) << bad.Out;
}

}  // namespace
}  // namespace tovrin

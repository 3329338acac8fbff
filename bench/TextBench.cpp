// Speed figures of the text preparation library on generated Russian documents. Prints one
// "name value unit" line per figure.

#include "bench/RussianWords.h"
#include "text/CodePages.h"
#include "text/DocumentFile.h"
#include "text/PlayerOptions.h"
#include "text/Portion.h"
#include "text/TextFinder.h"

#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using tovrin::bench::MakeRussianDocument;

constexpr std::size_t kMegabyte = 1000 * 1000;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The best of several runs of `work`: the least disturbed by the other load on the machine.
// Stops early once the runs have taken `budget` seconds.
double BestSeconds(int runs, double budget, const std::function<void()>& work) {
    double best = 1e300;
    double spent = 0;
    for (int i = 0; i < runs && spent < budget; ++i) {
        const auto begin = Clock::now();
        work();
        const double took = Seconds(Clock::now() - begin);
        best = std::min(best, took);
        spent += took;
    }
    return best;
}

void Print(const char* name, double value, const char* unit) {
    std::printf("%s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "text_bench: %s\n", what);
    std::exit(1);
}

// Cuts the whole document as the player reads it, portion after portion.
void CutWhole(const tovrin::PlayerOptions& options, const std::string& document) {
    const char* const end = document.data() + document.size();
    tovrin::SetTextBounds(document.data(), end);
    for (const char* position = document.data(); position < end;) {
        const tovrin::Portion portion = tovrin::PreparePortion(options, position);
        if (portion.End <= position) Fail("portion cutting does not move forward");
        position = portion.End;
    }
}

double CuttingMbps(const tovrin::PlayerOptions& options, const std::string& document) {
    const double seconds = BestSeconds(3, 20, [&] { CutWhole(options, document); });
    return document.size() / seconds / kMegabyte;
}

// Time of a batch of portions cut at the same places near `middle` of `document`.
double BatchSeconds(const std::string& document, std::size_t middle) {
    const tovrin::PlayerOptions options = [] {
        tovrin::PlayerOptions defaults;
        tovrin::DefaultPlayerOptions(defaults);
        return defaults;
    }();
    tovrin::SetTextBounds(document.data(), document.data() + document.size());
    const auto begin = Clock::now();
    for (int round = 0; round < 20; ++round)
        for (std::size_t step = 0; step < 16; ++step) {
            const tovrin::Portion portion =
                tovrin::PreparePortion(options, document.data() + middle + step * 997);
            if (!portion.Text && portion.End == nullptr) Fail("no portion");
        }
    return Seconds(Clock::now() - begin);
}

// One PreparePortion in the middle of a 100 MB document against the same in a 1 MB one. The
// big document repeats the small one, so both calls see the same neighbourhood; rounds
// alternate between the two so that the machine's load falls on both alike.
double FarRatio() {
    const std::string small = MakeRussianDocument(kMegabyte, 7);
    std::string big;
    big.reserve(small.size() * 100);
    for (int copy = 0; copy < 100; ++copy)
        big += small;
    const std::size_t smallMiddle = small.size() / 2;
    const std::size_t bigMiddle = 50 * small.size() + smallMiddle;
    double bestSmall = 1e300;
    double bestBig = 1e300;
    for (int round = 0; round < 30; ++round) {
        bestSmall = std::min(bestSmall, BatchSeconds(small, smallMiddle));
        bestBig = std::min(bestBig, BatchSeconds(big, bigMiddle));
    }
    return bestBig / bestSmall;
}

double DetectMbps(const std::string& document) {
    volatile int sink = 0;
    const double seconds = BestSeconds(
        10, 10, [&] { sink = tovrin::DetectCodePage(document.c_str(), document.size()); });
    if (sink != tovrin::kCodePageWindows)
        std::fputs("text_bench: warning: the document is not detected as Windows-1251\n", stderr);
    return document.size() / seconds / kMegabyte;
}

// Seconds of glibc iconv from CP866 to CP1251 over `dos`.
double IconvSeconds(const std::string& dos) {
    iconv_t converter = iconv_open("CP1251", "CP866");
    if (converter == reinterpret_cast<iconv_t>(-1)) Fail("iconv has no CP866 to CP1251");
    std::string out(dos.size(), '\0');
    const double seconds = BestSeconds(5, 20, [&] {
        char* in = const_cast<char*>(dos.data());
        std::size_t inLeft = dos.size();
        char* to = out.data();
        std::size_t outLeft = out.size();
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        if (iconv(converter, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1))
            Fail("iconv failed on the generated document");
    });
    iconv_close(converter);
    return seconds;
}

// RecodeText 866 to 1251 against iconv on the same buffer; above 1 means RecodeText is faster.
double RecodeVsIconv(const std::string& document) {
    std::string dos = document;
    tovrin::RecodeText(tovrin::kCodePageWindows, tovrin::kCodePageDos, dos.data());
    std::string work(dos.size(), '\0');
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        std::memcpy(work.data(), dos.data(), dos.size());  // fresh input, outside the timing
        const auto begin = Clock::now();
        tovrin::RecodeText(tovrin::kCodePageDos, tovrin::kCodePageWindows, work.data());
        best = std::min(best, Seconds(Clock::now() - begin));
    }
    if (work != document) Fail("recoding to 866 and back changed the document");
    return IconvSeconds(dos) / best;
}

}  // namespace

// A book as a Linux user keeps it (UTF-8, bare LF) through the document loader and back to
// its file's form, in MB of file per second.
std::pair<double, double> DocumentFormMbps(const std::string& document) {
    std::string lf;
    for (char c : document)
        if (c != '\r') lf += c;
    const std::string file = tovrin::Windows1251DocumentToUtf8(lf);
    tovrin::LoadedDocument loaded;
    const double load = BestSeconds(5, 10, [&] { loaded = tovrin::DocumentFromBytes(file); });
    std::string saved;
    const double save =
        BestSeconds(5, 10, [&] { saved = tovrin::DocumentToBytes(loaded.Text, loaded.Form); });
    if (saved != file) Fail("the document did not come back byte for byte");
    const double megabytes = static_cast<double>(file.size()) / kMegabyte;
    return {megabytes / load, megabytes / save};
}

int main() {
    const std::string document = MakeRussianDocument(10 * kMegabyte, 1);
    tovrin::PlayerOptions options;
    tovrin::DefaultPlayerOptions(options);
    Print("portions_paragraphs_mbps", CuttingMbps(options, document), "MB/s");
    options.ReadingType = 1;
    options.BlockSize = 32768;
    Print("portions_blocks_mbps", CuttingMbps(options, document), "MB/s");
    Print("portion_far_ratio", FarRatio(), "x");
    Print("detect_mbps", DetectMbps(document), "MB/s");
    Print("recode_vs_iconv", RecodeVsIconv(document), "x");
    const auto [load, save] = DocumentFormMbps(document);
    Print("document_load_utf8_lf_mbps", load, "MB/s");
    Print("document_save_utf8_lf_mbps", save, "MB/s");
    return 0;
}

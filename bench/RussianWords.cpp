#include "bench/RussianWords.h"

#include "text/CodePages.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace tovrin::bench {

namespace {

// Syllables written in UTF-8 for readability and recoded once on first use.
constexpr std::array<std::string_view, 48> kSyllables = {
    "ка", "ро",  "ли", "на", "то", "ве",  "за",  "мо",  "пра", "до", "ни",  "ло",
    "ре", "се",  "бы", "гу", "жи", "ша",  "чу",  "сто", "ми",  "ва", "кор", "лен",
    "ст", "вер", "тё", "ой", "ём", "ный", "ско", "дра", "пле", "шу", "ют",  "ем",
    "ри", "га",  "бо", "зе", "хо", "цу",  "ль",  "ны",  "ти",  "ск", "во",  "ём"};

const std::vector<std::string>& Syllables1251() {
    static const std::vector<std::string> syllables = [] {
        std::vector<std::string> recoded;
        for (const std::string_view syllable : kSyllables)
            recoded.push_back(Utf8ToWindows1251(syllable));
        return recoded;
    }();
    return syllables;
}

// Capital of a Windows-1251 small letter (а-я and ё); other bytes stay.
char Capital(char letter) {
    const auto byte = static_cast<unsigned char>(letter);
    if (byte >= 0xE0) return static_cast<char>(byte - 0x20);
    if (byte == 0xB8) return static_cast<char>(0xA8);
    return letter;
}

constexpr std::size_t kLineWidth = 68;
constexpr std::string_view kIndent = "     ";
constexpr std::string_view kLineBreak = "\r\n";
constexpr int kParagraphsPerSection = 30;

// Lays words out into lines of a paragraph, hyphenating long words at line ends now and then.
class ParagraphWriter {
  public:
    explicit ParagraphWriter(std::string& out) : out_(out) {}

    void Write(const std::string& text, bool hyphenate) {
        line_ = std::string(kIndent);
        std::size_t from = 0;
        while (from < text.size()) {
            std::size_t blank = text.find(' ', from);
            if (blank == std::string::npos) blank = text.size();
            Place(text.substr(from, blank - from), hyphenate);
            from = blank + 1;
        }
        out_ += line_;
        out_ += kLineBreak;
    }

  private:
    void Place(const std::string& word, bool hyphenate) {
        const bool lineHasWords = line_.find_first_not_of(' ') != std::string::npos;
        if (!lineHasWords || line_.size() + 1 + word.size() <= kLineWidth) {
            Append(word);
            return;
        }
        // Break a long word at the end of the line: its first part with a hyphen stays here.
        const std::size_t room = line_.size() < kLineWidth ? kLineWidth - line_.size() : 0;
        if (hyphenate && word.size() >= 6 && room >= 5) {
            const std::size_t head = std::min(word.size() / 2, room - 2);
            Append(word.substr(0, head) + "-");
            NewLine();
            line_ += word.substr(head);
            return;
        }
        NewLine();
        line_ += word;
    }

    void Append(const std::string& word) {
        if (!line_.empty() && line_.back() != ' ') line_ += ' ';
        line_ += word;
    }

    void NewLine() {
        out_ += line_;
        out_ += kLineBreak;
        line_.clear();
    }

    std::string& out_;
    std::string line_;
};

}  // namespace

RussianWords::RussianWords(uint32_t seed) : state_(seed ? seed : 1) {}

// xorshift32: tiny and fast, and the same sequence on every platform.
uint32_t RussianWords::Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

std::string RussianWords::Word() {
    const std::vector<std::string>& syllables = Syllables1251();
    const uint32_t count = 1 + Below(4);
    std::string word;
    for (uint32_t i = 0; i < count; ++i)
        word += syllables[Below(syllables.size())];
    return word;
}

std::string RussianWords::Sentence() {
    const uint32_t count = 4 + Below(12);
    std::string sentence;
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) sentence += Below(9) == 0 ? ", " : (Below(25) == 0 ? " - " : " ");
        sentence += Word();
    }
    sentence[0] = Capital(sentence[0]);
    const uint32_t end = Below(12);
    sentence += end == 0 ? '?' : (end == 1 ? '!' : '.');
    return sentence;
}

std::string MakeRussianDocument(std::size_t bytes, uint32_t seed) {
    RussianWords words(seed);
    std::string document;
    document.reserve(bytes + 4096);
    ParagraphWriter writer(document);
    for (int paragraph = 0; document.size() < bytes; ++paragraph) {
        if (paragraph % kParagraphsPerSection == 0) {
            if (paragraph > 0) document += "\r\n\r\n\r\n";
            document += std::string(20, ' ') + words.Sentence() + "\r\n\r\n";
        }
        std::string text;
        const int sentences = 2 + static_cast<int>(words.Word().size() % 6);
        for (int i = 0; i < sentences; ++i)
            text += (i ? " " : "") + words.Sentence();
        writer.Write(text, paragraph % 3 != 0);
    }
    return document;
}

}  // namespace tovrin::bench

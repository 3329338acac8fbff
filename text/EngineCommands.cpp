#include "text/EngineCommands.h"

#include "platform/Win1251Case.h"
#include "text/CodePages.h"

#include <array>
#include <cstring>
#include <string_view>

namespace tovrin {
namespace {

// Voice names: a group is a voice when it equals one of them.
constexpr std::array kVoices = {
    W1251("{kingkong}"), W1251("{faraon}"),   W1251("{petrovich}"), W1251("{gremlin}"),
    W1251("{mouse}"),    W1251("{elfs}"),     W1251("{caban}"),     W1251("{dictor}"),
    W1251("{titan}"),    W1251("{piero}"),    W1251("{captain}"),   W1251("{кингконг}"),
    W1251("{фараон}"),   W1251("{петрович}"), W1251("{гремлин}"),   W1251("{мышь}"),
    W1251("{эльфы}"),    W1251("{кабан}"),    W1251("{диктор}"),    W1251("{титан}"),
    W1251("{пьеро}"),    W1251("{капитан}")};

// Command words: a group is a command when it begins with one of them. "{стоп}" and
// "{свернуть}" hold their closing brace and so match only the whole group.
constexpr std::array kCommandWords = {
    W1251("{wait"),         W1251("{stop"),         W1251("{continue"),   W1251("{background"),
    W1251("{cancelviewer"), W1251("{hidewindow"),   W1251("{showwindow"), W1251("{timbre"),
    W1251("{temp"),         W1251("{mel"),          W1251("{reverb"),     W1251("{noisechoice"),
    W1251("{setvoice"),     W1251("{ждать"),        W1251("{стоп}"),      W1251("{продолж"),
    W1251("{фон"),          W1251("{убрать"),       W1251("{свернуть}"),  W1251("{восстановить"),
    W1251("{тембр"),        W1251("{тэмбр"),        W1251("{скорость"),   W1251("{мелод"),
    W1251("{ревер"),        W1251("{выборфильтра"), W1251("{настройка")};

// Media file names: a group is a command when it contains one of these endings.
constexpr std::array kFileEndings = {W1251(".wav}"), W1251(".mid}"), W1251(".rmi}"), W1251(".bmp}"),
                                     W1251(".avi}")};

constexpr char kPlaceholderLength = 5;

// Copies a brace group without its white space and in small letters.
std::string_view Normalise(const char* group, std::size_t length, char* scratch) {
    std::size_t size = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(group[i]);
        if (!IsBlankWin1251(static_cast<char>(c)))
            scratch[size++] = static_cast<char>(ToLowerWin1251(c));
    }
    return {scratch, size};
}

template <typename Table, typename Match>
bool AnyEntry(const Table& table, Match match) {
    for (const auto& entry : table)
        if (match(entry.view())) return true;
    return false;
}

bool IsCommandGroup(std::string_view group) {
    return AnyEntry(kVoices, [group](std::string_view e) { return group == e; }) ||
           AnyEntry(kCommandWords, [group](std::string_view e) { return group.starts_with(e); }) ||
           AnyEntry(kFileEndings,
                    [group](std::string_view e) { return group.find(e) != group.npos; });
}

bool IsTimePlaceholder(const char* text) {
    // Compared one by one, so a terminator stops the comparison before the fifth character.
    const char* const forms[] = {"??:??", "??.??"};
    for (const char* form : forms) {
        int i = 0;
        while (i < kPlaceholderLength && text[i] == form[i])
            ++i;
        if (i == kPlaceholderLength) return true;
    }
    return false;
}

void Fill(char* from, std::size_t length, char with) {
    std::memset(from, with, length);
}

}  // namespace

bool IsEngineCommand(const char* text, std::size_t length) {
    if (*text == '?') return length == kPlaceholderLength && IsTimePlaceholder(text);
    if (*text != '{' || length > kMaxCommandGroup) return false;
    char scratch[kMaxCommandGroup];
    return IsCommandGroup(Normalise(text, length, scratch));
}

void StripCommands(char* text) {
    char* open = nullptr;
    // Only braces and question marks can change anything: step from one to the next.
    for (char* p = text; (p = std::strpbrk(p, "{}?")) != nullptr; ++p) {
        if (*p == '{') {
            if (open) *open = '(';  // an earlier brace that is never closed as a command
            open = p;
        } else if (*p == '}') {
            const auto length = open ? static_cast<std::size_t>(p - open + 1) : 0;
            if (open && length <= kMaxCommandGroup && IsEngineCommand(open, length)) {
                Fill(open, length, ' ');
            } else {
                if (open) *open = '(';
                *p = ')';
            }
            open = nullptr;
        }
        if (*p == '?' && IsEngineCommand(p, kPlaceholderLength)) Fill(p, kPlaceholderLength, ' ');
    }
    if (open) *open = '(';
}

std::string PauseCommand(int32_t tenths) {
    std::string out;
    AppendPauseCommand(out, tenths);
    return out;
}

void AppendPauseCommand(std::string& out, int32_t tenths) {
    if (tenths <= 0) return;
    out += "{wait";
    out += std::to_string(tenths);
    out += '}';
}

}  // namespace tovrin

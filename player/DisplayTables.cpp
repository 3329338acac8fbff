#include "player/DisplayTables.h"

#include "text/CodePages.h"

#include <string>

namespace tovrin {
namespace {

// MS-DOS 866 bytes 0xB0-0xDF: shades and box drawing.
constexpr std::array<char16_t, 48> kDosGraphics = {
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580};

// MS-DOS 866 bytes 0xF0-0xFF.
constexpr std::array<char16_t, 16> kDosTail = {0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457,
                                               0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A,
                                               0x2116, 0x00A4, 0x25A0, 0x00A0};

// KOI8-R bytes 0x80-0xBF: box drawing, symbols, Yo.
constexpr std::array<char16_t, 64> kKoiHigh = {
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C, 0x2534, 0x253C,
    0x2580, 0x2584, 0x2588, 0x258C, 0x2590, 0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219,
    0x221A, 0x2248, 0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7, 0x2550,
    0x2551, 0x2552, 0x0451, 0x2553, 0x2554, 0x2555, 0x2556, 0x2557, 0x2558, 0x2559, 0x255A,
    0x255B, 0x255C, 0x255D, 0x255E, 0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564,
    0x2565, 0x2566, 0x2567, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x00A9};

// The Unicode character of one Windows-1251 byte; the unassigned 0x98 shows as U+0098.
char16_t WindowsCharacter(unsigned char byte) {
    return byte == 0x98 ? char16_t{0x0098} : static_cast<char16_t>(WindowsToCodePoint(byte));
}

constexpr char16_t kLoneCarriageReturn = 0x240D;
constexpr char16_t kLoneLineFeed = 0x240A;

enum class Face { Windows, Dos, Koi };

Face FaceOf(int codePage) {
    switch (codePage) {
        case kCodePageEnglish:
        case kCodePageDos:
            return Face::Dos;
        case kCodePageKoi:
            return Face::Koi;
        default:
            return Face::Windows;
    }
}

char16_t Shown(Face face, unsigned char byte) {
    if (byte < 0x80 || face == Face::Windows) return WindowsCharacter(byte);
    if (face == Face::Dos) {
        if (byte < 0xB0) return static_cast<char16_t>(0x0410 + (byte - 0x80));  // А-п
        if (byte < 0xE0) return kDosGraphics[byte - 0xB0];
        if (byte < 0xF0) return static_cast<char16_t>(0x0440 + (byte - 0xE0));  // р-я
        return kDosTail[byte - 0xF0];
    }
    if (byte < 0xC0) return kKoiHigh[byte - 0x80];
    // KOI8-R letters: the project's recoding tables know their order.
    return WindowsCharacter(RecodeChar(kCodePageKoi, kCodePageWindows, byte));
}

}  // namespace

DisplayTable::DisplayTable(int codePage) {
    const Face face = FaceOf(codePage);
    std::array<unsigned char, 65536> windows{};
    windows.fill('?');
    for (unsigned byte = 0; byte < 256; ++byte)
        windows[WindowsCharacter(static_cast<unsigned char>(byte))] =
            static_cast<unsigned char>(byte);
    for (unsigned c = 0; c < windows.size(); ++c)
        encoded_[c] = RecodeChar(kCodePageWindows, codePage, windows[c]);
    for (unsigned byte = 0; byte < 256; ++byte) {
        shown_[byte] = Shown(face, static_cast<unsigned char>(byte));
        encoded_[shown_[byte]] = static_cast<unsigned char>(byte);
    }
    // Line breaks live in the editor as block ends, never as characters of a line; a CR or LF
    // outside a CR LF pair shows as its control picture, so it keeps its place in the line.
    shown_['\r'] = kLoneCarriageReturn;
    shown_['\n'] = kLoneLineFeed;
    encoded_[kLoneCarriageReturn] = '\r';
    encoded_[kLoneLineFeed] = '\n';
    encoded_[u'\r'] = '?';
    encoded_[u'\n'] = '?';
}

const DisplayTable& DisplayTable::For(int codePage) {
    // One table per code page index the library knows (-1 to 4); anything else shows as -1.
    static const std::array<const DisplayTable*, 6> tables = [] {
        std::array<const DisplayTable*, 6> all{};
        for (int i = 0; i < 6; ++i)
            all[i] = new DisplayTable(i - 1);
        return all;
    }();
    const int index = codePage >= -1 && codePage <= 4 ? codePage + 1 : 0;
    return *tables[index];
}

}  // namespace tovrin

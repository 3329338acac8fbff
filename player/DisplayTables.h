#pragma once

#include <array>
#include <cstdint>

namespace tovrin {

// How the editor shows the bytes of a document in one code page, and how characters that
// enter the editor become bytes again. Showing is one-to-one (every byte has its own
// character), so that whatever the editor re-inserts (undo, redo) encodes back to the same
// byte; a character the document's code page lacks goes through Windows-1251 ('?' where
// that lacks it too) into the document's code page.
class DisplayTable {
  public:
    char16_t Show(unsigned char byte) const { return shown_[byte]; }
    unsigned char Encode(char16_t character) const { return encoded_[character]; }

    // The table of a code page index: Windows-1251 for -1, 1 and any other value, MS-DOS
    // 866 for 0 and 2, KOI8-R for 3.
    static const DisplayTable& For(int codePage);

  private:
    explicit DisplayTable(int codePage);

    std::array<char16_t, 256> shown_{};
    std::array<unsigned char, 65536> encoded_{};
};

}  // namespace tovrin

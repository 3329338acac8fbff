#pragma once

#include "platform/UniqueFd.h"
#include "text/PlayerOptions.h"
#include "text/PortionSequence.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovrin {

// The document of --file, read in pieces of bounded size, each brought into the library's form
// as the loader brings a whole file (UTF-8 converted, bare LF breaks made CR LF). A piece ends
// after a line break where there is one, so that no character or CR LF pair is split. The text
// ends at its first zero byte, as the library reads it.
// How much of the text is held at a time.
struct BookWindow {
    size_t PieceBytes = size_t{8} << 20;  // read at a time
    // A portion that ends this close to the end of the text held may go on past it: the next
    // piece is read before it is cut. Far longer than any portion the engine takes.
    size_t LookAhead = size_t{1} << 20;
    size_t History = size_t{64} << 10;  // kept before a portion, for the cutter to look back on
};

class BookReader {
  public:
    // Throws DocumentError when the file cannot be opened or is not a document.
    explicit BookReader(std::string path, BookWindow window = {});
    const BookWindow& Window() const { return window_; }

    // Appends the next piece to `text`; false when the text had ended already.
    bool ReadPiece(std::string& text);
    bool Ended() const { return ended_; }
    // The share of the file (0..1) read so far.
    double ShareRead() const;
    // The code page the loader gives the first piece: Windows-1251 for UTF-8, else unknown.
    int32_t CodePage() const { return codePage_; }
    // Characters of UTF-8 pieces that Windows-1251 lacks, each read as "?".
    size_t UnmappedCharacters() const { return unmapped_; }
    // Bytes from the first zero byte on, which are not read.
    size_t BytesLeftOut() const { return leftOut_; }

  private:
    std::string path_;
    BookWindow window_;
    UniqueFd fd_;
    size_t fileSize_ = 0;
    size_t fileRead_ = 0;
    std::string carried_;  // bytes read after the last piece's end
    bool fileEnded_ = false;
    bool ended_ = false;
    size_t unmapped_ = 0;
    size_t leftOut_ = 0;
    int32_t codePage_ = -1;
    bool first_ = true;
};

// Reads the whole book portion by portion as a player window does, holding only a bounded
// stretch of its text: `text` holds the first piece, the options are analysed already. The
// shares handed to `handle` are shares of the file. The outcome as ForEachPortion's.
CutOutcome ForEachBookPortion(BookReader& reader, std::string text, const PlayerOptions& options,
                              const PortionHandler& handle);

}  // namespace tovrin

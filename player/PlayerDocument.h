#pragma once

#include <QMetaObject>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QTextDocument;

namespace tovrin {

class DisplayTable;

// Largest document a window holds. Measured with Qt 6.4: the editor costs about 6 to 9 bytes
// of memory per byte of text, and about 470 bytes per line once its width has changed (the
// editor then keeps a layout object for every line) and 0.4 us of the window's thread per line
// at each change of its width; so either limit keeps a window under about 500 MB, and a text
// of paragraphs within about 9 times its file.
inline constexpr size_t kMaxWindowDocumentBytes = size_t{64} << 20;
inline constexpr int64_t kMaxWindowDocumentLines = 1000000;
// A line laid out whole costs about 40 bytes and 2 us per character: longer lines are shown
// in pieces of at most this many characters.
inline constexpr int kDisplayLineChars = 2048;

// The document of a player window: a byte buffer in the document's own code page with every
// line break stored as CR LF (the source of truth, zero-terminated, what the text library
// reads), shown in a QTextDocument through the code page's display table. Every change made
// in the view is carried into the buffer as it happens, so the view is never read whole.
// A line break is two bytes in the buffer and one position in the view: the byte offset of a
// view position is the position plus its line number. A line longer than kDisplayLineChars is
// shown as several view lines, whose breaks (one position each) hold no byte; such a wrapped
// document is for reading only, and edits of its view are not carried into the buffer.
class PlayerDocument {
  public:
    explicit PlayerDocument(QTextDocument& view);
    ~PlayerDocument();
    PlayerDocument(const PlayerDocument&) = delete;
    PlayerDocument& operator=(const PlayerDocument&) = delete;

    // A document's bytes with the text its view shows; made on any thread, shown on the
    // window's by BeginShow.
    struct ShownText {
        std::string Bytes;
        int CodePage = -1;
        QString Text;
        std::vector<int> SoftBlocks;
        int64_t LineBreaks = 0;
    };
    // The view text of `bytes` in a code page. A CR or LF outside a CR LF pair stays one
    // byte, shown as a sign inside its line, so that the bytes are kept exactly as they came.
    static ShownText Prepare(std::string bytes, int codePage);

    // Replaces buffer and view at once.
    void SetText(std::string bytes, int codePage);
    // Replaces the buffer and empties the view, which ShowMore then fills piece by piece so
    // that a large text never holds the window's thread long. Until the view is whole it is
    // read-only: its changes are not carried into the buffer.
    void BeginShow(ShownText shown);
    // Appends the next piece of the view text (at most about `chars` characters and `lines`
    // lines); true when the view is whole.
    bool ShowMore(qsizetype chars, int lines);
    bool Showing() const { return shownUpTo_ < pendingView_.size(); }
    // How much of the view text is shown, in percent.
    int ShownPercent() const;
    // True when some line is shown in pieces: the view must stay read-only.
    bool Wrapped() const { return !softBlocks_.empty(); }
    // Why a window cannot hold the document `bytes` (in the library's form), or a document of
    // `size` bytes in `lines` lines; empty when it can.
    static QString TooLargeForWindow(std::string_view bytes);
    static QString TooLargeForWindow(size_t size, int64_t lines);
    // Shows the same bytes through another code page's table.
    void SetCodePage(int codePage);
    int CodePage() const { return codePage_; }

    const char* Data() const { return bytes_.c_str(); }
    const char* End() const { return bytes_.c_str() + bytes_.size(); }
    int32_t Size() const { return static_cast<int32_t>(bytes_.size()); }
    const std::string& Bytes() const { return bytes_; }

    // View position to byte offset and back; both clamp into the text, and an offset inside a
    // CR LF pair maps to the end of its line.
    int32_t OffsetOf(int viewPosition) const;
    int ViewPositionOf(int32_t offset) const;

    // Both directions of the display table, for whole texts.
    QString Show(std::string_view bytes) const;
    std::string Encode(QStringView text) const;
    // The bytes of a text in a code page; U+2029, LF, CR LF and CR become CR LF.
    static std::string Encode(QStringView text, int codePage);

  private:
    static QString ShowIn(const DisplayTable& table, std::string_view bytes);
    // ShowIn with the display-only breaks of long lines; their block numbers go to `soft`.
    static QString ShowWrapped(const DisplayTable& table, std::string_view bytes,
                               std::vector<int>& soft);
    // Display-only breaks in blocks 1 to `block`.
    int64_t SoftBreaksUpTo(int block) const;
    // The byte offset at which a view block starts.
    int64_t BlockOffset(int block) const;
    void ApplyChange(int position, int removed, int added);
    void ResyncFromView();
    int ViewLength() const;

    QTextDocument& view_;
    std::string bytes_;
    int codePage_ = -1;
    int64_t lineBreaks_ = 0;       // CR LF pairs in bytes_
    std::vector<int> softBlocks_;  // ascending numbers of the blocks a display-only break starts
    bool replacing_ = false;
    QString pendingView_;  // the view text while BeginShow's filling goes on
    qsizetype shownUpTo_ = 0;
    bool undoWasEnabled_ = true;
    QMetaObject::Connection changes_;
};

}  // namespace tovrin

#include "player/PlayerDocument.h"

#include "player/DisplayTables.h"
#include "text/CodePages.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace tovrin {
namespace {

// Appends the bytes of `text` to `out`; a block end (U+2029), LF, CR LF or CR becomes CR LF.
// Returns the number of line breaks appended.
int64_t EncodeInto(const DisplayTable& table, QStringView text, std::string& out) {
    int64_t breaks = 0;
    out.reserve(out.size() + static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == 0x2029 || c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out += "\r\n";
            ++breaks;
        } else {
            out += static_cast<char>(table.Encode(c));
        }
    }
    return breaks;
}

}  // namespace

PlayerDocument::PlayerDocument(QTextDocument& view) : view_(view) {
    changes_ = QObject::connect(&view_, &QTextDocument::contentsChange, &view_,
                                [this](int position, int removed, int added) {
                                    try {
                                        ApplyChange(position, removed, added);
                                    } catch (const std::exception&) {
                                        // Out of memory half way: the view is whole, so
                                        // rebuild the buffer from it once there is room.
                                        try {
                                            ResyncFromView();
                                        } catch (const std::exception&) {
                                        }
                                    }
                                });
    SetText(std::string(), kCodePageUnknown);
}

PlayerDocument::~PlayerDocument() {
    QObject::disconnect(changes_);
}

void PlayerDocument::SetText(std::string bytes, int codePage) {
    const QString shown = ShowIn(DisplayTable::For(codePage), bytes);
    codePage_ = codePage;
    bytes_ = std::move(bytes);
    lineBreaks_ = std::count(shown.begin(), shown.end(), QChar(u'\n'));
    replacing_ = true;
    view_.setPlainText(shown);
    replacing_ = false;
}

void PlayerDocument::SetCodePage(int codePage) {
    if (&DisplayTable::For(codePage) == &DisplayTable::For(codePage_)) {
        codePage_ = codePage;
        return;
    }
    SetText(std::move(bytes_), codePage);
}

int PlayerDocument::ViewLength() const {
    return view_.characterCount() - 1;
}

int32_t PlayerDocument::OffsetOf(int viewPosition) const {
    const int position = std::clamp(viewPosition, 0, ViewLength());
    const int64_t offset = int64_t{position} + view_.findBlock(position).blockNumber();
    return static_cast<int32_t>(std::clamp<int64_t>(offset, 0, Size()));
}

int PlayerDocument::ViewPositionOf(int32_t offset) const {
    const int64_t wanted = std::clamp<int32_t>(offset, 0, Size());
    // The last block whose first byte lies at or before the offset.
    int low = 0, high = view_.blockCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (view_.findBlockByNumber(middle).position() + int64_t{middle} <= wanted)
            low = middle;
        else
            high = middle - 1;
    }
    const QTextBlock block = view_.findBlockByNumber(low);
    const int64_t position = std::min<int64_t>(wanted - low, block.position() + block.length() - 1);
    return static_cast<int>(std::clamp<int64_t>(position, 0, ViewLength()));
}

QString PlayerDocument::Show(std::string_view bytes) const {
    return ShowIn(DisplayTable::For(codePage_), bytes);
}

QString PlayerDocument::ShowIn(const DisplayTable& table, std::string_view bytes) {
    QString shown(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = shown.data();
    qsizetype n = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out[n++] = u'\n';
            ++i;
        } else {
            out[n++] = table.Show(static_cast<unsigned char>(bytes[i]));
        }
    }
    shown.truncate(n);
    return shown;
}

std::string PlayerDocument::Encode(QStringView text) const {
    return Encode(text, codePage_);
}

std::string PlayerDocument::Encode(QStringView text, int codePage) {
    std::string out;
    EncodeInto(DisplayTable::For(codePage), text, out);
    return out;
}

void PlayerDocument::ApplyChange(int position, int removed, int added) {
    if (replacing_) return;
    const int newLength = ViewLength();
    const int64_t oldLength = static_cast<int64_t>(bytes_.size()) - lineBreaks_;
    // Some changes count the document's closing block end on both sides; it holds no byte.
    const int excess = std::max(0, position + added - newLength);
    added -= excess;
    removed = std::max(0, removed - excess);
    if (position < 0 || added < 0 || position > newLength || position + removed > oldLength)
        return ResyncFromView();

    // Line breaks before the change are the same in the old text and the new.
    const size_t start = static_cast<size_t>(position) + view_.findBlock(position).blockNumber();
    QTextCursor cursor(&view_);
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    std::string inserted;
    const int64_t addedBreaks =
        EncodeInto(DisplayTable::For(codePage_), cursor.selectedText(), inserted);
    // The removed line breaks follow from the block counts, not from the old bytes: a lone CR
    // and a lone LF that an edit brought together are two characters of one line, not a break.
    const int64_t removedBreaks = addedBreaks - (int64_t{view_.blockCount() - 1} - lineBreaks_);
    const size_t end = start + static_cast<size_t>(removed) + static_cast<size_t>(removedBreaks);
    if (removedBreaks < 0 || removedBreaks > removed || end > bytes_.size())
        return ResyncFromView();
    bytes_.replace(start, end - start, inserted);
    lineBreaks_ += addedBreaks - removedBreaks;

    if (static_cast<int64_t>(bytes_.size()) - lineBreaks_ != newLength) ResyncFromView();
}

void PlayerDocument::ResyncFromView() {
    const DisplayTable& table = DisplayTable::For(codePage_);
    std::string bytes;
    int64_t breaks = 0;
    for (QTextBlock block = view_.begin(); block.isValid(); block = block.next()) {
        if (block != view_.begin()) {
            bytes += "\r\n";
            ++breaks;
        }
        EncodeInto(table, block.text(), bytes);
    }
    bytes_ = std::move(bytes);
    lineBreaks_ = breaks;
}

}  // namespace tovrin

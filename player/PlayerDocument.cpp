#include "player/PlayerDocument.h"

#include "player/DisplayTables.h"
#include "text/CodePages.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>

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

PlayerDocument::ShownText PlayerDocument::Prepare(std::string bytes, int codePage) {
    ShownText shown;
    shown.Text = ShowWrapped(DisplayTable::For(codePage), bytes, shown.SoftBlocks);
    shown.LineBreaks = std::count(shown.Text.begin(), shown.Text.end(), QChar(u'\n')) -
                       static_cast<int64_t>(shown.SoftBlocks.size());
    shown.Bytes = std::move(bytes);
    shown.CodePage = codePage;
    return shown;
}

void PlayerDocument::SetText(std::string bytes, int codePage) {
    BeginShow(Prepare(std::move(bytes), codePage));
    while (!ShowMore(pendingView_.size(), std::numeric_limits<int>::max())) {
    }
}

void PlayerDocument::BeginShow(ShownText shown) {
    codePage_ = shown.CodePage;
    bytes_ = std::move(shown.Bytes);
    softBlocks_ = std::move(shown.SoftBlocks);
    lineBreaks_ = shown.LineBreaks;
    pendingView_ = std::move(shown.Text);
    shownUpTo_ = 0;
    if (!replacing_) undoWasEnabled_ = view_.isUndoRedoEnabled();
    replacing_ = true;
    view_.clear();
    view_.setUndoRedoEnabled(false);
    if (pendingView_.isEmpty()) ShowMore(0, 0);
}

bool PlayerDocument::ShowMore(qsizetype chars, int lines) {
    if (!replacing_) return true;
    const qsizetype start = shownUpTo_;
    const qsizetype most = std::min(pendingView_.size(), start + std::max<qsizetype>(chars, 1));
    qsizetype end = start;
    // Each line costs the view a block of its own: a piece of many short lines ends early.
    for (int line = 0; end < most && line < lines; ++line) {
        const QChar* next =
            std::find(pendingView_.constData() + end, pendingView_.constData() + most, u'\n');
        end = std::min<qsizetype>(next - pendingView_.constData() + 1, most);
    }
    if (end > start) {
        QTextCursor cursor(&view_);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringView(pendingView_).mid(start, end - start).toString());
        shownUpTo_ = end;
    }
    if (Showing()) return false;
    pendingView_ = QString();
    shownUpTo_ = 0;
    view_.setUndoRedoEnabled(undoWasEnabled_);
    replacing_ = false;
    return true;
}

int PlayerDocument::ShownPercent() const {
    if (!Showing()) return 100;
    return static_cast<int>(shownUpTo_ * 100 / pendingView_.size());
}

QString PlayerDocument::TooLargeForWindow(std::string_view bytes) {
    // Counting the lines of a text too large anyway would be time lost.
    if (bytes.size() > kMaxWindowDocumentBytes) return TooLargeForWindow(bytes.size(), 0);
    return TooLargeForWindow(bytes.size(), std::count(bytes.begin(), bytes.end(), '\n') + 1);
}

QString PlayerDocument::TooLargeForWindow(size_t size, int64_t lines) {
    if (size > kMaxWindowDocumentBytes)
        return QStringLiteral("больше %1 МБ").arg(kMaxWindowDocumentBytes >> 20);
    if (lines > kMaxWindowDocumentLines)
        return QStringLiteral("больше %1 строк").arg(kMaxWindowDocumentLines);
    return QString();
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

int64_t PlayerDocument::SoftBreaksUpTo(int block) const {
    return std::upper_bound(softBlocks_.begin(), softBlocks_.end(), block) - softBlocks_.begin();
}

int64_t PlayerDocument::BlockOffset(int block) const {
    // Each earlier break is one view position: two bytes for a CR LF, none for a display one.
    return view_.findBlockByNumber(block).position() + int64_t{block} - 2 * SoftBreaksUpTo(block);
}

int32_t PlayerDocument::OffsetOf(int viewPosition) const {
    const int position = std::clamp(viewPosition, 0, ViewLength());
    const int block = view_.findBlock(position).blockNumber();
    const int64_t offset = int64_t{position} + block - 2 * SoftBreaksUpTo(block);
    return static_cast<int32_t>(std::clamp<int64_t>(offset, 0, Size()));
}

int PlayerDocument::ViewPositionOf(int32_t offset) const {
    const int64_t wanted = std::clamp<int32_t>(offset, 0, Size());
    // The last block whose first byte lies at or before the offset.
    int low = 0, high = view_.blockCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (BlockOffset(middle) <= wanted)
            low = middle;
        else
            high = middle - 1;
    }
    const QTextBlock block = view_.findBlockByNumber(low);
    const int64_t position = std::min<int64_t>(block.position() + (wanted - BlockOffset(low)),
                                               block.position() + block.length() - 1);
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

QString PlayerDocument::ShowWrapped(const DisplayTable& table, std::string_view bytes,
                                    std::vector<int>& soft) {
    soft.clear();
    // Every display-only break follows at least half a piece of text.
    const size_t most = bytes.size() + bytes.size() / (kDisplayLineChars / 2) + 1;
    QString shown(static_cast<qsizetype>(most), Qt::Uninitialized);
    QChar* out = shown.data();
    qsizetype n = 0, lineStart = 0, afterBlank = -1;
    int block = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out[n++] = u'\n';
            ++i;
            ++block;
            lineStart = n;
            afterBlank = -1;
            continue;
        }
        if (n - lineStart == kDisplayLineChars) {
            // After the piece's last blank when that lies in its second half, else here.
            const qsizetype at = afterBlank - lineStart >= kDisplayLineChars / 2 ? afterBlank : n;
            std::copy_backward(out + at, out + n, out + n + 1);
            out[at] = u'\n';
            ++n;
            soft.push_back(++block);
            lineStart = at + 1;
            afterBlank = -1;
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[n++] = table.Show(byte);
        if (byte == ' ' || byte == '\t') afterBlank = n;
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
    // A wrapped view is read-only: the bytes stay as they are.
    if (replacing_ || Wrapped()) return;
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

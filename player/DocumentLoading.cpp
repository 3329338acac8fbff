#include "player/DocumentLoading.h"

#include "text/CodePages.h"

#include <QMetaObject>

#include <exception>

namespace tovrin {

std::string TooLarge(const QString& what, const QString& reason) {
    return (what + QStringLiteral(" слишком велик для окна плеера: ") + reason).toStdString();
}

void PrepareBytes(PreparedDocument& prepared, std::string bytes, int32_t loadedCodePage,
                  PlayerOptions base, bool autoCalc) {
    AnalyseText(base, autoCalc, bytes.c_str());
    // A converted UTF-8 file, or the clipboard's text, is Windows-1251 whatever the guess.
    if (loadedCodePage != kCodePageUnknown) base.CodePage = loadedCodePage;
    prepared.Shown = PlayerDocument::Prepare(std::move(bytes), base.CodePage);
    prepared.Options = std::move(base);
}

PreparedDocument PrepareDocument(const std::string& fileName, const PlayerOptions& base,
                                 bool autoCalc) {
    PreparedDocument prepared;
    const QString file = QStringLiteral("Файл \"%1\"").arg(QString::fromStdString(fileName));
    try {
        prepared.Opened = OpenDocument(fileName, {}, kMaxWindowDocumentBytes);
    } catch (const DocumentTooLarge&) {
        prepared.Failure = TooLarge(file, PlayerDocument::TooLargeForWindow(kMaxDocumentBytes, 0));
        return prepared;
    } catch (const DocumentError& error) {
        prepared.Failure = error.what();
        return prepared;
    }
    LoadedDocument& document = prepared.Opened.Document;
    if (const QString refusal = PlayerDocument::TooLargeForWindow(document.Text);
        !refusal.isEmpty()) {
        prepared.Failure = TooLarge(file, refusal);
        return prepared;
    }
    PrepareBytes(prepared, std::move(document.Text), document.CodePage, base, autoCalc);
    document.Text.clear();
    return prepared;
}

DocumentLoad::DocumentLoad(QObject* owner, Work work, Done done)
    : QObject(owner), work_(std::move(work)), done_(std::move(done)) {
    worker_ = std::thread([this] {
        try {
            result_ = work_();
        } catch (const std::exception& error) {
            result_ = PreparedDocument();
            result_.Failure = error.what();
        } catch (...) {
            result_ = PreparedDocument();
            result_.Failure = "Файл не удалось прочитать";
        }
        QMetaObject::invokeMethod(
            this, [this] { Finish(); }, Qt::QueuedConnection);
    });
}

DocumentLoad::~DocumentLoad() {
    // The worker cannot be stopped half way; its result, and the call it posted, are dropped.
    if (worker_.joinable()) worker_.join();
}

void DocumentLoad::Finish() {
    worker_.join();
    // Gone only once the event loop that runs this call takes control again: `done` may open a
    // box, and a newer load started from its loop must not delete this object under it.
    deleteLater();
    Done done = std::move(done_);
    done(result_);
}

}  // namespace tovrin

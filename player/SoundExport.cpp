#include "player/SoundExport.h"

#include "books/DocumentLoader.h"
#include "dialogs/MessageBoxes.h"
#include "engine/TalkServ.h"
#include "player/SoundExportNotice.h"
#include "synth/ChapterExport.h"
#include "synth/SpeechExport.h"
#include "text/PortionSequence.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace tovrin {

namespace {

constexpr int kSteps = 100;

// eSpeak keeps process-wide state: one export at a time.
std::atomic<bool> exportRunning{false};

const QString kTitle = QStringLiteral("Сохранить как звук");

ExportSettings SettingsFor(const std::string& path, AudioFileType type, const VoiceParams& voice) {
    return {.path = path,
            .type = type,
            .voice = voice.Voice,
            .timbre = voice.Timbre,
            .tempo = voice.Tempo,
            .melody = voice.Melody,
            .volume = std::nullopt,
            .engineFolder = DefaultEngineFolder()};
}

// The chapters of the job's text with the book's title and author: a book's own when the text
// is still the book's as converted, else the sections the section finder sees.
struct Chapters {
    std::vector<DocumentChapter> List;
    std::string Title;
    std::string Author;
};

Chapters ChaptersOf(const SoundExportJob& job) {
    Chapters chapters;
    const std::string& named = job.bookFile.empty() ? job.fileName : job.bookFile;
    chapters.Title =
        named.empty() ? std::string("Документ")
                      : QFileInfo(QString::fromStdString(named)).completeBaseName().toStdString();
    std::vector<BookChapter> bookChapters;
    if (!job.bookFile.empty()) {
        try {
            OpenedDocument book = OpenDocument(job.bookFile);
            // An edited text (or a book changed on disk) no longer matches the book's offsets.
            if (book.Document.Text == job.text) {
                bookChapters = std::move(book.Chapters);
                if (!book.Title.empty()) chapters.Title = book.Title;
                chapters.Author = book.Author;
            }
        } catch (const DocumentError&) {
            // The book cannot be read again: its text in the window still has its sections.
        }
    }
    chapters.List = DocumentChapters(job.text, bookChapters, job.options);
    return chapters;
}

// What the user chose in the export's questions and file dialog.
struct ExportChoice {
    bool byChapter = false;
    bool fromStart = true;
    std::string path;  // the sound file, or for chapters a file name whose stem names the folder
    AudioFileType type = AudioFileType::Wav;
};

// A question with Yes, No and Cancel; nullopt when cancelled.
std::optional<bool> Ask(QWidget* window, MessageBoxes& dialogs, const QString& text,
                        BoxButton defaultButton) {
    const BoxButton answer =
        dialogs.Show(window, BoxKind::Question, text,
                     {BoxButton::Yes, BoxButton::No, BoxButton::Cancel}, defaultButton);
    if (answer == BoxButton::Cancel) return std::nullopt;
    return answer == BoxButton::Yes;
}

QString ChooseTarget(QWidget* window, MessageBoxes& dialogs, const SoundExportJob& job,
                     const ExportChoice& choice) {
    FileChoice file;
    file.Save = true;
    const QString from = choice.fromStart ? QStringLiteral("с начала документа")
                                          : QStringLiteral("с позиции курсора");
    file.Title = choice.byChapter ? QStringLiteral(
                                        "Сохранить по главам %1: главы будут в папке с именем "
                                        "файла, вид звука по его расширению")
                                        .arg(from)
                                  : QStringLiteral("Сохранить как звук %1").arg(from);
    file.Filter = QStringLiteral(
        "Звук (*.wav *.flac *.ogg *.opus *.mp3);;WAV (*.wav);;FLAC (*.flac);;Ogg Vorbis (*.ogg);;"
        "Opus (*.opus);;MP3 (*.mp3)");
    file.DefaultSuffix = choice.byChapter ? QStringLiteral("ogg") : QStringLiteral("wav");
    // Offered: a file of the book's (or the document's) name beside it.
    const std::string& source = job.bookFile.empty() ? job.fileName : job.bookFile;
    if (!source.empty()) {
        const QFileInfo info(QString::fromStdString(source));
        file.Folder = info.absoluteDir().filePath(info.completeBaseName() + QLatin1Char('.') +
                                                  file.DefaultSuffix);
    }
    return dialogs.ChooseFile(window, file);
}

// The folder a chapter export writes into: the chosen file's name without its extension.
QString ChapterFolder(const std::string& path) {
    const QFileInfo file(QString::fromStdString(path));
    return file.absoluteDir().filePath(file.completeBaseName());
}

// A file or folder already there is written over only when the user says so.
bool MayReplace(QWidget* window, MessageBoxes& dialogs, const ExportChoice& choice) {
    if (choice.byChapter) {
        const QString folder = ChapterFolder(choice.path);
        return !QFileInfo::exists(folder) ||
               dialogs.Show(
                   window, BoxKind::Question,
                   QStringLiteral("Папка %1 уже есть. OK чтобы сохранить главы в неё").arg(folder),
                   {BoxButton::Yes, BoxButton::No}, BoxButton::No) == BoxButton::Yes;
    }
    const QString file = QString::fromStdString(choice.path);
    return !QFileInfo::exists(file) ||
           dialogs.Show(window, BoxKind::Question,
                        QStringLiteral("OK чтобы переписать %1").arg(file),
                        {BoxButton::Yes, BoxButton::No}, BoxButton::No) == BoxButton::Yes;
}

// Asks how and where to save; nullopt when the user cancelled or the name cannot be used.
std::optional<ExportChoice> AskChoice(QWidget* window, MessageBoxes& dialogs,
                                      const SoundExportJob& job, size_t chapterCount,
                                      const std::function<void(const std::string&)>& error) {
    ExportChoice choice;
    const auto byChapter =
        Ask(window, dialogs,
            QStringLiteral("Сохранить по главам (глав: %1): каждую главу в свой звуковой файл, со "
                           "списком воспроизведения, в одну папку?\n\nДа - по главам, Нет - одним "
                           "файлом.")
                .arg(chapterCount),
            BoxButton::No);
    if (!byChapter) return std::nullopt;
    choice.byChapter = *byChapter;
    if (job.caret > 0) {
        const auto fromStart =
            Ask(window, dialogs,
                QStringLiteral("Сохранить с начала документа?\n\nДа - с начала документа, Нет - "
                               "с позиции курсора."),
                BoxButton::Yes);
        if (!fromStart) return std::nullopt;
        choice.fromStart = *fromStart;
    }
    const QString chosen = ChooseTarget(window, dialogs, job, choice);
    if (chosen.isEmpty()) return std::nullopt;
    choice.path = chosen.toStdString();
    const auto type = AudioFileTypeFor(choice.path);
    if (!type) {
        error("Звук сохраняется только в файлы .wav, .flac, .ogg, .opus и .mp3: " + choice.path);
        return std::nullopt;
    }
    choice.type = *type;
    if (!MayReplace(window, dialogs, choice)) return std::nullopt;
    return choice;
}

// The work of one export, run in the worker: reports progress (0..1) and a line for the
// progress dialog, and returns the status text of a finished export (empty when cancelled).
using ExportWork = std::function<QString(const std::atomic<bool>& cancelled,
                                         const std::function<void(double)>& show,
                                         const std::function<void(const QString&)>& label)>;

ExportWork OneFileWork(SoundExportJob job, ExportSettings settings, bool fromStart) {
    return [job = std::move(job), settings = std::move(settings), fromStart](
               const std::atomic<bool>& cancelled, const std::function<void(double)>& show,
               const std::function<void(const QString&)>&) {
        const char* begin = job.text.c_str();
        const char* end = begin + job.text.size();
        const size_t caret = std::min<size_t>(size_t(std::max(job.caret, 0)), job.text.size());
        const char* from = begin + (fromStart ? 0 : caret);
        // Progress counts from where the export starts, not from the start of the document.
        const double start = double(from - begin) / double(std::max<size_t>(job.text.size(), 1));
        SpeechExport out(settings, cancelled,
                         [&](double done) { show(start < 1 ? (done - start) / (1 - start) : 1); });
        const CutOutcome outcome = ForEachPortion(
            begin, end, from, job.options,
            [&](const std::string& text, double a, double b) { return out.Speak(text, a, b); });
        // A cut that stalls would leave the rest of the text out of the file: no file then.
        if (outcome.Stalled())
            throw std::runtime_error("Текст не удалось прочитать до конца, звук не сохранён: " +
                                     DescribeStall(outcome, begin));
        if (!outcome.Finished || cancelled) return QString();
        out.Finish();
        return QStringLiteral("Звук сохранён: %1").arg(QString::fromStdString(settings.path));
    };
}

ExportWork ChapterWork(SoundExportJob job, Chapters chapters, ChapterExportRequest request) {
    return [job = std::move(job), chapters = std::move(chapters), request = std::move(request)](
               const std::atomic<bool>& cancelled, const std::function<void(double)>& show,
               const std::function<void(const QString&)>& label) {
        int saved = 0;
        const ChapterExportProgress progress{
            .Begun =
                [&](size_t number, size_t count, const std::string& fileName) {
                    label(QStringLiteral("Глава %1 из %2: %3")
                              .arg(number)
                              .arg(count)
                              .arg(QString::fromStdString(fileName)));
                },
            .Moved = [&](double, double whole) { show(whole); },
            .Saved = [&](const std::string&, double) { ++saved; }};
        if (!ExportChapters(request, job.text, chapters.List, job.options, cancelled, progress))
            return QString();
        return QStringLiteral("Главы сохранены в папку %1, файлов: %2")
            .arg(QString::fromStdString(request.Folder))
            .arg(saved);
    };
}

// One export: the worker renders, the window's thread only shows the progress. Deletes
// itself when done; destroyed with the window, it cancels and waits for the worker.
class SoundExportRun final : public QObject {
  public:
    SoundExportRun(QWidget* window, const QString& target, ExportWork work,
                   SoundExportReports reports)
        : QObject(window),
          work_(std::move(work)),
          reports_(std::move(reports)),
          progress_(new QProgressDialog(window)) {
        setObjectName(QStringLiteral("SoundExport"));
        progress_->setObjectName(QStringLiteral("SoundExportProgress"));
        progress_->setWindowTitle(kTitle);
        progress_->setLabelText(QStringLiteral("Сохраняется %1").arg(target));
        progress_->setCancelButtonText(QStringLiteral("Отмена"));
        progress_->setRange(0, kSteps);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setMinimumDuration(0);
        progress_->setWindowModality(Qt::NonModal);
        progress_->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(progress_, &QProgressDialog::canceled, this,
                         [this] { cancelled_ = true; });
        progress_->show();
        worker_ = std::thread([this] { Work(); });
    }

    ~SoundExportRun() override {
        cancelled_ = true;
        if (worker_.joinable()) worker_.join();
        exportRunning = false;
    }

  private:
    void Work() {
        try {
            finished_ = work_(
                cancelled_, [this](double done) { Show(done); },
                [this](const QString& text) { Label(text); });
        } catch (const std::exception& error) {
            failure_ = error.what();
        } catch (...) {
            failure_ = "Звуковой файл не удалось записать";
        }
        QMetaObject::invokeMethod(
            this, [this] { Done(); }, Qt::QueuedConnection);
    }

    // Called in the worker; the dialog is told only when the step has moved.
    void Show(double done) {
        const int step = std::clamp(int(done * kSteps), 0, kSteps);
        if (step == shownStep_.exchange(step)) return;
        QMetaObject::invokeMethod(
            this,
            [this, step] {
                if (progress_) progress_->setValue(step);
            },
            Qt::QueuedConnection);
    }

    void Label(const QString& text) {
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                if (progress_) progress_->setLabelText(text);
            },
            Qt::QueuedConnection);
    }

    void Done() {
        worker_.join();
        if (progress_) progress_->close();
        if (!failure_.empty()) {
            reports_.error(failure_);
        } else if (finished_.isEmpty()) {
            reports_.status(QStringLiteral("Сохранение звука отменено"));
        } else {
            reports_.status(finished_);
            NotifyExportFinished(kTitle + QStringLiteral(": готово"), finished_);
        }
        deleteLater();
    }

    const ExportWork work_;
    const SoundExportReports reports_;
    QPointer<QProgressDialog> progress_;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> shownStep_{0};
    std::string failure_;
    QString finished_;
    std::thread worker_;
};

// The work and the name the progress dialog shows for the user's choice.
std::pair<ExportWork, QString> WorkFor(SoundExportJob job, Chapters chapters,
                                       const ExportChoice& choice) {
    ExportSettings settings = SettingsFor(choice.path, choice.type, job.voice);
    if (!choice.byChapter)
        return {OneFileWork(std::move(job), std::move(settings), choice.fromStart),
                QString::fromStdString(choice.path)};
    const QString folder = ChapterFolder(choice.path);
    settings.path.clear();
    ChapterExportRequest request{.Folder = folder.toStdString(),
                                 .Voice = std::move(settings),
                                 .BookTitle = chapters.Title,
                                 .Author = chapters.Author,
                                 .From = choice.fromStart ? 0 : size_t(std::max(job.caret, 0))};
    return {ChapterWork(std::move(job), std::move(chapters), std::move(request)), folder};
}

}  // namespace

void ExportAsSound(QWidget* window, MessageBoxes& dialogs, SoundExportJob job,
                   SoundExportReports reports) {
    Chapters chapters = ChaptersOf(job);
    const auto choice = AskChoice(window, dialogs, job, chapters.List.size(), reports.error);
    if (!choice) return;
    if (exportRunning.exchange(true)) {
        reports.error("Звук уже сохраняется: дождитесь конца или отмените его.");
        return;
    }
    try {
        auto [work, target] = WorkFor(std::move(job), std::move(chapters), *choice);
        new SoundExportRun(window, target, std::move(work), std::move(reports));
    } catch (...) {
        exportRunning = false;
        throw;
    }
}

}  // namespace tovrin

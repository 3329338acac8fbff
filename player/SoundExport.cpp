#include "player/SoundExport.h"

#include "dialogs/MessageBoxes.h"
#include "engine/TalkServ.h"
#include "synth/SpeechExport.h"
#include "text/PortionSequence.h"

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

// One export: the worker renders, the window's thread only shows the progress. Deletes
// itself when done; destroyed with the window, it cancels and waits for the worker.
class SoundExportRun final : public QObject {
  public:
    SoundExportRun(QWidget* window, SoundExportJob job, ExportSettings settings,
                   std::function<void(const std::string&)> report)
        : QObject(window),
          job_(std::move(job)),
          settings_(std::move(settings)),
          report_(std::move(report)),
          progress_(new QProgressDialog(window)) {
        setObjectName(QStringLiteral("SoundExport"));
        progress_->setObjectName(QStringLiteral("SoundExportProgress"));
        progress_->setWindowTitle(QStringLiteral("Сохранить как звук"));
        progress_->setLabelText(
            QStringLiteral("Сохраняется %1").arg(QString::fromStdString(settings_.path)));
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
            const char* begin = job_.text.c_str();
            const char* end = begin + job_.text.size();
            const char* from =
                begin + std::clamp<size_t>(size_t(std::max(job_.from, 0)), 0, job_.text.size());
            // Progress counts from the caret, not from the start of the document.
            const double start =
                double(from - begin) / double(std::max<size_t>(job_.text.size(), 1));
            SpeechExport out(settings_, cancelled_, [this, start](double done) {
                Show(start < 1 ? (done - start) / (1 - start) : 1);
            });
            const CutOutcome outcome = ForEachPortion(
                begin, end, from, job_.options,
                [&](const std::string& text, double a, double b) { return out.Speak(text, a, b); });
            // A cut that stalls would leave the rest of the text out of the file: no file then.
            if (outcome.Stalled())
                failure_ = "Текст не удалось прочитать до конца, звук не сохранён: " +
                           DescribeStall(outcome, begin);
            else if (outcome.Finished && !cancelled_)
                out.Finish();
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

    void Done() {
        worker_.join();
        if (progress_) progress_->close();
        if (!failure_.empty()) report_(failure_);
        deleteLater();
    }

    const SoundExportJob job_;
    const ExportSettings settings_;
    const std::function<void(const std::string&)> report_;
    QPointer<QProgressDialog> progress_;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> shownStep_{0};
    std::string failure_;
    std::thread worker_;
};

}  // namespace

void ExportAsSound(QWidget* window, MessageBoxes& dialogs, SoundExportJob job,
                   std::function<void(const std::string& error)> report) {
    FileChoice choice;
    choice.Save = true;
    choice.Title = QStringLiteral("Сохранить как звук");
    choice.Filter = QStringLiteral(
        "Звук (*.wav *.flac *.ogg *.opus *.mp3);;WAV (*.wav);;FLAC (*.flac);;Ogg Vorbis (*.ogg);;"
        "Opus (*.opus);;MP3 (*.mp3)");
    choice.DefaultSuffix = QStringLiteral("wav");
    const QString chosen = dialogs.ChooseFile(window, choice);
    if (chosen.isEmpty()) return;
    const std::string path = chosen.toStdString();
    const auto type = AudioFileTypeFor(path);
    if (!type) {
        report("Звук сохраняется только в файлы .wav, .flac, .ogg, .opus и .mp3: " + path);
        return;
    }
    // The dialog leaves the question to its caller: a file already there is replaced only
    // when the user says so.
    if (QFileInfo::exists(chosen) &&
        dialogs.Show(window, BoxKind::Question,
                     QStringLiteral("OK чтобы переписать %1").arg(chosen),
                     {BoxButton::Yes, BoxButton::No}, BoxButton::No) != BoxButton::Yes)
        return;
    if (exportRunning.exchange(true)) {
        report("Звук уже сохраняется: дождитесь конца или отмените его.");
        return;
    }
    try {
        ExportSettings settings = SettingsFor(path, *type, job.voice);
        new SoundExportRun(window, std::move(job), std::move(settings), std::move(report));
    } catch (...) {
        exportRunning = false;
        throw;
    }
}

}  // namespace tovrin

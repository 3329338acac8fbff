#include "main/SpeakFileRequests.h"

#include "main/PlayerFactory.h"

#include <QObject>
#include <QTimer>

#include <algorithm>

namespace tovrin {

SpeakFileRequests::SpeakFileRequests(QObject* context, Server serve, Reporter report)
    : context_(context), serve_(std::move(serve)), report_(std::move(report)) {}

void SpeakFileRequests::Add(const std::string& fileName) {
    // Asked again before it was served: the request that waits does for both.
    if (std::find(waiting_.begin(), waiting_.end(), fileName) != waiting_.end()) return;
    if (waiting_.size() >= kMaxWaiting) {
        Refuse();
        return;
    }
    waiting_.push_back(fileName);
    Schedule();
}

void SpeakFileRequests::Clear() {
    waiting_.clear();
    refused_ = 0;
}

// One request a turn of the event loop, so that the windows keep answering the user in a
// flood, and requests that arrive meanwhile can still be merged.
void SpeakFileRequests::Schedule() {
    if (scheduled_) return;
    scheduled_ = true;
    QTimer::singleShot(0, context_, [this] { ServeNext(); });
}

void SpeakFileRequests::ServeNext() {
    scheduled_ = false;
    if (!waiting_.empty()) {
        const std::string fileName = std::move(waiting_.front());
        waiting_.pop_front();
        if (!serve_(fileName)) Refuse();
    }
    if (!waiting_.empty()) {
        Schedule();
    } else {
        ReportRefusals();
    }
}

void SpeakFileRequests::Refuse() {
    ++refused_;
    if (waiting_.empty() && !scheduled_) ReportRefusals();
}

// A report may show a box that runs the event loop; refusals made meanwhile are told after it.
void SpeakFileRequests::ReportRefusals() {
    if (reporting_) return;
    reporting_ = true;
    while (refused_ > 0 && waiting_.empty()) {
        const std::string text =
            "Слишком много запросов на чтение файлов: не выполнено " + std::to_string(refused_) +
            ". Окон чтения открывается не больше " + std::to_string(kMaxPlayerWindows) +
            "; окно, которое читает или хранит несохранённый текст, не заменяется.";
        refused_ = 0;
        report_(text);
    }
    reporting_ = false;
}

std::optional<PlayerWindow*> SpeakFileRequests::ChooseWindow(const std::vector<PlayerWindow*>& open,
                                                             const SpeechHolder* reading) {
    if (open.size() < kMaxPlayerWindows) return nullptr;
    for (PlayerWindow* window : open) {
        if (window->Holder() != reading && !window->HasUnsavedChanges()) return window;
    }
    return std::nullopt;
}

}  // namespace tovrin

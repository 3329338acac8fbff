// The player window's dictionary mode: a ".DIC" or ".RCH" file whose sound folder is found is
// read line by line, each entry as a request to the controller's dictionary worker.

#include "player/TalkView.h"

#include "player/PlayerDocument.h"
#include "player/PlayerSetup.h"
#include "player/SpeechFolders.h"
#include "player/WidgetState.h"

#include <QCoreApplication>
#include <QToolButton>

namespace tovrin {
namespace {

constexpr int32_t kReadingByLines = 2;

// The start of a request that the main window hands to the dictionary worker.
const std::string kRequestHeader = "{TALKSERVCMD}";

}  // namespace

void TFrmView::CreateSetupDialog() {
    try {
        AttachSetupDialog(std::make_unique<PlayerSetup>(*this));
    } catch (const std::exception& error) {
        ShowAppError(error.what());
    }
}

void TFrmView::SetupClosed() {
    SetCheckedQuietly(btnSetup_, false);
    SetCheckedQuietly(setupItem_, false);
}

void TFrmView::SetupError(const std::string& text) {
    ShowAppError(text);
}

void TFrmView::DetectDictionary(const std::string& fileName) {
    docKind_ = kDocKindText;
    const std::string folder =
        fileName.empty()
            ? std::string()
            : FindSpeechFolder(fileName, QCoreApplication::applicationDirPath().toStdString());
    if (folder.empty()) return;
    docKind_ = kDocKindDictionary;
    speechPath_ = folder;
}

void TFrmView::ApplyDictionaryKind() {
    shortTalk_ = false;
    options_.ReadingType = kReadingByLines;
    SetHint(btnShortTalk_,
            QStringLiteral("Размешать|Задать случайный порядок строк после прочтения текста"));
    if (setupDialog_) setupDialog_->EnableReadingType(false);
}

std::string TFrmView::SpeakableText(std::string portion) const {
    if (docKind_ == kDocKindDictionary) {
        if (auto request = MakeDictionaryRequest(portion, options_.DictScript, speechPath_))
            return std::move(*request);
    }
    // Only a dictionary entry goes out as a request; a text that merely starts like one is
    // spoken as text.
    if (portion.compare(0, kRequestHeader.size(), kRequestHeader) == 0) portion.insert(0, 1, ' ');
    return portion;
}

bool TFrmView::RepeatDictionary() {
    if (docKind_ != kDocKindDictionary) return false;
    if (options_.DictOver) EditorRandom();
    // Without a single entry the next pass would have nothing to play, and so on for ever.
    return options_.DictRep && HoldsDictionaryEntry(document_->Bytes());
}

}  // namespace tovrin

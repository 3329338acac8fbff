// The player window's dictionary mode: a ".DIC" or ".RCH" file whose sound folder is found is
// read line by line, each entry as a request to the controller's dictionary worker.

#include "player/TalkView.h"

#include "player/PlayerDocument.h"
#include "player/PlayerSetup.h"
#include "player/SpeechFolders.h"

#include <QCoreApplication>
#include <QAction>

namespace tovrin {

void TFrmView::CreateSetupDialog() {
    try {
        AttachSetupDialog(std::make_unique<PlayerSetup>(*this));
    } catch (const std::exception& error) {
        ShowAppError(error.what());
    }
}

void TFrmView::SetupClosed() {
    controls_.setup->setChecked(false);
}

void TFrmView::SetupError(const std::string& text) {
    ShowAppError(text);
}

void TFrmView::DetectDictionary(const std::string& fileName) {
    const std::string folder =
        fileName.empty()
            ? std::string()
            : FindSpeechFolder(fileName, QCoreApplication::applicationDirPath().toStdString());
    session_->NewDocument(folder.empty() ? kDocKindText : kDocKindDictionary, folder);
}

void TFrmView::ApplyDictionaryKind() {
    shortTalk_ = false;
    options_.ReadingType = kReadingByLines;
    SetHint(controls_.shortTalk,
            QStringLiteral("Размешать|Задать случайный порядок строк после прочтения текста"));
    if (setupDialog_) setupDialog_->EnableReadingType(false);
}

}  // namespace tovrin

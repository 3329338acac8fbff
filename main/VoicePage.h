#pragma once

#include "engine/VoiceParams.h"
#include "main/SettingsFile.h"

#include <QWidget>

#include <string>
#include <vector>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QSlider;
class QToolButton;

namespace tovrin {

// The "Голос" tab: the presets, the voice and its four bars, the test phrase and the hidden
// list that keeps the presets in the settings file.
class TVoicePage : public QWidget {
    Q_OBJECT
  public:
    explicit TVoicePage(QWidget* parent);

    // The chosen preset; -1 when none.
    int Preset() const;
    // Chooses a preset without telling anyone.
    void SelectPresetQuietly(int preset);
    // Shows a preset as stored, without telling anyone: a voice outside the list shows as
    // none, values outside the bars put them at the top.
    void ShowPreset(const VoiceParams& params, int volume);
    // The voice the controls show, to be sent to the engine.
    VoiceParams Voice() const;
    int Volume() const;
    // A volume changed elsewhere moves the bar, which tells as a move of the user's would.
    void FollowVolume(int volume);
    QString Phrase() const;

    std::vector<std::string>& TestRes() { return testRes_; }
    void ShowTestRes();
    void Store(StoredControls& controls) const;
    void Restore(const StoredControls& controls);
    // Arranges the page for a short screen, or back for a normal one.
    void SetCompact(bool compact);

  signals:
    void PresetChosen();
    void VoiceMoved();
    void TestClicked();

  private:
    void BuildLists(QWidget* panel);
    void BuildBars(QWidget* panel);
    void BuildPhrase(QWidget* panel);
    void Arrange(bool compact);

    std::vector<std::string> testRes_;
    QGridLayout* grid_ = nullptr;
    QLabel* styleLabel_ = nullptr;
    QLabel* voiceLabel_ = nullptr;
    QHBoxLayout* bars_ = nullptr;
    QHBoxLayout* phrase_ = nullptr;
    QListWidget* testStyle_ = nullptr;
    QListWidget* testVoice_ = nullptr;
    QSlider* trBarTempo_ = nullptr;
    QSlider* trBarTimbre_ = nullptr;
    QSlider* trBarMelody_ = nullptr;
    QSlider* trBarVolume_ = nullptr;
    QLineEdit* testEdit_ = nullptr;
    QToolButton* testBtn_ = nullptr;
    QListWidget* testResList_ = nullptr;
};

}  // namespace tovrin

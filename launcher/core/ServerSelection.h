#pragma once
// Loading updater.uif into TheLauncherConfig(), restoring and saving the player's
// choice through the settings key, the start button's rule and its action. The
// window owns one instance and forwards its dialog events to it.
#include <functional>
#include <string>

#include "launcher/core/ServerConfig.h"

class CMyRegKey;
class ISelectionView;

// Starts the update worker (StartUpdateWorker of the engine); it reports its own
// failure to start on the status line.
using StartWorkerFunction = std::function<void()>;

// Names of the stored choice under the settings key.
inline constexpr const char* kPatchGroupValue = "PATCH_GROUP";
inline constexpr const char* kPatchServerValue = "PATCH_SERVER";
inline constexpr const char* kLauncherConfigFile = "updater.uif";
inline constexpr const char* kConfigMissingText = "Error: updater.uif File Not Found!";

// Copies a server's PatchHost and GameAddress into CurrentPatchHost and
// CurrentGameAddress, the update's host and the game's argument, in UTF-8.
void TakeServerAddresses(const ServerEntry& server);

class CServerSelection {
public:
    CServerSelection(ISelectionView& view, CMyRegKey& settingsKey, StartWorkerFunction startWorker,
                     LauncherConfig& config = TheLauncherConfig());

    // Reads updater.uif from the current folder, fills the tables, sets HasUifMagic,
    // restores the stored choice and the first visible tab and row, and draws the
    // list. False (after the message box and status error) when the file cannot be
    // opened; the caller then ends the program with exit code 0.
    bool LoadLauncherConfig();
    // The start button: copies the chosen server's PatchHost and GameAddress into
    // CurrentPatchHost/CurrentGameAddress and starts the worker. Does nothing
    // without a valid choice or once patching started (Enter reaches it too).
    void BeginPatching();
    // Enables the start button exactly for a valid choice, until patching started.
    void UpdateStartButton();
    // Writes PATCH_GROUP and PATCH_SERVER as shown now (window destruction).
    void SaveChoice();

    bool PatchingStarted() const { return m_bPatchingStarted; }

private:
    ISelectionView& m_view;
    CMyRegKey& m_settingsKey;
    StartWorkerFunction m_startWorker;
    LauncherConfig& m_config;
    bool m_bPatchingStarted = false;
};

// The registry text as the stored choice is converted: leading white space, an
// optional sign, decimal digits up to the first other character (none give 0),
// clamped to the signed 32-bit range.
int32_t ParseSignedText(const std::string& text);

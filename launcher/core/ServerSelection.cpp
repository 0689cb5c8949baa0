#include "launcher/core/ServerSelection.h"

#include <algorithm>
#include <cstdio>

#include "engine/SharedState.h"
#include "launcher/core/ISelectionView.h"
#include "launcher/core/MyRegKey.h"
#include "launcher/core/UifFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

namespace {

// Rows of the server list and tabs of the strip when the group arrows show.
constexpr int64_t kVisibleRows = 6;
constexpr int64_t kTabsWithArrows = 3;
constexpr size_t kManyGroupsAbove = 4;

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Index `stored` when it is below `count`, else 0; unreadable values give 0 too.
uint32_t RestoreIndex(CMyRegKey& key, const char* name, size_t count) {
    std::string text;
    if (key.QueryValue(text, name) != 0) return 0;
    auto stored = static_cast<uint32_t>(ParseSignedText(text));
    return stored < count ? stored : 0;
}

// The first visible entry that shows `selected` first, or the last `visible` ones
// when `selected` is near the end.
int32_t FirstVisible(uint32_t selected, size_t count, int64_t visible) {
    int64_t index = selected;
    return static_cast<int32_t>(index - std::max<int64_t>(0, index + visible - static_cast<int64_t>(count)));
}

}  // namespace

int32_t ParseSignedText(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT32_MAX} + 1);
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

CServerSelection::CServerSelection(ISelectionView& view, CMyRegKey& settingsKey, StartWorkerFunction startWorker,
                                   LauncherConfig& config)
    : m_view(view), m_settingsKey(settingsKey), m_startWorker(std::move(startWorker)), m_config(config) {}

bool CServerSelection::LoadLauncherConfig() {
    std::optional<std::string> bytes;
    if (platform::RegularFileExists(kLauncherConfigFile)) bytes = platform::ReadWholeFile(kLauncherConfigFile);
    if (!bytes) {
        m_view.ShowMessageBox(kConfigMissingText);
        m_view.ShowStatusError(kConfigMissingText);
        return false;
    }
    UifContent content = ReadUifFile(*bytes);
    HasUifMagic = content.HasMagic;
    m_config.HeaderValue = content.HeaderValue;
    m_config.Groups = std::move(content.Groups);
    m_config.Links = std::move(content.Links);
    // Counted from the groups held, so that a count the file cannot back shows no arrows.
    m_config.ManyGroups = m_config.Groups.size() > kManyGroupsAbove;

    m_config.SelectedGroup = RestoreIndex(m_settingsKey, kPatchGroupValue, m_config.Groups.size());
    m_config.SelectedServer =
        RestoreIndex(m_settingsKey, kPatchServerValue, m_config.ServerCountOfSelectedGroup());

    m_config.FirstVisibleGroup = 0;
    if (m_config.ManyGroups && m_config.SelectedGroup >= kTabsWithArrows) {
        m_config.FirstVisibleGroup = FirstVisible(m_config.SelectedGroup, m_config.Groups.size(), kTabsWithArrows);
    }
    m_config.FirstVisibleServer = 0;
    if (m_config.SelectedServer >= kVisibleRows) {
        m_config.FirstVisibleServer =
            FirstVisible(m_config.SelectedServer, m_config.ServerCountOfSelectedGroup(), kVisibleRows);
    }
    m_config.LastDrawnFirstServer = m_config.FirstVisibleServer;

    m_view.UpdateScrollMetrics();
    m_view.UpdateThumbPosition();
    m_view.DrawScrollThumb();
    m_view.DrawServerList(false);
    return true;
}

void TakeServerAddresses(const ServerEntry& server) {
    SetSharedText(CurrentPatchHost, platform::GbkToUtf8(server.PatchHost));
    SetSharedText(CurrentGameAddress, platform::GbkToUtf8(server.GameAddress));
}

void CServerSelection::BeginPatching() {
    if (m_bPatchingStarted || !m_config.HasValidChoice()) return;
    m_bPatchingStarted = true;
    m_view.EnableStartButton(false);
    const ServerEntry& server = m_config.Groups[m_config.SelectedGroup].Servers[m_config.SelectedServer];
    TakeServerAddresses(server);
    if (m_startWorker) m_startWorker();
    m_view.FocusSettingsButton();
}

void CServerSelection::UpdateStartButton() {
    if (m_bPatchingStarted || !m_view.HasStartButton()) return;
    m_view.EnableStartButton(m_config.HasValidChoice());
}

void CServerSelection::SaveChoice() {
    // Without groups nothing was shown to choose from: keep the stored choice for
    // when the file lists its groups again.
    if (m_config.Groups.empty()) return;
    char text[kRegValueBufferSize];
    std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(m_config.SelectedGroup));
    m_settingsKey.SetValue(text, kPatchGroupValue);
    std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(m_config.SelectedServer));
    m_settingsKey.SetValue(text, kPatchServerValue);
}

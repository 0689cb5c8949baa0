#pragma once
// The records of updater.uif and the selection state built from them. Texts are
// the file's GBK bytes, converted to UTF-8 only where they are shown or handed on
// (to the update, the game's command line, the latency probe). Filled once
// by the loader on the window thread before the latency probe starts; afterwards
// only PingTime changes (written by the probe alone).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct ServerEntry {
    std::string Name;         // at most 255 bytes
    std::string PatchHost;    // at most 1023 bytes
    std::string GameAddress;  // at most 1023 bytes; empty without the magic
    // Milliseconds; -1 not measured, 0 no answer within a second.
    std::atomic<int64_t> PingTime{-1};

    ServerEntry() = default;
    ServerEntry(const ServerEntry& other)
        : Name(other.Name), PatchHost(other.PatchHost), GameAddress(other.GameAddress),
          PingTime(other.PingTime.load()) {}
    ServerEntry& operator=(const ServerEntry& other) {
        Name = other.Name;
        PatchHost = other.PatchHost;
        GameAddress = other.GameAddress;
        PingTime = other.PingTime.load();
        return *this;
    }
};

struct ServerGroup {
    std::string Name;
    std::vector<ServerEntry> Servers;
};

// Everything the loader reads, and the selection with its scroll positions.
struct LauncherConfig {
    std::vector<ServerGroup> Groups;
    std::vector<std::string> Links;
    int32_t HeaderValue = 0;
    bool ManyGroups = false;

    uint32_t SelectedGroup = 0;
    uint32_t SelectedServer = 0;
    int32_t FirstVisibleGroup = 0;
    int32_t FirstVisibleServer = 0;
    int32_t LastDrawnFirstServer = 0;

    bool HasValidGroup() const { return SelectedGroup < Groups.size(); }
    size_t ServerCountOfSelectedGroup() const {
        return HasValidGroup() ? Groups[SelectedGroup].Servers.size() : 0;
    }
    // A server of a group is chosen: the start button's condition.
    bool HasValidChoice() const { return SelectedServer < ServerCountOfSelectedGroup(); }
    // Links[index], or an empty text when the file lists fewer links; the window
    // then loads no news page and the link button does nothing.
    const std::string& Link(size_t index) const;
};

// The one process-wide configuration (HasUifMagic lives with the engine's shared state).
LauncherConfig& TheLauncherConfig();

// delete.lst: paths taken out of the game pack after the last patch of a run.
#include <algorithm>

#include "pack/PackUpdater.h"
#include "platform/FileSystem.h"

namespace {

// Rest space lists longer than this are cut down to kRestSpaceKeep entries.
constexpr size_t kRestSpaceLimit = 700;
constexpr size_t kRestSpaceKeep = 500;
// The list is read line by line into a 2048-byte buffer: longer lines come in pieces.
constexpr size_t kLinePiece = 2047;

// Text mode: a carriage return before a line feed is dropped.
std::string FromTextMode(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text.push_back(raw[i]);
    }
    return text;
}

}  // namespace

bool CPackUpdater::ApplyDeleteList() {
    m_pGameRoot = std::make_unique<PackFolder>();
    ClearRestSpace();
    if (!m_headerFile.Open(m_strDataHeader, platform::CFile::Mode::Read)) return false;
    CHeaderReader reader(m_headerFile);
    bool loaded = ReadGameHeader(reader, false, m_headerBlock);
    m_headerFile.Close();
    if (!loaded) return false;

    std::string listPath = InFolder("delete.lst");
    std::optional<std::string> raw = platform::ReadWholeFile(listPath);
    if (!raw) return true;
    std::string text = FromTextMode(*raw);
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(start + kLinePiece, text.size());
        size_t newline = text.find('\n', start);
        if (newline != std::string::npos && newline < end) end = newline + 1;
        std::string_view piece(text.data() + start, end - start);
        // A line ends at its first tab or line feed (or a stray zero byte).
        piece = piece.substr(0, piece.find_first_of(std::string_view("\t\n\0", 3)));
        RemovePath(piece);
        start = end;
    }
    m_bChanged = true;
    platform::RemoveFile(listPath);
    return true;
}

bool CPackUpdater::SaveDataHeader() {
    // A header that was not read completely must never be written back.
    if (!m_bLoaded) return false;
    bool dropped = false;
    if (m_restSpace.Count() > kRestSpaceLimit) {
        // The front holds the smallest regions read from data.vah.
        while (m_restSpace.Count() > kRestSpaceKeep) m_uWastedBytes += m_restSpace.TakeFront().Size;
        dropped = true;
    }
    if (!m_bChanged && !dropped) return true;
    return WriteGameHeader(m_uGameStamp, m_uGameFileCount);
}

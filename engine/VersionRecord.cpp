#include "engine/VersionRecord.h"

#include <cstdio>
#include <string>

#include "engine/HttpPatcher.h"
#include "engine/PatchHost.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"

namespace {

constexpr const char* kPublishedListPath = ".\\UpdateVersion.ini";
constexpr const char* kTestChannelPath = ".\\UpdateVersion-qrx-.ini";

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string ReadKey(const char* file, const char* key) {
    return platform::GetProfileString(file, kVersionSection, key);
}

// The test-channel file's value of a key replaces the published one; its
// presence is asked anew for every key.
void ApplyTestChannel(const char* key, uint32_t& value) {
    if (!platform::RegularFileExists(kTestChannelFile)) return;
    std::string text = ReadKey(kTestChannelPath, key);
    if (!text.empty()) value = ParseRecordNumber(text);
}

}  // namespace

uint32_t ParseRecordNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Saturates like strtol on 64 bits; the field keeps the low 32 bits.
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{INT64_MAX} + 1 : uint64_t{INT64_MAX};
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    uint64_t value = negative ? ~magnitude + 1 : magnitude;
    return static_cast<uint32_t>(value);
}

bool WriteStartUpdate(std::string_view marker) {
    return platform::WriteProfileString(kLocalRecordFile, kVersionSection, "StartUpdate", marker);
}

bool CHttpPatcher::HasValidLocalRecord() const {
    std::string text = ReadKey(kLocalRecordFile, "CheckVersion");
    return !text.empty() && ParseRecordNumber(text) == 2;
}

bool CHttpPatcher::ReadLocalVersion() {
    std::string current = ReadKey(kLocalRecordFile, "CurrentVersion");
    if (current.empty()) {
        m_baseVersion = m_currentVersion = 0;
        platform::WriteProfileString(kLocalRecordFile, kVersionSection, "CurrentVersion", "0");
        return true;
    }
    m_baseVersion = m_currentVersion = ParseRecordNumber(current);
    std::string marker = ReadKey(kLocalRecordFile, "StartUpdate");
    if (marker.empty()) return true;
    if (SameText(marker, kMarkerUpdateEnd)) {
        std::string merged = ReadKey(kLocalRecordFile, kMergeVersionKey);
        if (!merged.empty() && ParseRecordNumber(merged) == m_currentVersion + 1)
            m_mergedVersion = m_currentVersion + 1;
    } else if (SameText(marker, kMarkerUpdateStart)) {
        m_baseVersion = m_currentVersion = 0;
    } else if (SameText(marker, kMarkerExtractStart) || SameText(marker, kMarkerFileSizeError)) {
        WriteStartUpdate("");
    }
    return true;
}

// Every value is taken from the list only once the list is accepted: a rejected
// list (an error page, a half-published host) leaves nothing behind for the
// list of the default host that the run asks next.
bool CHttpPatcher::ReadVersionList() {
    std::string updater = ReadKey(kPublishedListPath, "UpdaterVersion");
    std::string target = ReadKey(kPublishedListPath, "PatchFileVersion");
    if (updater.empty() || target.empty()) {
        platform::RemoveFile(kVersionListFile);
        return false;
    }
    std::string check = ReadKey(kPublishedListPath, "CheckVersion");
    m_publishedCheckVersion = check.empty() ? 0 : ParseRecordNumber(check);
    ApplyTestChannel("CheckVersion", m_publishedCheckVersion);
    m_updaterVersion = ParseRecordNumber(updater);
    ApplyTestChannel("UpdaterVersion", m_updaterVersion);
    m_bUpdaterOutdated = m_updaterVersion > kOwnUpdaterVersion;
    m_targetVersion = ParseRecordNumber(target);
    ApplyTestChannel("PatchFileVersion", m_targetVersion);

    if (m_baseVersion > m_targetVersion) m_baseVersion = m_currentVersion = m_targetVersion;
    platform::RemoveFile(kVersionListFile);
    return true;
}

namespace {

bool WriteVersionNumber(const char* key, uint32_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", version);
    return platform::WriteProfileString(kLocalRecordFile, kVersionSection, key, text);
}

}  // namespace

bool CHttpPatcher::SaveCurrentVersion() const { return WriteVersionNumber("CurrentVersion", m_currentVersion); }

bool CHttpPatcher::SaveMergeVersion() const { return WriteVersionNumber(kMergeVersionKey, m_currentVersion); }

#include "patcharchive/ZipInternalInfo.h"

CZipInternalInfo::CZipInternalInfo() : m_stream{} {}

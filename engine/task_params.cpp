#include "engine/task_params.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/xldl_api.h"

// The records are read and written as bytes: fields may not overlap, texts are UTF-16.
static_assert(sizeof(wchar_t) == 2 && sizeof(float) == 4);
static_assert(korvane::xldl::kParamUrlOffset + korvane::xldl::kParamUrlMaxChars * 2 <=
              korvane::xldl::kParamFileNameOffset);
static_assert(korvane::xldl::kParamFileNameOffset + korvane::xldl::kParamFileNameMaxChars * 2 <=
              korvane::xldl::kParamSaveFolderOffset);
static_assert(korvane::xldl::kParamSaveFolderOffset + korvane::xldl::kParamSaveFolderMaxChars * 2 <=
              korvane::xldl::kParamReserved18096Offset);
static_assert(korvane::xldl::kInfoFileNameOffset + korvane::xldl::kInfoFileNameMaxChars * 2 <=
              korvane::xldl::kInfoTotalOffset);
static_assert(korvane::xldl::kInfoSpeedOffset + 4 <= korvane::xldl::kTaskInfoSize);

namespace korvane::xldl {

namespace {

std::wstring ReadText(const unsigned char* record, std::size_t offset, std::size_t maxChars) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < maxChars; ++i) {
        wchar_t c;
        std::memcpy(&c, record + offset + i * 2, 2);
        if (c == 0) {
            return text;
        }
        text += c;
    }
    return std::wstring();  // no terminator inside the field: not a text
}

std::int32_t ReadInt32(const unsigned char* record, std::size_t offset) {
    std::int32_t v;
    std::memcpy(&v, record + offset, sizeof(v));
    return v;
}

}  // namespace

bool ReadTaskParams(const unsigned char* record, TaskParams* params) {
    TaskParams p;
    p.url = ReadText(record, kParamUrlOffset, kParamUrlMaxChars);
    p.fileName = ReadText(record, kParamFileNameOffset, kParamFileNameMaxChars);
    p.folder = ReadText(record, kParamSaveFolderOffset, kParamSaveFolderMaxChars);
    p.connections =
        std::clamp<std::int32_t>(ReadInt32(record, kParamConnectionsOffset), 0, kMaxConnections);
    p.resume = ReadInt32(record, kParamResumeOffset) != 0;
    *params = p;
    return !p.url.empty() && !p.fileName.empty() && !p.folder.empty();
}

std::wstring FinalPathFor(const std::wstring& folder, const std::wstring& fileName) {
    if (folder.empty() || fileName.empty() || fileName == L"." || fileName == L".." ||
        fileName.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) {
        return std::wstring();
    }
    for (wchar_t c : fileName) {
        if (c < 32) {
            return std::wstring();
        }
    }
    std::wstring path = folder;
    if (path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    return path + fileName;
}

std::wstring PartialPathFor(const std::wstring& finalPath) {
    return finalPath + L".kvdl";
}
std::wstring StatePathFor(const std::wstring& finalPath) {
    return finalPath + L".kvdl.state";
}

}  // namespace korvane::xldl

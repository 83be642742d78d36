#include "reinstall/task_records.h"

#include <algorithm>
#include <cstring>

namespace korvane {

namespace {

using namespace xldl;

// A slot ends where the next field starts, and the engine reads at most its own count.
constexpr size_t SlotChars(size_t offset, size_t nextOffset, size_t engineChars) {
    return std::min((nextOffset - offset) / sizeof(wchar_t), engineChars);
}

constexpr size_t kUrlSlot = SlotChars(kParamUrlOffset, kParamFileNameOffset, kParamUrlMaxChars);
constexpr size_t kFileNameSlot =
    SlotChars(kParamFileNameOffset, kParamSaveFolderOffset, kParamFileNameMaxChars);
constexpr size_t kSaveFolderSlot =
    SlotChars(kParamSaveFolderOffset, kParamReserved18096Offset, kParamSaveFolderMaxChars);
static_assert(kFileNameSlot == 260 && kSaveFolderSlot == 260 && kUrlSlot >= 260);
static_assert(kParamResumeOffset + 4 <= kTaskParamSize);
static_assert(kInfoSpeedOffset + 4 <= kTaskInfoSize);
static_assert(sizeof(wchar_t) == 2, "the records hold UTF-16 text");

// Copies text with its terminator; false when it would not fit slotChars units.
bool PutText(std::vector<unsigned char>& record, size_t offset, size_t slotChars,
             const std::wstring& text) {
    if (text.empty() || text.size() + 1 > slotChars) {
        return false;
    }
    std::memcpy(record.data() + offset, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return true;
}

void PutInt32(std::vector<unsigned char>& record, size_t offset, std::int32_t value) {
    std::memcpy(record.data() + offset, &value, sizeof(value));
}

}  // namespace

size_t MaxTaskUrlChars() {
    return kUrlSlot - 1;
}

size_t MaxTaskFileNameChars() {
    return kFileNameSlot - 1;
}

size_t MaxTaskSaveFolderChars() {
    return kSaveFolderSlot - 1;
}

bool BuildTaskParamRecord(const std::wstring& url, const std::wstring& fileName,
                          const std::wstring& saveFolder, std::vector<unsigned char>* record) {
    record->assign(kTaskParamSize, 0);
    if (!PutText(*record, kParamUrlOffset, kUrlSlot, url) ||
        !PutText(*record, kParamFileNameOffset, kFileNameSlot, fileName) ||
        !PutText(*record, kParamSaveFolderOffset, kSaveFolderSlot, saveFolder)) {
        record->clear();
        return false;
    }
    PutInt32(*record, kParamReserved18096Offset, 0);
    PutInt32(*record, kParamReserved18356Offset, 0);
    PutInt32(*record, kParamConnectionsOffset, 5);
    PutInt32(*record, kParamReserved18364Offset, 0);
    PutInt32(*record, kParamResumeOffset, 1);
    return true;
}

void TaskInfoRecord::Prepare() {
    std::memset(bytes_, 0, sizeof(bytes_));
    std::int32_t state = kStateStopped;
    std::memcpy(bytes_ + kInfoStateOffset, &state, sizeof(state));
}

std::wstring TaskInfoRecord::FileName() const {
    // The engine's text may lack its terminator: never read past the slot.
    std::wstring name;
    for (size_t i = 0; i < kInfoFileNameMaxChars; ++i) {
        wchar_t c;
        std::memcpy(&c, bytes_ + kInfoFileNameOffset + i * sizeof(wchar_t), sizeof(c));
        if (c == L'\0') {
            break;
        }
        name += c;
    }
    return name;
}

float TaskInfoRecord::Fraction() const {
    float value;
    std::memcpy(&value, bytes_ + kInfoFractionOffset, sizeof(value));
    return value;
}

std::int32_t TaskInfoRecord::ReadInt32(size_t offset) const {
    std::int32_t value;
    std::memcpy(&value, bytes_ + offset, sizeof(value));
    return value;
}

std::int64_t TaskInfoRecord::ReadInt64(size_t offset) const {
    std::int64_t value;
    std::memcpy(&value, bytes_ + offset, sizeof(value));
    return value;
}

}  // namespace korvane

#include "staging/boot_commands.h"

#include "staging/boot_file_names.h"

namespace korvane {

namespace {

std::wstring StoreBackupPath() {
    return std::wstring(kFirstVolumeRoot) + L"Boot\\BCD_";
}

bool NeedsQuotes(const std::wstring& path) {
    return path.find_first_of(L" &^(),;=%!") != std::wstring::npos;
}

}  // namespace

// cmd expands %name% even inside quotes; a quote pair right after each % ends the would-be
// name with a character no variable name holds, and cmd drops the quotes again.
std::wstring CmdQuoted(const std::wstring& path) {
    std::wstring quoted = L"\"";
    for (wchar_t c : path) {
        quoted += c;
        if (c == L'%') {
            quoted += L"\"\"";
        }
    }
    return quoted + L"\"";
}

std::wstring CmdCommand(const std::wstring& program, const std::wstring& remainder) {
    if (!NeedsQuotes(program)) {
        return L"cmd.exe /c " + program + remainder;
    }
    // cmd /c takes away the outermost quotes of a line that starts with one, so the line
    // gets one more pair around it.
    return L"cmd.exe /c \"" + CmdQuoted(program) + remainder + L"\"";
}

std::wstring EditorCommand(const std::wstring& appDataFolder, const std::wstring& remainder) {
    return CmdCommand(appDataFolder + L"\\bcdedit.exe", L" " + remainder);
}

std::vector<EditorStep> StageEditorCommands(const std::wstring& appDataFolder,
                                            const std::wstring& description) {
    const std::wstring entry = kBootEntryId;
    auto step = [&](const std::wstring& remainder, bool required) {
        return EditorStep{EditorCommand(appDataFolder, remainder), required};
    };
    return {
        {EditorCommand(appDataFolder, L"/export " + StoreBackupPath()), true, true},
        step(L"/create " + entry + L" /d \"" + description + L"\" /application bootsector", false),
        step(L"/set " + entry + L" device boot", true),
        step(L"/set " + entry + L" path \\" + kBootSectorName, true),
        step(L"/set " + entry + L" description " + description, false),
        step(L"/displayorder " + entry + L" /addlast", false),
        step(L"/timeout 3 ", false),
        step(L"/default " + entry, true),
    };
}

std::vector<std::wstring> UnstageEditorCommands(const std::wstring& appDataFolder,
                                                bool importSavedStore) {
    std::vector<std::wstring> commands;
    if (importSavedStore) {
        commands.push_back(EditorCommand(appDataFolder, L"/import " + StoreBackupPath()));
    }
    commands.push_back(EditorCommand(appDataFolder, L"/delete " + std::wstring(kBootEntryId)));
    return commands;
}

}  // namespace korvane

// Whether the boot files the program carries can do their duty at the next start: the
// boot-sector file finds the loader, the loader is a GRUB loader the boot-sector file can
// start, and the floppy image is a bootable FAT image with DOS, its command interpreter, our
// start-up script and Ghost. A job stages only a payload that passes: a restart into a boot
// entry that chain-loads anything else would end in a dead boot menu that stays the default.
// Portable: no Windows headers.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

struct BootPayload {
    std::string_view bootSector;   // krldr.mbr
    std::string_view loader;       // krldr
    std::string_view floppyImage;  // krldr.ima
};

enum class PayloadFault {
    kNone,
    kBootSectorNotABootRecord,
    kBootSectorDoesNotSearchLoader,
    kLoaderNotABootRecord,
    kLoaderHasNoGrubCore,
    kImageNotFat,
    kImageHasNoDosSystem,
    kImageHasNoCommandInterpreter,
    kImageHasNoStartupScript,
    kImageStartupScriptIsNotOurs,
    kImageHasNoGhost,
};

PayloadFault CheckBootPayload(const BootPayload& payload);

// What the user is told about a fault, in the program's language.
std::wstring DescribePayloadFault(PayloadFault fault);

}  // namespace korvane

#!/usr/bin/python3
"""Zorbel.exe's resources, version record and imports, read back with pefile.
Usage: resources_test.py ZORBEL_EXE ASSETS_DIR COMPANY_NAME"""
import pathlib
import struct
import sys

import pefile

RT_CURSOR, RT_BITMAP, RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 1, 2, 3, 14, 24
ITALIAN = 0x0410
# What Windows itself provides; anything else would have to ship beside the exe.
SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'msvcrt.dll', 'comctl32.dll', 'advapi32.dll',
               'shell32.dll', 'ole32.dll', 'winmm.dll', 'uxtheme.dll', 'dwmapi.dll', 'shcore.dll'}
exe_path, assets, company = sys.argv[1:4]
exe = pefile.PE(exe_path)
failures = []


def check(condition, what):
    condition or failures.append(what)


# {(type, name): {language: bytes}}, types and names as ints or str.
found = {}
for kind in exe.DIRECTORY_ENTRY_RESOURCE.entries:
    for name in kind.directory.entries:
        for language in name.directory.entries:
            entry = language.data.struct
            key = (kind.id if kind.name is None else str(kind.name), name.id if name.name is None else str(name.name))
            found.setdefault(key, {})[language.id] = exe.get_data(entry.OffsetToData, entry.Size)


def only(key, language=None):
    languages = found.get(key, {})
    check(len(languages) == 1 and language in (None, *languages),
          f'resource {key}: languages {[hex(l) for l in languages]}, expected {hex(language) if language else "one"}')
    return next(iter(languages.values()), b'')


# The icon and bitmap keep the file's pixels without its 22- or 14-byte header; the cursor image
# starts with its hot spot; the sounds, in Italian, are the files every platform embeds.
group = only((RT_GROUP_ICON, 1))
count = struct.unpack_from('<H', group, 4)[0] if len(group) >= 6 else 0
ids = [struct.unpack_from('<H', group, 6 + 14 * i + 12)[0] for i in range(count)]
check(ids == [30001], f'icon group 1 holds images {ids}, expected [30001]')
for key, language, name, header in (((RT_ICON, 30001), None, 'ball.ico', 22), ((RT_BITMAP, 1), None, 'ball.bmp', 14),
                                    (('CUSTOM', 102), ITALIAN, 'bounce.wav', 0), (('CUSTOM', 103), ITALIAN, 'release.wav', 0)):
    check(only(key, language) == pathlib.Path(assets, name).read_bytes()[header:], f'resource {key} differs from assets/{name}')
check((RT_GROUP_ICON, 2) in found, 'no close icon (icon group 2)')
cursors = [data for (kind, _), languages in found.items() if kind == RT_CURSOR for data in languages.values()]
check([struct.unpack_from('<HH', c) for c in cursors] == [(5, 0)], 'the hand cursor is missing or its hot spot is not (5, 0)')
manifest = only((RT_MANIFEST, 1)).decode('utf-8', 'replace')
for needle in ('PerMonitorV2, PerMonitor', 'Microsoft.Windows.Common-Controls', 'supportedOS'):
    check(needle in manifest, f'the manifest lacks {needle!r}')

# Version 1.0.0.0 of an application (VFT_APP) for 32-bit Windows (VOS__WINDOWS32), in Italian.
fixed = exe.VS_FIXEDFILEINFO[0]
numbers = tuple(getattr(fixed, f) for f in ('FileVersionMS', 'FileVersionLS', 'ProductVersionMS', 'ProductVersionLS', 'FileType', 'FileOS'))
check(numbers == (0x10000, 0, 0x10000, 0, 1, 4), f'the fixed version record holds {numbers}')
tables = {table.LangID.decode().upper(): {k.decode(): v.decode() for k, v in table.entries.items()}
          for info in exe.FileInfo[0] if info.Key == b'StringFileInfo' for table in info.StringTable}
want = {'041004B0': {'CompanyName': company, 'FileVersion': '1.00', 'InternalName': 'Zorbel',
                     'OriginalFilename': 'Zorbel.exe', 'ProductName': 'Zorbel', 'ProductVersion': '1.00'}}
check(tables == want, f'version strings {tables}, expected {want}')
translations = [var.entry for info in exe.FileInfo[0] if info.Key == b'VarFileInfo' for var in info.Var]
check(translations == [{b'Translation': '0x0410 0x04b0'}], f'translation {translations}, expected 0x0410, 1200')

# One self-contained GUI program, hardened as the linker does by default.
check(exe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE['IMAGE_SUBSYSTEM_WINDOWS_GUI'], 'not a GUI subsystem program')
dlls = {entry.dll.decode().lower() for entry in exe.DIRECTORY_ENTRY_IMPORT}
check(dlls <= SYSTEM_DLLS, f'imports DLLs Windows does not have: {sorted(dlls - SYSTEM_DLLS)}')
aslr_and_dep = 0x0040 | 0x0100  # IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | _NX_COMPAT
check(exe.OPTIONAL_HEADER.DllCharacteristics & aslr_and_dep == aslr_and_dep, 'not marked for ASLR and DEP')
print(*(f'FAIL: {failure}\n' for failure in failures), sep='', end='')
print(f'{exe_path}: {len(found)} resources, imports {sorted(dlls)}')
sys.exit(1 if failures else 0)

"""What a PE file says about itself: the facts that objdump prints (format,
magic, subsystem, imports, exports) and the manifest in its resources, which
objdump does not show."""
import re
import struct
import subprocess

OBJDUMP = "x86_64-w64-mingw32-objdump"
RT_MANIFEST = 24

_IMPORT_LINE = re.compile(r"^\s*[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$")
_EXPORT_LINE = re.compile(r"^\s*\[\s*\d+\]\s+(?:\+base\[\s*\d+\]\s+[0-9a-fA-F]+\s+)?(\S+)\s*$")


class PeFile:
    def __init__(self, path):
        self.path = path
        self.dump = subprocess.run([OBJDUMP, "-p", str(path)], check=True,
                                   capture_output=True, text=True).stdout
        self.imports = self._parse_imports()
        self.exports = self._parse_exports()

    def file_format(self):
        return re.search(r"file format (\S+)", self.dump).group(1)

    def header_field(self, name):
        return re.search(rf"^{name}\s+(.*)$", self.dump, re.M).group(1).strip()

    def imported_dlls(self):
        return set(self.imports)

    def imported_names(self):
        return {name for names in self.imports.values() for name in names}

    def _parse_imports(self):
        imports, current = {}, None
        for line in self.dump.splitlines():
            if "DLL Name:" in line:
                current = line.split("DLL Name:")[1].strip()
                imports[current] = set()
            elif current and not line.strip():
                current = None
            elif current:
                match = _IMPORT_LINE.match(line)
                if match:
                    imports[current].add(match.group(1))
        return imports

    def _parse_exports(self):
        names, inside = set(), False
        for line in self.dump.splitlines():
            if line.startswith("[Ordinal/Name Pointer] Table"):
                inside = True
            elif inside and not line.strip():
                inside = False
            elif inside:
                match = _EXPORT_LINE.match(line)
                if match:
                    names.add(match.group(1))
        return names

    def resources(self, type_id):
        """The resources of one numeric type: (name id, language id, bytes)."""
        return _read_resources(self.path.read_bytes(), type_id)


def _read_resources(image, type_id):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections_count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", image, directories + 2 * 8)
    if not rsrc_size:
        return []
    sections = []
    for i in range(sections_count):
        header = optional + optional_size + 40 * i
        size, rva, _, raw = struct.unpack_from("<IIII", image, header + 8)
        sections.append((rva, size, raw))

    def offset(rva):
        for start, size, raw in sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} lies in no section")

    base = offset(rsrc_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
            yield name, target

    # Three levels: type, then name, then language, whose entries point at
    # the data.
    found = []
    for type_entry, names in entries(0):
        if type_entry != type_id or not names & 0x80000000:
            continue
        for name, languages in entries(names & 0x7FFFFFFF):
            for language, data in entries(languages & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image, base + data)
                found.append((name, language, image[offset(data_rva):offset(data_rva) + size]))
    return found

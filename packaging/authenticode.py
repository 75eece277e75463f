"""Authenticode for the Windows package: the PE checksum, whether a file is
signed already, and signing with osslsigncode and a PKCS#12 key.

Signing is asked for through the environment:
    CORVANTILHUB_SIGN_PFX            the PKCS#12 file with the key and certificate
    CORVANTILHUB_SIGN_PASSWORD       its password (may be empty, but must be set)
    CORVANTILHUB_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server
"""
import array
import os
import shutil
import struct
import subprocess
import tempfile
from pathlib import Path

PFX_VARIABLE = "CORVANTILHUB_SIGN_PFX"
PASSWORD_VARIABLE = "CORVANTILHUB_SIGN_PASSWORD"
TIMESTAMP_VARIABLE = "CORVANTILHUB_SIGN_TIMESTAMP_URL"

# Offsets in the optional header, the same for PE32 and PE32+ up to the
# checksum; the data directories start later in PE32+.
_CHECKSUM_OFFSET = 64
_PE32_PLUS_MAGIC = 0x20B
_SECURITY_DIRECTORY = 4


class SigningError(Exception):
    pass


def _optional_header(image: bytes) -> int:
    if image[:2] != b"MZ":
        raise SigningError("not a PE file")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise SigningError("not a PE file")
    return pe + 24


def pe_checksum(image: bytes) -> int:
    """The checksum Windows computes (CheckSumMappedFile): 16-bit words added
    with end-around carry, the checksum field counted as zero, then the file
    length added."""
    field = _optional_header(image) + _CHECKSUM_OFFSET
    data = bytearray(image)
    data[field:field + 4] = b"\0\0\0\0"
    if len(data) % 2:
        data.append(0)
    total = sum(array.array("H", bytes(data)))  # the machine is little-endian
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def fix_pe_checksum(path: Path) -> None:
    """Writes the right checksum into the header (the linker's is off).
    The file is first padded with zeros to a multiple of 8 bytes, as signing
    pads it: checkers disagree on an odd last byte (osslsigncode skips it),
    and nothing reads past the image's last section."""
    image = path.read_bytes()
    image += b"\0" * (-len(image) % 8)
    field = _optional_header(image) + _CHECKSUM_OFFSET
    checksum = struct.pack("<I", pe_checksum(image))
    path.write_bytes(image[:field] + checksum + image[field + 4:])


def is_signed(path: Path) -> bool:
    """True when the file carries a certificate table (a signature)."""
    image = path.read_bytes()
    optional = _optional_header(image)
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == _PE32_PLUS_MAGIC else 96)
    _, size = struct.unpack_from("<II", image, directories + 8 * _SECURITY_DIRECTORY)
    return size != 0


class Signer:
    """Signs PE files and MSI packages with osslsigncode (SHA-256)."""

    def __init__(self, pfx: Path, password: str, timestamp_url: str = ""):
        self.pfx = Path(pfx)
        self.password = password
        self.timestamp_url = timestamp_url
        if not self.pfx.is_file():
            raise SigningError(f"{PFX_VARIABLE}: no file at {self.pfx}")
        if shutil.which("osslsigncode") is None:
            raise SigningError("osslsigncode is missing (Debian package osslsigncode)")

    @classmethod
    def from_environment(cls, environ=os.environ):
        """The signer the environment asks for, or None when it asks for none."""
        pfx, password = environ.get(PFX_VARIABLE), environ.get(PASSWORD_VARIABLE)
        if not pfx and password is None:
            return None
        if not pfx or password is None:
            raise SigningError(f"signing needs both {PFX_VARIABLE} and {PASSWORD_VARIABLE}")
        return cls(Path(pfx), password, environ.get(TIMESTAMP_VARIABLE, ""))

    def sign(self, path: Path, description: str, url: str) -> None:
        """Signs `path` in place; osslsigncode also sets a PE file's checksum."""
        with tempfile.TemporaryDirectory(prefix="corvantilhub-sign-") as temp:
            # The password goes through a private file, not the command line
            # that every user can read in the process list.
            password_file = Path(temp) / "password"
            password_file.touch(mode=0o600)
            password_file.write_text(self.password, encoding="utf-8")
            signed = Path(temp) / path.name
            command = ["osslsigncode", "sign", "-pkcs12", str(self.pfx),
                       "-readpass", str(password_file), "-h", "sha256",
                       "-n", description, "-i", url]
            if self.timestamp_url:
                command += ["-ts", self.timestamp_url]
            result = subprocess.run(command + ["-in", str(path), "-out", str(signed)],
                                    text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if result.returncode != 0:
                raise SigningError(f"signing {path.name} failed:\n{result.stdout}")
            shutil.copyfile(signed, path)

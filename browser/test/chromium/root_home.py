"""Run as root, corvantilhub-register takes root's home from the password
database, never from HOME. To give it a home of a test's own, the tool then
runs in a private mount namespace whose /etc/passwd names that folder as
root's home; unprivileged, HOME does and the command runs as it is."""
import os
import subprocess
from pathlib import Path

import pytest


def with_root_home(command: list, home: Path) -> list:
    """`command`, run as root, sees `home` as root's home."""
    if os.geteuid() != 0:
        return command
    if subprocess.run(["unshare", "--mount", "--", "true"], capture_output=True).returncode != 0:
        pytest.skip("as root the tool's home comes from /etc/passwd, and a private one needs a "
                    "mount namespace (unshare --mount), which is not allowed here")
    lines = []
    for line in Path("/etc/passwd").read_text().splitlines():
        fields = line.split(":")
        if len(fields) == 7 and fields[2] == "0":
            fields[5] = str(home)
        lines.append(":".join(fields) + "\n")
    passwd = home.parent / f"passwd-{home.name}"
    passwd.write_text("".join(lines))
    return ["unshare", "--mount", "--", "sh", "-c", 'mount --bind "$0" /etc/passwd && exec "$@"',
            str(passwd), *command]

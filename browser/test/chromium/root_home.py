"""Run as root, corvantilhub-register takes root's home from the password
database, never from HOME (a user's environment kept by sudo -E must not
lead it into that user's files). So that a test run as root can still give
the tool a home of its own, the tool then runs in a private mount namespace
whose /etc/passwd names that folder as root's home. Unprivileged, HOME is
the tool's home and the command runs as it is."""
import os
import subprocess
from pathlib import Path

import pytest

_PRIVATE_PASSWD = 'mount --bind "$0" /etc/passwd && exec "$@"'


def _private_namespaces_work() -> bool:
    try:
        return subprocess.run(["unshare", "--mount", "--", "true"], capture_output=True,
                              timeout=60).returncode == 0
    except OSError:
        return False


def with_root_home(command: list, home: Path) -> list:
    """`command`, run as root, sees `home` as root's home; `home`'s parent
    holds the private password file."""
    if os.geteuid() != 0:
        return command
    if not _private_namespaces_work():
        pytest.skip("as root, the tool's home comes from /etc/passwd; giving it a private one "
                    "needs a mount namespace (unshare --mount), which is not allowed here")
    lines = []
    for line in Path("/etc/passwd").read_text(encoding="utf-8").splitlines():
        fields = line.split(":")
        if len(fields) == 7 and fields[2] == "0":
            fields[5] = str(home)
        lines.append(":".join(fields))
    passwd = home.parent / f"passwd-{home.name}"
    passwd.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return ["unshare", "--mount", "--", "sh", "-c", _PRIVATE_PASSWD, str(passwd), *command]

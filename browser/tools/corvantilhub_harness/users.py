"""The unprivileged user that tests hand files and processes to."""
import os
import pwd


def nobody_or_skip(why: str) -> tuple:
    """(uid, gid) of `nobody`; skips the test where that can't be had: without
    root, nothing can be handed to another user. `why` completes "... needs
    root" in the skip reason."""
    import pytest  # only tests call this; the simulator shares the harness
    if os.geteuid() != 0:
        pytest.skip(f"{why} needs root")
    try:
        entry = pwd.getpwnam("nobody")
    except KeyError:
        pytest.skip("there is no user nobody here")
    return entry.pw_uid, entry.pw_gid

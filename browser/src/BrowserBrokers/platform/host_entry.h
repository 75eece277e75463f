// The program's entry point lives in the platform layer (wmain with
// -municode on Windows, main elsewhere); it ignores its arguments and
// environment and calls this function, which the host defines.
#pragma once

int HostMain();

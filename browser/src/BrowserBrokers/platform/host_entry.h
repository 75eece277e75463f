// The program's entry point lives in the platform layer (wmain with
// -municode on Windows, main elsewhere); it ignores its arguments and
// environment and calls HostMain, which the host defines. The one exception
// is a lone "--version", which no browser ever passes: then it calls
// HostVersionMain instead.
#pragma once

int HostMain();

// Prints "Corvantilhub <version>" and returns 0.
int HostVersionMain();

// Loaded at run time by the dynamic-library tests.
extern "C" int PlatformProbeAnswer() { return 42; }

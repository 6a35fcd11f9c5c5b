// A DLL that no system has: planted beside a test binary, it shows whether a
// load by bare name still looks in the executable's own folder.
extern "C" __declspec(dllexport) int VarnoPlantedLibrary() { return 1; }

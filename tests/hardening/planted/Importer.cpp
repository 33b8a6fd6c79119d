// A library that imports the marking library by name, as a system library
// imports one that is not a KnownDLL: where the loader finds that name is
// where its search for a library's imports goes.
extern "C" __declspec(dllimport) void HardeningPlanted();

extern "C" __declspec(dllexport) void HardeningImporter()
{
    HardeningPlanted();
}

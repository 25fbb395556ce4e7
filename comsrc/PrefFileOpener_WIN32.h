#pragma once
// Opens files in the per-user preference folder: the application-data folder (APPDATA, or
// "Application Data" under the Windows directory when APPDATA is not set), and subfolders
// of it that are created on first use.

#include <cstdint>

#include "multio/StreamOpener.h"

namespace comsrc {

// Results besides 0 and those of multio::StreamOpener_File_WIN32File.
enum PrefOpenerError : int32_t {
    kPrefNoBaseDir = -1,     // Init: the found folder could not be kept
    kPrefNoAppDataDir = -2,  // Init: "Application Data" could not be entered
    kPrefNotADirectory = -8, // EnterSubdirectory: a file has the folder's name
    kPrefCreateFailed = -16, // EnterSubdirectory: the folder could not be created
    kPrefNoFolder = -128,    // Init: no Windows directory; out of memory for a path
};

class PrefFileOpener_WIN32 : public multio::StreamOpener {
public:
    PrefFileOpener_WIN32() = default;
    ~PrefFileOpener_WIN32() override;
    PrefFileOpener_WIN32(const PrefFileOpener_WIN32&) = delete;
    PrefFileOpener_WIN32& operator=(const PrefFileOpener_WIN32&) = delete;

    // Opens `name` inside the base folder with StreamOpener_File_WIN32File.
    int32_t Open(const char* name, uint32_t flags, multio::Stream** stream) override;

    // Finds the application-data folder and makes it the base folder.
    virtual int32_t Init();
    // Makes base\name the base folder, creating it when missing.
    virtual int32_t EnterSubdirectory(const char* name);
    virtual const char* GetBaseDir();
    // Keeps a copy of the first `length` characters of `text` (all of it when length <= 0).
    virtual int32_t SetBaseDir(const char* text, int32_t length);
    // directory\name as a new string the caller frees with delete[], or null.
    virtual char* JoinPath(const char* directory, const char* name);

private:
    char* baseDir = nullptr;
};

} // namespace comsrc

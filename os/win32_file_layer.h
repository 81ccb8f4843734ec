#pragma once

#include <windows.h>

#include <string>

#include "base/file_layer.h"
#include "os/kernel_handle.h"

namespace cantivo {

// The file layer on Windows. Paths are UTF-8 and go to the wide API, so a folder name
// outside the ANSI code page works. The primitives are virtual so that tests can make a write
// come up short, a flush, a move or a look at a file's attributes fail.
class Win32FileLayer : public FileLayer {
public:
    bool IsFile(const std::string& path) override;
    std::string ReadAll(const std::string& path) override;
    void WriteAll(const std::string& path, std::string_view bytes) override;
    void ReplaceAll(const std::string& path, std::string_view bytes) override;
    // Holds a lock file beside the file (TARGET.lock, gone when let go) for the whole update,
    // so that the program's other instances, another user's among them, update it one at a
    // time, and writes nothing without it; holds the file itself, shared with nobody, from the
    // read until just before the replace. The replaced file keeps its access rights and attributes.
    // Removes what updates cut short by their process's end left behind.
    void Update(const std::string& path, const Edit& edit) override;

protected:
    // Returns false when the write fails; written tells how much went through.
    virtual bool WriteSome(HANDLE file, const char* bytes, DWORD count, DWORD& written);
    virtual bool Flush(HANDLE file);
    // GetFileAttributesW: INVALID_FILE_ATTRIBUTES, with the last error set, on failure.
    virtual DWORD Attributes(const std::wstring& path);
    // MoveFileExW to where no file is: fails with ERROR_ALREADY_EXISTS where one is.
    virtual bool MoveNew(const std::wstring& from, const std::wstring& to);
    // MoveFileExW over the file at to, in one step.
    virtual bool MoveOver(const std::wstring& from, const std::wstring& to);

    // The update's lock file, opened as nobody else may open it meanwhile; empty on failure.
    virtual FileHandle CreateLockFile(const std::wstring& lockPath);

private:
    class TemporaryFile;

    // The lock every update of target holds for its whole length; it is deleted when let go,
    // or when its process ends. When another update keeps it longer than the wait, this one
    // fails, as when another keeps the file itself. Empty, at once, when the folder takes no
    // lock file: it takes no new file either, so the update may read but never write.
    FileHandle TakeUpdateLock(const std::wstring& target, const std::string& path);

    void WriteFully(HANDLE file, std::string_view bytes);
    // bytes written to a new file beside target, which then takes target's place; held, the
    // target held open until then (empty when there was none), is let go just before, and
    // attributes are the target's. False when there was no target and one has appeared since:
    // it is left as it is.
    bool WriteReplacing(const std::wstring& target, const std::string& path, std::string_view bytes, FileHandle& held,
                        DWORD attributes);
    // file moved to target, where there was no file; false when one has been put there meanwhile.
    bool MoveIn(TemporaryFile& file, const std::wstring& target, const std::string& path);
    // replacement takes the place of the file at target.
    void ReplaceWith(TemporaryFile& replacement, const std::wstring& target, const std::string& path);
};

// The program's file layer: the Windows one.
FileLayer& SystemFileLayer();

}  // namespace cantivo

#pragma once

#include <windows.h>

#include <string>

#include "platform/kernel_handle.h"
#include "text/file_layer.h"

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
    // time; and the file itself, shared with nobody, from the read until just before the
    // replace. Removes what updates cut short by their process's end left behind.
    void Update(const std::string& path, const Edit& edit) override;

protected:
    // Returns false when the write fails; written tells how much went through.
    virtual bool WriteSome(HANDLE file, const char* bytes, DWORD count, DWORD& written);
    virtual bool Flush(HANDLE file);
    // GetFileAttributesW: INVALID_FILE_ATTRIBUTES, with the last error set, on failure.
    virtual DWORD Attributes(const std::wstring& path);
    virtual bool MoveReplacing(const std::wstring& from, const std::wstring& to);

private:
    void WriteFully(HANDLE file, std::string_view bytes);
    // bytes written to a new file beside target, which then takes target's place; held, the
    // target held open until then, is let go just before.
    void WriteReplacing(const std::wstring& target, const std::string& path, std::string_view bytes,
                        FileHandle& held);
};

}  // namespace cantivo

#pragma once

#include <windows.h>

#include <string>

#include "text/file_layer.h"

namespace cantivo {

// The file layer on Windows. Paths are UTF-8 and go to the wide API, so a folder name
// outside the ANSI code page works. The primitives are virtual so that tests can make a write
// come up short, a flush fail or a move fail.
class Win32FileLayer : public FileLayer {
public:
    bool IsFile(const std::string& path) override;
    std::string ReadAll(const std::string& path) override;
    void WriteAll(const std::string& path, std::string_view bytes) override;
    void ReplaceAll(const std::string& path, std::string_view bytes) override;

protected:
    // Returns false when the write fails; written tells how much went through.
    virtual bool WriteSome(HANDLE file, const char* bytes, DWORD count, DWORD& written);
    virtual bool Flush(HANDLE file);
    virtual bool MoveReplacing(const std::wstring& from, const std::wstring& to);

private:
    void WriteFully(HANDLE file, std::string_view bytes);
};

}  // namespace cantivo

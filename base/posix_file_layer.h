#pragma once

#include <cstddef>
#include <string>

#include "base/file_layer.h"

namespace cantivo {

// The file layer on POSIX systems, used by the native build. Its primitives are virtual so
// that tests can make a write come up short, a flush fail or a rename fail.
class PosixFileLayer : public FileLayer {
public:
    bool IsFile(const std::string& path) override;
    std::string ReadAll(const std::string& path) override;
    void WriteAll(const std::string& path, std::string_view bytes) override;
    void ReplaceAll(const std::string& path, std::string_view bytes) override;

protected:
    // Returns how many bytes were written, as write(2) does.
    virtual long WriteSome(int fd, const char* bytes, size_t count);
    virtual bool Flush(int fd);
    virtual bool Rename(const std::string& from, const std::string& to);

private:
    void WriteFully(int fd, std::string_view bytes);
};

// The native build's file layer: the POSIX one.
FileLayer& SystemFileLayer();

}  // namespace cantivo

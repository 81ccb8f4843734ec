#pragma once

#include <string>
#include <string_view>

namespace cantivo {

// The few file operations the program needs. Paths are UTF-8. Every failure raises the
// program's own messages: "ファイル %s は開けません" when a file cannot be opened for reading,
// "ファイル %s を作成できません" when one cannot be created, "ストリームへの書き込みエラー" when a
// write comes up short.
class FileLayer {
public:
    virtual ~FileLayer() = default;

    // True when a file, not a folder, stands at path.
    virtual bool IsFile(const std::string& path) = 0;
    // Opens for reading only; others may read the file meanwhile but not write it.
    virtual std::string ReadAll(const std::string& path) = 0;
    // Creates or truncates the file, held exclusively while it is written.
    virtual void WriteAll(const std::string& path, std::string_view bytes) = 0;
    // Replaces the file's contents in one step: the bytes go to a new file in the same
    // folder, are flushed, and only then take the old file's place. On any failure the old
    // file is left as it was and the new one is removed.
    virtual void ReplaceAll(const std::string& path, std::string_view bytes) = 0;
};

// The file layer of the platform the program was built for.
FileLayer& SystemFileLayer();

}  // namespace cantivo

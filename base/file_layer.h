#pragma once

#include <functional>
#include <optional>
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

    // What an update makes of a file's bytes (empty when there is no file): the new bytes, or
    // nothing when the file is to stay as it is.
    using Edit = std::function<std::optional<std::string>(std::string_view old)>;
    // Reads the file (none there reads as empty) and replaces it with what edit makes of its
    // bytes, as ReplaceAll does. This plain one holds nothing between the two; the Windows
    // layer's lets no other update read the file in between, so that no update's change is
    // lost, and counts only a file that is not there as empty.
    virtual void Update(const std::string& path, const Edit& edit) {
        std::optional<std::string> bytes = edit(IsFile(path) ? ReadAll(path) : std::string());
        if (bytes) ReplaceAll(path, *bytes);
    }
};

}  // namespace cantivo

#pragma once

#include <string>
#include <string_view>

#include "base/file_layer.h"
#include "base/local_clock.h"
#include "base/locale_texts.h"
#include "base/now_playing.h"
#include "wire_facts.h"

namespace cantivo {

inline constexpr char kLogFileName[] = CANTIVO_LOG_FILE_NAME;

// The log's place: the executable's folder (its path up to the last backslash or colon)
// and the log's name. The path is UTF-8, where a backslash byte is always a separator.
std::string LogPathBeside(std::string_view executablePath);

// One record: "mm/dd hh:nn","main text","sub text". A double quote inside a text is doubled,
// so the record reads back as the same three fields.
std::string MakeLogRecord(const NowPlayingRecord& song, const LocaleTexts& locale, const LocalDateTime& now);

// Appends the song to the log at logPath unless a line already holds the same main text and
// sub text. The old lines are kept in order with their bytes, each ended by CR LF; the whole
// file is replaced in one step, so a failed save leaves the old log as it was. Lines with too
// few fields to compare are simply not the song.
void SaveCantivoLog(FileLayer& files, const std::string& logPath, const NowPlayingRecord& song, const LocaleTexts& locale,
                    const LocalDateTime& now);

}  // namespace cantivo

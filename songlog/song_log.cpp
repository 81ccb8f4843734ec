#include "songlog/song_log.h"

#include "base/line_list.h"
#include "songlog/field_split.h"

namespace cantivo {

namespace {

void AppendQuoted(std::string& record, std::string_view text) {
    record.push_back('"');
    for (char c : text) {
        if (c == '"') record.push_back('"');
        record.push_back(c);
    }
    record.push_back('"');
}

// A field's value without doubled quotes is a run of the line's own bytes, so a line that
// does not contain the text cannot give it as a field; this skips the split for most lines.
bool MayHold(std::string_view line, const std::string& text) {
    return text.empty() || text.find('"') != std::string::npos || line.find(text) != std::string_view::npos;
}

bool IsSameSong(std::string_view line, const NowPlayingRecord& song, LineList& fields) {
    if (!MayHold(line, song.MainText) || !MayHold(line, song.SubText)) return false;
    SplitFields(line, fields);
    if (fields.Count() < 2 || fields.Get(1) != song.MainText) return false;
    return fields.Count() >= 3 && fields.Get(2) == song.SubText;
}

}  // namespace

std::string LogPathBeside(std::string_view executablePath) {
    size_t separator = executablePath.find_last_of("\\:");
    std::string folder(separator == std::string_view::npos ? std::string_view() : executablePath.substr(0, separator + 1));
    return folder + kLogFileName;
}

std::string MakeLogRecord(const NowPlayingRecord& song, const LocaleTexts& locale, const LocalDateTime& now) {
    std::string date;
    AppendTwoDigits(date, now.month);
    AppendSeparator(date, locale.dateSeparator);
    AppendTwoDigits(date, now.day);
    date.push_back(' ');
    std::string record = "\"" + date + song.TimeText + "\",";
    AppendQuoted(record, song.MainText);
    record.push_back(',');
    AppendQuoted(record, song.SubText);
    return record;
}

void SaveCantivoLog(FileLayer& files, const std::string& logPath, const NowPlayingRecord& song, const LocaleTexts& locale,
                    const LocalDateTime& now) {
    files.Update(logPath, [&](std::string_view old) -> std::optional<std::string> {
        // A zero byte is kept as an ordinary byte of its line, so nothing after it is lost.
        std::string content;
        content.reserve(old.size() + old.size() / 8 + 256);
        LineList fields;
        bool logged = false;
        ForEachLine(old, ZeroByte::IsText, [&](std::string_view line) {
            content.append(line).append("\r\n");
            logged = logged || IsSameSong(line, song, fields);
        });
        if (logged) return std::nullopt;
        content.append(MakeLogRecord(song, locale, now)).append("\r\n");
        return content;
    });
}

}  // namespace cantivo

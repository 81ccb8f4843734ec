#include "base/error.h"

#include <new>

namespace cantivo {

CantivoError CaughtError() {
    try {
        throw;
    } catch (const CantivoError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return CantivoError("Out of memory");
    } catch (const std::exception& error) {
        return CantivoError(error.what());
    }
}

CantivoError::CantivoError(std::string_view before, std::string_view pageBytes, std::string_view after)
    : own_(before), page_(pageBytes), after_(after) {
    all_.reserve(own_.size() + page_.size() + after_.size());
    all_.append(own_).append(page_).append(after_);
}

namespace {

size_t FindPlaceholder(std::string_view messageTemplate) {
    size_t s = messageTemplate.find("%s");
    size_t d = messageTemplate.find("%d");
    return s < d ? s : d;
}

}  // namespace

std::string Substitute(std::string_view messageTemplate, std::string_view arg) {
    size_t at = FindPlaceholder(messageTemplate);
    if (at == std::string_view::npos) return std::string(messageTemplate);
    std::string result(messageTemplate.substr(0, at));
    result.append(arg).append(messageTemplate.substr(at + 2));
    return result;
}

CantivoError ListIndexError(long long index) {
    return CantivoError(Substitute("リストのインデックスが範囲を超えています (%d)", std::to_string(index)));
}

CantivoError CannotOpenFileError(std::string_view path) {
    return CantivoError(Substitute("ファイル %s は開けません", path));
}

CantivoError CannotCreateFileError(std::string_view path) {
    return CantivoError(Substitute("ファイル %s を作成できません", path));
}

CantivoError StreamWriteError() { return CantivoError("ストリームへの書き込みエラー"); }

CantivoError MemoryStreamFullError() {
    return CantivoError("メモリストリームの拡大中にメモリが足りなくなりました");
}

CantivoError InvalidTimeError(std::string_view pageText) {
    return CantivoError("'", pageText, "' is not a valid time");
}

std::string WithFullStop(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
        text.push_back('.');
    }
    return text;
}

}  // namespace cantivo

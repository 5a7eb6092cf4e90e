#include "language.h"

#include <span>
#include <system_error>

#include "file_io.h"
#include "file_names.h"
#include "windows1252.h"

namespace settings {

namespace fs = std::filesystem;

namespace {

// Replaces every backslash followed by `letter` in either case, left to right.
std::string replaceEscape(std::string_view text, char letter, std::string_view replacement) {
    const char upper = static_cast<char>(letter - 'a' + 'A');
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == letter || text[i + 1] == upper)) {
            out += replacement;
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

tarvik::Status Language::LoadLanguageFile() {
    if (m_languageFilePath.empty() || !m_languageFilePath.has_filename()) {
        return tarvik::makeError(tarvik::ErrorCode::Io, "no language file chosen");
    }
    const auto existing = resolveIgnoringCase(m_languageFilePath);
    if (!existing && !m_createsMissingFile) {
        return tarvik::makeError(tarvik::ErrorCode::Io, "no such language file");
    }
    if (!existing) {
        // The file is created empty, so a folder without language files still ends up with one to fill in.
        if (auto created = tarvik::writeFileAtomically(m_languageFilePath, std::span<const std::uint8_t>{});
            !created) {
            return created;
        }
        m_languageText.clear();
        return {};
    }
    auto bytes = tarvik::readWholeFile(*existing, MaxFileBytes);
    if (!bytes) {
        return bytes.error();
    }
    m_languageText =
        windows1252ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    return {};
}

std::string Language::GetLangString(std::string_view key) {
    std::string unused;
    return GetLangString(key, unused, false);
}

std::string Language::GetLangString(std::string_view key, std::string& secondText, bool wantSecond) {
    secondText.clear();
    if (m_languageText.empty() && !LoadLanguageFile()) {
        return {};
    }
    const std::string needle = std::string(key) + "=";
    const auto keyAt = m_languageText.find(needle);
    if (keyAt == std::string::npos) {
        return {};
    }
    const auto valueAt = keyAt + needle.size();
    const auto lineEnd = m_languageText.find("\r\n", valueAt);
    if (lineEnd == std::string::npos) {
        return {};
    }
    std::string value = m_languageText.substr(valueAt, lineEnd - valueAt);
    value = replaceEscape(value, 'n', "\r\n");
    value = replaceEscape(value, 't', "\t");
    const auto bar = value.find('|');
    if (bar == std::string::npos) {
        return value;
    }
    if (wantSecond) {
        secondText = value.substr(bar + 1);
    }
    value.resize(bar);
    return value;
}

}  // namespace settings
